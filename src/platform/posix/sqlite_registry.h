// The registry on Linux: one SQLite database per hive.
//
// Keys form a tree of rows; key and value names compare without regard to
// case and keep the case they were written with. Values keep the Windows
// types and byte forms. A hive whose file (or folder) may not be written is
// opened read-only and answers writes with 5; a file or folder with no write
// permission bit at all counts as read-only even for root. A busy timeout
// lets several processes share a hive (the user hive in WAL mode, the machine
// hive, which every user reads, with a rollback journal); multi-step changes run in one
// transaction, so a failure or a crash leaves the previous content whole.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/registry.h"

struct sqlite3;

namespace vzrm::platform::posix {

class SqliteRegistry final : public IRegistry {
  public:
    struct Location {
        std::string machineFile;  // HKLM
        std::string userFile;     // HKCU
    };
    // $VZRM_REGISTRY_DIR/{HKLM,HKCU}.db when set; otherwise HKLM in
    // $VZRM_MACHINE_REGISTRY_DIR or /var/lib/vzrmaud and HKCU in
    // ${XDG_CONFIG_HOME:-~/.config}/vzrmaud, the home from the user database
    // when HOME is unset. Refused locations: see store_location.h.
    static Location DefaultLocation();

    explicit SqliteRegistry(Location location = DefaultLocation());
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    std::int32_t CreateKey(HKEY parent, const std::string& subkey, std::uint32_t access, HKEY& key,
                           bool* created = nullptr) override;
    std::int32_t OpenKey(HKEY parent, const std::string& subkey, std::uint32_t access,
                         HKEY& key) override;
    std::int32_t CloseKey(HKEY key) override;
    std::int32_t QueryValue(HKEY key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t& size) override;
    std::int32_t SetValue(HKEY key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t DeleteValue(HKEY key, const std::string& name) override;
    std::int32_t EnumKey(HKEY key, std::uint32_t index, std::string& name) override;
    std::int32_t EnumValue(HKEY key, std::uint32_t index, std::string& name, std::uint32_t& type,
                           std::vector<std::uint8_t>& data) override;
    std::int32_t DeleteKey(HKEY parent, const std::string& subkey) override;
    std::int32_t DeleteTree(HKEY parent, const std::string& subkey) override;
    std::int32_t Transaction(HKEY key, const std::function<std::int32_t()>& change) override;
    std::int32_t ReadTogether(HKEY key, const std::function<std::int32_t()>& read) override;

    struct Hive;

  private:
    struct KeyRef {
        Hive* hive = nullptr;
        std::int64_t id = 0;
        std::uint32_t access = 0;
    };
    // Where a handle's enumeration of subkeys (or values) stopped: the next
    // index goes on from the last name (or value id) instead of counting all
    // those before it again, which made listing a key quadratic. Only while
    // the hive is as it was: `changes` (this connection's) and `version`
    // (other connections' commits) tell, and a rollback forgets the hive's
    // cursors.
    struct KeyCursor {
        const Hive* hive = nullptr;  // none yet
        std::uint32_t index = 0;
        std::string fold;
        std::int64_t changes = 0;
        std::int64_t version = 0;
        std::int64_t valueId = 0;
    };
    // A cursor at `index` of the hive as it is now; false when the hive's
    // version cannot be read.
    static bool CursorNow(Hive& hive, std::uint32_t index, KeyCursor& now);
    // The handle's last cursor in `cursors` when it stopped right before `now`.
    std::optional<KeyCursor> Preceding(const std::unordered_map<HKEY, KeyCursor>& cursors, HKEY key,
                                       const KeyCursor& now);
    // Reads the entry at the cursor's index (going on from `last` when there
    // is one) and sets where it stopped in `now`; the SQLite step's code.
    using EnumRead =
        std::function<int(Hive& hive, std::int64_t keyId, const KeyCursor* last, KeyCursor& now)>;
    // One step of a handle's enumeration, with its cursor kept in `cursors`.
    std::int32_t EnumStep(HKEY key, std::uint32_t index,
                          std::unordered_map<HKEY, KeyCursor>& cursors, const EnumRead& read);
    std::int32_t Resolve(HKEY key, KeyRef& ref);
    void RollBack(Hive& hive);
    std::int32_t Delete(HKEY parent, const std::string& subkey, bool withSubkeys);
    std::int32_t DeleteFound(const KeyRef& ref, const std::string& subkey, bool withSubkeys);
    std::int32_t Walk(const KeyRef& from, const std::string& subkey, bool create, std::int64_t& id,
                      bool* created);

    std::unique_ptr<Hive> machine_;
    std::unique_ptr<Hive> user_;
    std::mutex handlesLock_;
    std::unordered_map<HKEY, KeyRef> handles_;
    std::unordered_map<HKEY, KeyCursor> keyCursors_;    // under handlesLock_
    std::unordered_map<HKEY, KeyCursor> valueCursors_;  // under handlesLock_
    HKEY nextHandle_ = 0x1000;
};

}  // namespace vzrm::platform::posix
