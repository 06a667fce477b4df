// The seal's digests, keys and signatures on libsodium.
#include <sodium.h>

#include "platform/seal.h"

namespace vzrm::platform {
namespace {

// libsodium picks its implementations once; it fails only without a random
// source, which no digest or check needs, and then makes no keys.
bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
    std::string text(N * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes.data(), N);
    text.pop_back();
    return text;
}

// Exactly 2*N lower- or upper-case hex digits.
template <std::size_t N>
bool FromHex(std::string_view text, std::array<std::uint8_t, N>& bytes) {
    if (text.size() != N * 2) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    std::size_t length = 0;
    return sodium_hex2bin(bytes.data(), N, text.data(), text.size(), nullptr, &length, nullptr) ==
               0 &&
           length == N;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

// The hex after "NAME " in a one-line key file.
bool KeyHex(std::string_view text, std::string_view name, std::string_view& hex) {
    text = Trimmed(text);
    if (text.size() <= name.size() || text.substr(0, name.size()) != name ||
        text[name.size()] != ' ') {
        return false;
    }
    hex = Trimmed(text.substr(name.size() + 1));
    return hex.find_first_of(" \t\r\n") == std::string_view::npos;
}

constexpr std::string_view kPublicName = "vzrmaud-seal-ed25519";
constexpr std::string_view kSecretName = "vzrmaud-seal-ed25519-secret";

}  // namespace

struct Sha256::State {
    crypto_hash_sha256_state state;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    SodiumReady();
    crypto_hash_sha256_init(&state_->state);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes) {
    crypto_hash_sha256_update(&state_->state, reinterpret_cast<const unsigned char*>(bytes.data()),
                              bytes.size());
}

void Sha256::Reset() {
    crypto_hash_sha256_init(&state_->state);
}

std::string Sha256::HexDigest() {
    std::array<std::uint8_t, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&state_->state, digest.data());
    crypto_hash_sha256_init(&state_->state);
    return Hex(digest);
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.HexDigest();
}

std::string SealPublicKey::Fingerprint() const {
    return Sha256Hex({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

SealSigningKey::~SealSigningKey() {
    sodium_memzero(secret.data(), secret.size());
}

bool MakeSealKey(SealSigningKey& key) {
    static_assert(crypto_sign_PUBLICKEYBYTES == 32 && crypto_sign_SECRETKEYBYTES == 64);
    if (!SodiumReady() || crypto_sign_keypair(key.publicKey.bytes.data(), key.secret.data()) != 0) {
        return false;
    }
    key.set = true;
    return true;
}

std::string SealSignature(const SealSigningKey& key, std::string_view message) {
    static_assert(crypto_sign_BYTES == 64);
    SodiumReady();
    std::array<std::uint8_t, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.secret.data());
    return Hex(signature);
}

bool SealSignatureValid(const SealPublicKey& key, std::string_view message,
                        std::string_view signatureHex) {
    SodiumReady();
    std::array<std::uint8_t, crypto_sign_BYTES> signature{};
    return FromHex(signatureHex, signature) &&
           crypto_sign_verify_detached(signature.data(),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key.bytes.data()) == 0;
}

std::string PublicKeyText(const SealPublicKey& key) {
    return std::string(kPublicName) + " " + Hex(key.bytes) + "\n";
}

bool ParsePublicKeyText(std::string_view text, SealPublicKey& key) {
    std::string_view hex;
    return KeyHex(text, kPublicName, hex) && FromHex(hex, key.bytes);
}

std::string SecretKeyText(const SealSigningKey& key) {
    return std::string(kSecretName) + " " + Hex(key.secret) + "\n";
}

bool ParseSecretKeyText(std::string_view text, SealSigningKey& key) {
    std::string_view hex;
    if (!KeyHex(text, kSecretName, hex) || !FromHex(hex, key.secret)) {
        return false;
    }
    // The public key is the secret's second half; a secret whose halves do
    // not belong together signs nothing that verifies.
    SodiumReady();
    std::array<std::uint8_t, crypto_sign_SEEDBYTES> seed{};
    crypto_sign_ed25519_sk_to_seed(seed.data(), key.secret.data());
    std::array<std::uint8_t, 64> again{};
    SealPublicKey derived;
    crypto_sign_seed_keypair(derived.bytes.data(), again.data(), seed.data());
    const bool whole = sodium_memcmp(again.data(), key.secret.data(), again.size()) == 0;
    sodium_memzero(seed.data(), seed.size());
    sodium_memzero(again.data(), again.size());
    if (!whole) {
        return false;
    }
    key.publicKey = derived;
    key.set = true;
    return true;
}

}  // namespace vzrm::platform
