// The seal's digests, signatures and key files: libsodium's answers, and the
// store's checks on every key file.
#include "platform/posix/seal_key_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error_codes.h"
#include "support/fake_services.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

using namespace platform;
using posix::FileSealKeys;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(SealCrypto, Sha256GivesTheStandardDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Given a piece at a time, the same; the digest starts the hash over.
    Sha256 hash;
    hash.Update("a");
    hash.Update("");
    hash.Update("bc");
    EXPECT_EQ(hash.HexDigest(), Sha256Hex("abc"));
    EXPECT_EQ(hash.HexDigest(), Sha256Hex(""));
    hash.Update("x");
    hash.Reset();
    hash.Update("abc");
    EXPECT_EQ(hash.HexDigest(), Sha256Hex("abc"));
}

TEST(SealCrypto, ASignatureHoldsForItsTextAndKeyOnly) {
    SealSigningKey key;
    ASSERT_TRUE(MakeSealKey(key));
    SealSigningKey other;
    ASSERT_TRUE(MakeSealKey(other));
    const std::string signature = SealSignature(key, "seal line");
    EXPECT_EQ(signature.size(), 128u);
    EXPECT_TRUE(SealSignatureValid(key.publicKey, "seal line", signature));
    EXPECT_FALSE(SealSignatureValid(key.publicKey, "seal linE", signature));
    EXPECT_FALSE(SealSignatureValid(other.publicKey, "seal line", signature));
    std::string flipped = signature;
    flipped[10] = flipped[10] == '0' ? '1' : '0';
    EXPECT_FALSE(SealSignatureValid(key.publicKey, "seal line", flipped));
    EXPECT_FALSE(SealSignatureValid(key.publicKey, "seal line", signature.substr(2)));
    EXPECT_FALSE(SealSignatureValid(key.publicKey, "seal line", std::string(128, 'x')));
    EXPECT_EQ(key.publicKey.Fingerprint().size(), 64u);
    EXPECT_NE(key.publicKey.Fingerprint(), other.publicKey.Fingerprint());
}

TEST(SealCrypto, KeyTextsGoBothWaysAndNothingElseParses) {
    SealSigningKey key;
    ASSERT_TRUE(MakeSealKey(key));
    SealPublicKey publicKey;
    ASSERT_TRUE(ParsePublicKeyText(PublicKeyText(key.publicKey), publicKey));
    EXPECT_EQ(publicKey, key.publicKey);
    SealSigningKey read;
    ASSERT_TRUE(ParseSecretKeyText(SecretKeyText(key), read));
    EXPECT_EQ(read.publicKey, key.publicKey);
    EXPECT_EQ(SealSignature(read, "x"), SealSignature(key, "x"));

    const std::string text = PublicKeyText(key.publicKey);
    for (const std::string& bad : std::vector<std::string>{
             std::string(), text.substr(0, text.size() - 3), "vzrmaud-seal-ed25519\n",
             "ssh-ed25519 " + text.substr(21), text + "x",
             "vzrmaud-seal-ed25519 " + std::string(64, 'g'), SecretKeyText(key)}) {
        EXPECT_FALSE(ParsePublicKeyText(bad, publicKey)) << bad;
    }
    // A secret whose halves do not belong together is no key.
    std::string secret = SecretKeyText(key);
    secret[secret.size() - 3] = secret[secret.size() - 3] == '0' ? '1' : '0';
    EXPECT_FALSE(ParseSecretKeyText(secret, read));
    EXPECT_FALSE(ParseSecretKeyText(text, read));
}

class SealKeyFiles : public ::testing::Test {
  protected:
    std::string Folder() const { return dir.File("keys"); }
    std::string Secret() const { return Folder() + "/seal.key"; }
    std::string Public() const { return Folder() + "/seal.pub"; }
    // The key a run of this account signs with, made when missing.
    std::int32_t Key(SealSigningKey& key, bool make = true) {
        return keys.SigningKey(key, make, refusal);
    }

    test::TempDir dir;
    FileSealKeys keys{FileSealKeys::Location{dir.File("keys"), dir.File("keys")}};
    std::string refusal;
};

TEST_F(SealKeyFiles, TheFirstUseMakesThePairAndLaterUsesReadIt) {
    SealSigningKey missing;
    EXPECT_EQ(Key(missing, false), kErrorFileNotFound);
    EXPECT_NE(refusal.find("the first run makes it"), std::string::npos) << refusal;
    EXPECT_FALSE(std::filesystem::exists(Folder()));

    SealSigningKey made;
    ASSERT_EQ(Key(made), 0) << refusal;
    EXPECT_EQ(ModeOf(Secret()), 0600u);
    EXPECT_EQ(ModeOf(Public()), 0644u);
    EXPECT_EQ(made.publicKeyFile, Public());
    const mode_t folder = ModeOf(Folder());
    EXPECT_EQ(folder, geteuid() == 0 ? 0755u : 0700u);

    SealSigningKey again;
    ASSERT_EQ(Key(again, false), 0) << refusal;
    EXPECT_EQ(again.publicKey, made.publicKey);
    std::vector<TrustedSealKey> trusted;
    ASSERT_EQ(keys.TrustedKeys(trusted, refusal), 0) << refusal;
    ASSERT_EQ(trusted.size(), 1u);  // one folder for both: a private installation
    EXPECT_EQ(trusted[0].key, made.publicKey);
    EXPECT_EQ(trusted[0].file, Public());

    // A public key that went missing is written again from the secret.
    std::filesystem::remove(Public());
    ASSERT_EQ(Key(again, false), 0) << refusal;
    SealPublicKey read;
    ASSERT_EQ(ReadPublicKeyFile(Public(), read, refusal), 0) << refusal;
    EXPECT_EQ(read, made.publicKey);
}

TEST_F(SealKeyFiles, KeyFilesThatOthersMayChangeOrThatAreLinksAreRefused) {
    SealSigningKey key;
    ASSERT_EQ(Key(key), 0) << refusal;
    const auto refused = [&](const std::string& why) {
        SealSigningKey other;
        EXPECT_EQ(Key(other), kErrorAccessDenied) << refusal;
        EXPECT_NE(refusal.find(why), std::string::npos) << refusal;
    };
    ASSERT_EQ(chmod(Secret().c_str(), 0620), 0);
    refused("other accounts may write to it (mode 0620)");
    ASSERT_EQ(chmod(Secret().c_str(), 0640), 0);
    refused("other accounts may read it (mode 0640)");
    ASSERT_EQ(chmod(Secret().c_str(), 0600), 0);
    ASSERT_EQ(chmod(Public().c_str(), 0666), 0);
    refused("seal's public key file '" + Public() + "' is refused: other accounts may write");
    ASSERT_EQ(chmod(Public().c_str(), 0644), 0);

    // A link at the secret's name, and a second name of it.
    std::filesystem::rename(Secret(), dir.File("elsewhere.key"));
    std::filesystem::create_symlink(dir.File("elsewhere.key"), Secret());
    refused("it is a symbolic link");
    std::filesystem::remove(Secret());
    std::filesystem::create_hard_link(dir.File("elsewhere.key"), Secret());
    refused("it has other names (hard links)");
    std::filesystem::remove(dir.File("elsewhere.key"));
    SealSigningKey back;
    ASSERT_EQ(Key(back), 0) << refusal;
    EXPECT_EQ(back.publicKey, key.publicKey);

    // The public key of verify: a link is refused too.
    std::filesystem::rename(Public(), dir.File("elsewhere.pub"));
    std::filesystem::create_symlink(dir.File("elsewhere.pub"), Public());
    std::vector<TrustedSealKey> trusted;
    EXPECT_EQ(keys.TrustedKeys(trusted, refusal), kErrorAccessDenied);
    EXPECT_NE(refusal.find("it is a symbolic link"), std::string::npos) << refusal;
    SealPublicKey named;
    EXPECT_EQ(ReadPublicKeyFile(Public(), named, refusal), kErrorAccessDenied);
    EXPECT_NE(refusal.find("it is a symbolic link"), std::string::npos) << refusal;
    EXPECT_EQ(ReadPublicKeyFile(dir.File("elsewhere.pub"), named, refusal), 0) << refusal;
    EXPECT_EQ(named, key.publicKey);
}

TEST_F(SealKeyFiles, AForeignOrOrphanedPublicKeyIsNeverReplaced) {
    SealSigningKey key;
    ASSERT_EQ(Key(key), 0) << refusal;
    SealSigningKey other;
    ASSERT_TRUE(MakeSealKey(other));
    test::WriteFile(Public(), PublicKeyText(other.publicKey));
    SealSigningKey read;
    EXPECT_EQ(Key(read), kErrorAccessDenied);
    EXPECT_NE(refusal.find("it is not the public key of the seal key"), std::string::npos)
        << refusal;
    // The secret is gone, its public key is not: no new pair behind the verifiers' back.
    std::filesystem::remove(Secret());
    EXPECT_EQ(Key(read), kErrorFileNotFound);
    EXPECT_NE(refusal.find("move the public key away"), std::string::npos) << refusal;
    EXPECT_FALSE(std::filesystem::exists(Secret()));
    test::WriteFile(Secret(), "not a key\n");
    ASSERT_EQ(chmod(Secret().c_str(), 0600), 0);
    EXPECT_EQ(Key(read), kErrorInvalidData);
    EXPECT_NE(refusal.find("not a seal key"), std::string::npos) << refusal;
}

// Root signs with the machine's pair, every other account with its own.
TEST(SealKeyLocation, TheKeysLieBesideTheStoresHives) {
    test::ScopedEnv store("VZRM_REGISTRY_DIR", nullptr);
    test::ScopedEnv machine("VZRM_MACHINE_REGISTRY_DIR", "/opt/vzrm/registry");
    test::ScopedEnv config("XDG_CONFIG_HOME", "/home/ann/.conf");
    FileSealKeys::Location location = FileSealKeys::DefaultLocation();
    EXPECT_EQ(location.machineFolder, "/opt/vzrm/registry");
    EXPECT_EQ(location.userFolder, "/home/ann/.conf/vzrmaud");
    test::ScopedEnv both("VZRM_REGISTRY_DIR", "/srv/store");
    location = FileSealKeys::DefaultLocation();
    EXPECT_EQ(location.machineFolder, "/srv/store");
    EXPECT_EQ(location.userFolder, "/srv/store");
}

}  // namespace
}  // namespace vzrm
