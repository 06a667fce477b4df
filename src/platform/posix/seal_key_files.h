// The seal's key files on Linux: "seal.key" (the secret, 0600) and
// "seal.pub" (0644) in the folder of a store hive. Runs of root sign with the
// machine's pair beside the machine hive (/var/lib/vzrmaud, made by the
// package's postinst or the first root run), runs of other accounts with
// their own beside their user hive; with $VZRM_REGISTRY_DIR both are that
// folder. Every file and folder gets the store's checks (owned_folder.h).
#pragma once

#include <optional>
#include <string>

#include "platform/seal.h"

namespace vzrm::platform::posix {

inline constexpr char kSealSecretFile[] = "seal.key";
inline constexpr char kSealPublicFile[] = "seal.pub";

class FileSealKeys final : public ISealKeys {
  public:
    struct Location {
        std::string machineFolder;
        std::string userFolder;  // empty: the account has no home folder
    };
    // The folders of the store's hives (SqliteRegistry::DefaultLocation).
    static Location DefaultLocation();

    // Without a location the default one, as the environment says at each use.
    FileSealKeys() = default;
    explicit FileSealKeys(Location location) : location_(std::move(location)) {}

    std::int32_t SigningKey(SealSigningKey& key, bool make, std::string& refusal) override;
    std::int32_t TrustedKeys(std::vector<TrustedSealKey>& keys, std::string& refusal) override;

  private:
    Location Where() const { return location_ ? *location_ : DefaultLocation(); }

    std::optional<Location> location_;
};

}  // namespace vzrm::platform::posix
