// What the seal of the reports asks of the system: SHA-256 digests, Ed25519
// keys and signatures (libsodium on Linux; none of it written here), and the
// key files of an installation. The seal lines themselves are the report
// floor's (report/report_seal.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vzrm::platform {

// A SHA-256 digest over bytes given a piece at a time.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::string_view bytes);
    // Forgets what was given.
    void Reset();
    // The digest of what was given since the start or the last digest, in 64
    // lower-case hex digits; the hash starts over.
    std::string HexDigest();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The SHA-256 of `bytes` in 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

struct SealPublicKey {
    std::array<std::uint8_t, 32> bytes{};
    // The SHA-256 of the key's 32 bytes in hex: what the seal lines and the
    // Application log name.
    std::string Fingerprint() const;
    bool operator==(const SealPublicKey&) const = default;
};

// A key that signs: libsodium's 64-byte secret (the seed, then the public
// key). The secret is wiped when the object goes.
struct SealSigningKey {
    SealSigningKey() = default;
    ~SealSigningKey();
    SealSigningKey(const SealSigningKey&) = delete;
    SealSigningKey& operator=(const SealSigningKey&) = delete;

    SealPublicKey publicKey;
    std::array<std::uint8_t, 64> secret{};
    std::string publicKeyFile;  // where a verifier finds the public key
    bool set = false;
};

// A new key pair from the system's random source; false when none could be made.
bool MakeSealKey(SealSigningKey& key);
// The Ed25519 signature of `message` in 128 lower-case hex digits.
std::string SealSignature(const SealSigningKey& key, std::string_view message);
// Whether `signatureHex` (128 hex digits) is the key's signature of `message`.
bool SealSignatureValid(const SealPublicKey& key, std::string_view message,
                        std::string_view signatureHex);

// The key files' texts: "vzrmaud-seal-ed25519 HEX" (the 32 bytes of the
// public key) and "vzrmaud-seal-ed25519-secret HEX" (the 64 of the secret),
// each one line. Parsing takes white space around the line; false for
// anything else.
std::string PublicKeyText(const SealPublicKey& key);
bool ParsePublicKeyText(std::string_view text, SealPublicKey& key);
std::string SecretKeyText(const SealSigningKey& key);
bool ParseSecretKeyText(std::string_view text, SealSigningKey& key);

// A public key that verify trusts, and the file it was read from.
struct TrustedSealKey {
    SealPublicKey key;
    std::string file;
};

// The key files of an installation: the machine's beside the machine hive
// (runs of root), an account's own beside its user hive (runs of other
// accounts; the same folder for a private installation with its own store).
// The files get the store's checks: no link, a plain file with one name,
// owned by this account or root, not writable by others; the secret key
// readable by its owner alone.
class ISealKeys {
  public:
    virtual ~ISealKeys() = default;
    // The key this process's runs sign with. A missing pair is made when
    // `make` is set (the secret 0600, the public key 0644), else the result
    // is 2. 0, or a Windows code with `refusal` naming the file and why.
    virtual std::int32_t SigningKey(SealSigningKey& key, bool make, std::string& refusal) = 0;
    // The public keys of the machine and of this account that exist; a file
    // that is refused ends the list with its code and `refusal`.
    virtual std::int32_t TrustedKeys(std::vector<TrustedSealKey>& keys, std::string& refusal) = 0;
};

// Reads the public key file at `path` that a user names (vzrmlog verify
// --key): a plain file, no link at its name. 0, or a Windows code with
// `refusal` set.
std::int32_t ReadPublicKeyFile(const std::string& path, SealPublicKey& key, std::string& refusal);

}  // namespace vzrm::platform
