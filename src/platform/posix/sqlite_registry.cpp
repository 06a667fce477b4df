#include "platform/posix/sqlite_registry.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "base/case_fold.h"
#include "platform/error_codes.h"
#include "platform/posix/owned_folder.h"
#include "platform/posix/store_location.h"

namespace vzrm::platform::posix {
namespace {

constexpr std::int64_t kRootId = 1;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE, name TEXT NOT NULL, fold TEXT NOT "
    "NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_child ON keys(parent, fold);"
    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS vals_name ON vals(key, fold);"
    // A key's values in the order they were made, one step at a time.
    "CREATE INDEX IF NOT EXISTS vals_order ON vals(key, id);"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES (1, NULL, '', '');"
    // The highest key id ever given. SQLite gives a new key the highest id
    // in use plus one, so a deleted newest key's id came back, and a handle
    // another process still held on the deleted key wrote into the new one.
    "CREATE TABLE IF NOT EXISTS key_ids(one INTEGER PRIMARY KEY CHECK(one = 1), last INTEGER NOT "
    "NULL);"
    "INSERT OR IGNORE INTO key_ids(one, last) SELECT 1, max(id) FROM keys;";

std::int32_t ErrorOf(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return kErrorSuccess;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return kErrorAccessDenied;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kErrorBusy;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return kErrorInvalidData;
        case SQLITE_FULL:
            return kErrorDiskFull;
        case SQLITE_NOMEM:
            return kErrorNotEnoughMemory;
        default:
            return kErrorIoDevice;
    }
}

// Writable for this process, and not made read-only by its permission bits
// (which root's access() would ignore).
bool MayWrite(const std::string& path) {
    std::filesystem::path at = path;
    std::error_code ignored;
    while (!at.empty() && !std::filesystem::exists(at, ignored)) {
        at = at.parent_path();
    }
    struct stat info {};
    if (at.empty() || stat(at.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & 0222) != 0 && access(at.c_str(), W_OK) == 0;
}

// A statement of the hive's cache, reset and unbound when it goes out of use.
// The store is read per event during a read of the log: parsing the same SQL
// again each time would cost more than running it.
class Statement {
  public:
    Statement(SqliteRegistry::Hive& hive, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return code_ == SQLITE_OK; }
    int Code() const { return code_; }
    Statement& Bind(int at, std::int64_t value) {
        sqlite3_bind_int64(statement_, at, value);
        return *this;
    }
    Statement& Bind(int at, const std::string& text) {
        sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int at, const std::uint8_t* data, std::uint32_t size) {
        sqlite3_bind_blob(statement_, at, size ? data : reinterpret_cast<const void*>(""),
                          static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    int Step() { return code_ = Ok() || code_ == SQLITE_ROW ? sqlite3_step(statement_) : code_; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(statement_, column);
        return text
                   ? std::string(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                   : std::string();
    }
    // The blob of `column`, valid until the next step or the end of the statement.
    std::span<const std::uint8_t> Blob(int column) const {
        const auto* data =
            static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
        return data ? std::span<const std::uint8_t>(
                          data, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                    : std::span<const std::uint8_t>();
    }

  private:
    SqliteRegistry::Hive& hive_;
    const char* sql_;
    sqlite3_stmt* statement_ = nullptr;
    bool cached_ = false;
    int code_ = SQLITE_OK;
};

bool Writes(std::uint32_t access) {
    return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
}

}  // namespace

struct SqliteRegistry::Hive {
    std::string path;
    sqlite3* db = nullptr;
    bool machine = false;
    bool readOnly = false;
    std::int32_t openError = -1;  // -1: not tried yet
    std::recursive_mutex lock;
    int depth = 0;      // nesting of Transaction
    int readDepth = 0;  // nesting of ReadTogether outside a Transaction
    // Prepared statements by their SQL (the texts are literals), and whether
    // one is in use; a statement asked for while in use is prepared apart.
    std::unordered_map<const char*, std::pair<sqlite3_stmt*, bool>> statements;

    ~Hive() {
        for (auto& [sql, statement] : statements) {
            sqlite3_finalize(statement.first);
        }
        if (db != nullptr) {
            sqlite3_close(db);
        }
    }

    // Opens on first use; a hive that may not be written is opened read-only.
    // A refusal and a missing read-only hive are kept as the answer; any other
    // failure (a busy lock, no file descriptor left) is tried again on the
    // next use, so that it never reads as a hive without keys.
    std::int32_t Open() {
        const std::lock_guard guard(lock);
        if (openError != -1) {
            return openError;
        }
        if (!StoreRefusal(path).empty()) {
            return openError = kErrorAccessDenied;  // planted or open to other accounts
        }
        readOnly = !MayWrite(path);
        std::error_code ignored;
        if (!readOnly) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        } else if (!std::filesystem::exists(path, ignored)) {
            return openError = kErrorFileNotFound;
        }
        const int flags =
            (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
            SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_URI;
        const std::string uri = "file:" + path + (readOnly ? "?mode=ro" : "");
        int code = sqlite3_open_v2(uri.c_str(), &db, flags, nullptr);
        if (code == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            code = sqlite3_exec(db, "PRAGMA foreign_keys=ON;", nullptr, nullptr, nullptr);
        }
        if (code == SQLITE_OK && !readOnly) {
            code = SetJournalMode();
            if (code == SQLITE_OK) {
                code = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
            }
        }
        if (code != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
            return ErrorOf(code) == kErrorSuccess ? kErrorIoDevice : ErrorOf(code);
        }
        return openError = kErrorSuccess;
    }

    // A WAL database can only be read by someone who may create its -shm
    // file beside it; the machine hive's readers (every user) may not write
    // its folder, so it keeps a rollback journal, which readers only lock.
    // A machine hive still in WAL mode is switched as soon as a writer opens
    // it; while other connections hold it in WAL mode the switch waits for
    // a later open.
    int SetJournalMode() {
        if (!machine) {
            return sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
        }
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
        return SQLITE_OK;
    }

    std::int32_t Exec(const char* sql) {
        return ErrorOf(sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
    }

    // Runs `read`, several statements, in one read transaction unless one is
    // open: on their own each would take and drop the file's locks again.
    // The hive refuses writes meanwhile (see Reading()).
    std::int32_t ReadTogether(const std::function<std::int32_t()>& read) {
        if (depth > 0 || readDepth > 0) {
            return read();
        }
        if (const std::int32_t error = Exec("BEGIN")) {
            return error;
        }
        // Ended however `read` ends, a throw included: a transaction left
        // open would hold the file's lock and swallow later writes.
        struct End {
            Hive& hive;
            ~End() {
                --hive.readDepth;
                if (hive.Exec("COMMIT") != kErrorSuccess) {
                    hive.Exec("ROLLBACK");
                }
            }
        };
        ++readDepth;
        const End end{*this};
        return read();
    }
    // A write here would be part of reads taken together: stored by their
    // end whatever became of it, or refused as busy by a snapshot that
    // another process's commit made old.
    bool Reading() const { return readDepth > 0; }
};

namespace {

Statement::Statement(SqliteRegistry::Hive& hive, const char* sql) : hive_(hive), sql_(sql) {
    auto& slot = hive.statements[sql];
    if (slot.first != nullptr && !slot.second) {
        statement_ = slot.first;
    } else {
        code_ = sqlite3_prepare_v3(hive.db, sql, -1, slot.first ? 0 : SQLITE_PREPARE_PERSISTENT,
                                   &statement_, nullptr);
        if (code_ != SQLITE_OK) {
            sqlite3_finalize(statement_);
            statement_ = nullptr;
            return;
        }
        if (slot.first != nullptr) {
            return;  // in use further up: this one is finalised after use
        }
        slot.first = statement_;
    }
    slot.second = true;
    cached_ = true;
}

Statement::~Statement() {
    if (!cached_) {
        sqlite3_finalize(statement_);
        return;
    }
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    hive_.statements[sql_].second = false;
}

}  // namespace

SqliteRegistry::Location SqliteRegistry::DefaultLocation() {
    if (const char* dir = std::getenv("VZRM_REGISTRY_DIR"); dir && *dir) {
        return {std::string(dir) + "/HKLM.db", std::string(dir) + "/HKCU.db"};
    }
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::string(home) + "/.config";
    } else if (const std::string account = AccountHome(); !account.empty()) {
        config = account + "/.config";  // cron gives no HOME; a shared folder is no substitute
    }
    // The machine hive alone may be named, e.g. for an installation under a prefix.
    const char* machine = std::getenv("VZRM_MACHINE_REGISTRY_DIR");
    return {machine && *machine ? std::string(machine) + "/HKLM.db" : "/var/lib/vzrmaud/HKLM.db",
            config.empty() ? config : config + "/vzrmaud/HKCU.db"};
}

SqliteRegistry::SqliteRegistry(Location location)
    : machine_(std::make_unique<Hive>()), user_(std::make_unique<Hive>()) {
    machine_->path = location.machineFile;
    machine_->machine = true;
    user_->path = location.userFile;
}

SqliteRegistry::~SqliteRegistry() = default;

std::int32_t SqliteRegistry::Resolve(HKEY key, KeyRef& ref) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) {
        ref = {key == HKEY_LOCAL_MACHINE ? machine_.get() : user_.get(), kRootId, KEY_ALL_ACCESS};
    } else {
        const std::lock_guard guard(handlesLock_);
        const auto it = handles_.find(key);
        if (it == handles_.end()) {
            return kErrorInvalidHandle;
        }
        ref = it->second;
    }
    return ref.hive->Open();
}

std::int32_t SqliteRegistry::Walk(const KeyRef& from, const std::string& subkey, bool create,
                                  std::int64_t& id, bool* created) {
    id = from.id;
    if (created) {
        *created = false;
    }
    std::size_t start = 0;
    while (start <= subkey.size()) {
        const std::size_t end = std::min(subkey.find('\\', start), subkey.size());
        const std::string name = subkey.substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            if (end == subkey.size()) {
                break;
            }
            continue;
        }
        Statement find(*from.hive, "SELECT id FROM keys WHERE parent=? AND fold=?");
        find.Bind(1, id).Bind(2, FoldCase(name));
        const int step = find.Step();
        if (step == SQLITE_ROW) {
            id = find.Int(0);
            continue;
        }
        if (step != SQLITE_DONE) {
            return ErrorOf(step);
        }
        if (!create) {
            return kErrorFileNotFound;
        }
        Statement insert(
            *from.hive,
            "INSERT INTO keys(id, parent, name, fold) VALUES"
            " (max((SELECT max(id) FROM keys), (SELECT last FROM key_ids)) + 1, ?, ?, ?)");
        insert.Bind(1, id).Bind(2, name).Bind(3, FoldCase(name));
        if (insert.Step() != SQLITE_DONE) {
            return ErrorOf(insert.Code());
        }
        id = sqlite3_last_insert_rowid(from.hive->db);
        Statement given(*from.hive, "UPDATE key_ids SET last=? WHERE one=1");
        if (given.Bind(1, id).Step() != SQLITE_DONE) {
            return ErrorOf(given.Code());
        }
        if (created) {
            *created = true;
        }
    }
    return kErrorSuccess;
}

std::int32_t SqliteRegistry::CreateKey(HKEY parent, const std::string& subkey, std::uint32_t access,
                                       HKEY& key, bool* created) {
    key = 0;
    KeyRef ref;
    if (const std::int32_t error = Resolve(parent, ref)) {
        return error == kErrorFileNotFound ? kErrorAccessDenied : error;
    }
    if (ref.hive->readOnly) {
        return kErrorAccessDenied;
    }
    std::int64_t id = 0;
    const std::int32_t error =
        Transaction(parent, [&] { return Walk(ref, subkey, true, id, created); });
    if (error) {
        return error;
    }
    const std::lock_guard guard(handlesLock_);
    key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = {ref.hive, id, access};
    return kErrorSuccess;
}

std::int32_t SqliteRegistry::OpenKey(HKEY parent, const std::string& subkey, std::uint32_t access,
                                     HKEY& key) {
    key = 0;
    KeyRef ref;
    if (const std::int32_t error = Resolve(parent, ref)) {
        return error;
    }
    const std::lock_guard hive(ref.hive->lock);
    std::int64_t id = 0;
    // A path of several names in one read; one name is one read already.
    const auto walk = [&] { return Walk(ref, subkey, false, id, nullptr); };
    const bool several = subkey.find('\\') != std::string::npos;
    if (const std::int32_t error = several ? ref.hive->ReadTogether(walk) : walk()) {
        return error;
    }
    if (Writes(access) && ref.hive->readOnly) {
        return kErrorAccessDenied;
    }
    const std::lock_guard guard(handlesLock_);
    key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = {ref.hive, id, access};
    return kErrorSuccess;
}

std::int32_t SqliteRegistry::CloseKey(HKEY key) {
    const std::lock_guard guard(handlesLock_);
    keyCursors_.erase(key);
    valueCursors_.erase(key);
    return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

std::int32_t SqliteRegistry::QueryValue(HKEY key, const std::string& name, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t& size) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    const std::lock_guard hive(ref.hive->lock);
    Statement query(*ref.hive, "SELECT type, data FROM vals WHERE key=? AND fold=?");
    query.Bind(1, ref.id).Bind(2, FoldCase(name));
    const int step = query.Step();
    if (step != SQLITE_ROW) {
        return step == SQLITE_DONE ? kErrorFileNotFound : ErrorOf(step);
    }
    const std::span<const std::uint8_t> stored = query.Blob(1);
    if (type) {
        *type = static_cast<std::uint32_t>(query.Int(0));
    }
    const auto needed = static_cast<std::uint32_t>(stored.size());
    if (data == nullptr) {
        size = needed;
        return kErrorSuccess;
    }
    if (size < needed) {
        size = needed;
        return kErrorMoreData;
    }
    std::memcpy(data, stored.data(), needed);
    size = needed;
    return kErrorSuccess;
}

std::int32_t SqliteRegistry::SetValue(HKEY key, const std::string& name, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    if (ref.hive->readOnly || !(ref.access & KEY_SET_VALUE)) {
        return kErrorAccessDenied;
    }
    if (data == nullptr && size != 0) {
        return kErrorInvalidParameter;
    }
    const std::lock_guard hive(ref.hive->lock);
    if (ref.hive->Reading()) {
        return kErrorInvalidFunction;
    }
    // An upsert keeps the value's place in the enumeration order.
    Statement upsert(*ref.hive,
                     "INSERT INTO vals(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)"
                     " ON CONFLICT(key, fold) DO UPDATE SET name=excluded.name,"
                     " type=excluded.type, data=excluded.data");
    upsert.Bind(1, ref.id)
        .Bind(2, name)
        .Bind(3, FoldCase(name))
        .Bind(4, type)
        .BindBlob(5, data, size);
    return ErrorOf(upsert.Step());
}

std::int32_t SqliteRegistry::DeleteValue(HKEY key, const std::string& name) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    if (ref.hive->readOnly || !(ref.access & KEY_SET_VALUE)) {
        return kErrorAccessDenied;
    }
    const std::lock_guard hive(ref.hive->lock);
    if (ref.hive->Reading()) {
        return kErrorInvalidFunction;
    }
    Statement erase(*ref.hive, "DELETE FROM vals WHERE key=? AND fold=?");
    erase.Bind(1, ref.id).Bind(2, FoldCase(name));
    if (const int step = erase.Step(); step != SQLITE_DONE) {
        return ErrorOf(step);
    }
    return sqlite3_changes(ref.hive->db) > 0 ? kErrorSuccess : kErrorFileNotFound;
}

std::int32_t SqliteRegistry::EnumKey(HKEY key, std::uint32_t index, std::string& name) {
    return EnumStep(key, index, keyCursors_,
                    [&](Hive& hive, std::int64_t keyId, const KeyCursor* last, KeyCursor& now) {
                        Statement query(hive, last ? "SELECT name, fold FROM keys WHERE parent=?"
                                                     " AND fold>? ORDER BY fold LIMIT 1"
                                                   : "SELECT name, fold FROM keys WHERE parent=?"
                                                     " ORDER BY fold LIMIT 1 OFFSET ?");
                        query.Bind(1, keyId);
                        if (last != nullptr) {
                            query.Bind(2, last->fold);
                        } else {
                            query.Bind(2, index);
                        }
                        const int step = query.Step();
                        if (step == SQLITE_ROW) {
                            name = query.Text(0);
                            now.fold = query.Text(1);
                        }
                        return step;
                    });
}

std::int32_t SqliteRegistry::EnumStep(HKEY key, std::uint32_t index,
                                      std::unordered_map<HKEY, KeyCursor>& cursors,
                                      const EnumRead& read) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    Hive& hive = *ref.hive;
    const std::lock_guard guard(hive.lock);
    return hive.ReadTogether([&] {
        KeyCursor now;
        if (!CursorNow(hive, index, now)) {
            return ErrorOf(sqlite3_errcode(hive.db));
        }
        const std::optional<KeyCursor> last = Preceding(cursors, key, now);
        const int step = read(hive, ref.id, last ? &*last : nullptr, now);
        const std::lock_guard handles(handlesLock_);
        if (step != SQLITE_ROW) {
            cursors.erase(key);
            return step == SQLITE_DONE ? kErrorNoMoreItems : ErrorOf(step);
        }
        // A handle closed meanwhile keeps no cursor.
        if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || handles_.contains(key)) {
            cursors[key] = std::move(now);
        }
        return kErrorSuccess;
    });
}

bool SqliteRegistry::CursorNow(Hive& hive, std::uint32_t index, KeyCursor& now) {
    Statement version(hive, "PRAGMA data_version");
    if (version.Step() != SQLITE_ROW) {
        return false;
    }
    now = {&hive, index, {}, sqlite3_total_changes64(hive.db), version.Int(0), 0};
    return true;
}

std::optional<SqliteRegistry::KeyCursor> SqliteRegistry::Preceding(
    const std::unordered_map<HKEY, KeyCursor>& cursors, HKEY key, const KeyCursor& now) {
    const std::lock_guard handles(handlesLock_);
    const auto it = cursors.find(key);
    if (it == cursors.end()) {
        return std::nullopt;
    }
    const KeyCursor& last = it->second;
    const bool follows = last.hive == now.hive && now.index > 0 && last.index == now.index - 1 &&
                         last.changes == now.changes && last.version == now.version;
    return follows ? std::optional(last) : std::nullopt;
}

std::int32_t SqliteRegistry::EnumValue(HKEY key, std::uint32_t index, std::string& name,
                                       std::uint32_t& type, std::vector<std::uint8_t>& data) {
    return EnumStep(key, index, valueCursors_,
                    [&](Hive& hive, std::int64_t keyId, const KeyCursor* last, KeyCursor& now) {
                        Statement query(hive, last ? "SELECT name, type, data, id FROM vals"
                                                     " WHERE key=? AND id>? ORDER BY id LIMIT 1"
                                                   : "SELECT name, type, data, id FROM vals"
                                                     " WHERE key=? ORDER BY id LIMIT 1 OFFSET ?");
                        query.Bind(1, keyId);
                        query.Bind(2, last != nullptr ? last->valueId : std::int64_t{index});
                        const int step = query.Step();
                        if (step == SQLITE_ROW) {
                            name = query.Text(0);
                            type = static_cast<std::uint32_t>(query.Int(1));
                            const std::span<const std::uint8_t> stored = query.Blob(2);
                            data.assign(stored.begin(), stored.end());
                            now.valueId = query.Int(3);
                        }
                        return step;
                    });
}

std::int32_t SqliteRegistry::DeleteKey(HKEY parent, const std::string& subkey) {
    return Delete(parent, subkey, false);
}

std::int32_t SqliteRegistry::DeleteTree(HKEY parent, const std::string& subkey) {
    return Delete(parent, subkey, true);
}

// One transaction from finding the key to deleting it: between separate
// statements another process could delete the key and make one under the
// same id, or add a subkey after the check for none.
std::int32_t SqliteRegistry::Delete(HKEY parent, const std::string& subkey, bool withSubkeys) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(parent, ref)) {
        return error;
    }
    return Transaction(parent, [&] { return DeleteFound(ref, subkey, withSubkeys); });
}

std::int32_t SqliteRegistry::DeleteFound(const KeyRef& ref, const std::string& subkey,
                                         bool withSubkeys) {
    std::int64_t id = 0;
    if (const std::int32_t error = Walk(ref, subkey, false, id, nullptr)) {
        return error;
    }
    if (ref.hive->readOnly || id == kRootId) {
        return kErrorAccessDenied;
    }
    if (!withSubkeys) {
        Statement children(*ref.hive, "SELECT 1 FROM keys WHERE parent=? LIMIT 1");
        children.Bind(1, id);
        if (children.Step() == SQLITE_ROW) {
            return kErrorAccessDenied;
        }
    }
    Statement erase(*ref.hive, "DELETE FROM keys WHERE id=?");  // cascades to the subtree
    erase.Bind(1, id);
    return ErrorOf(erase.Step());
}

std::int32_t SqliteRegistry::Transaction(HKEY key, const std::function<std::int32_t()>& change) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    Hive& hive = *ref.hive;
    const std::lock_guard guard(hive.lock);
    if (hive.Reading()) {
        return kErrorInvalidFunction;
    }
    struct Nested {
        int& depth;
        explicit Nested(int& counter) : depth(++counter) {}
        ~Nested() { --depth; }
    };
    if (hive.readOnly || hive.depth > 0) {
        const Nested nested(hive.depth);
        return change();
    }
    if (const std::int32_t error = hive.Exec("BEGIN IMMEDIATE")) {
        return error;
    }
    std::int32_t result = kErrorSuccess;
    try {
        const Nested nested(hive.depth);
        result = change();
    } catch (...) {
        RollBack(hive);
        throw;
    }
    if (result != kErrorSuccess) {
        RollBack(hive);
        return result;
    }
    if (const std::int32_t error = hive.Exec("COMMIT")) {
        RollBack(hive);
        return error;
    }
    return kErrorSuccess;
}

void SqliteRegistry::RollBack(Hive& hive) {
    hive.Exec("ROLLBACK");
    // What the cursors went on from may be gone with the changes.
    const std::lock_guard handles(handlesLock_);
    std::erase_if(keyCursors_, [&](const auto& entry) { return entry.second.hive == &hive; });
    std::erase_if(valueCursors_, [&](const auto& entry) { return entry.second.hive == &hive; });
}

std::int32_t SqliteRegistry::ReadTogether(HKEY key, const std::function<std::int32_t()>& read) {
    KeyRef ref;
    if (const std::int32_t error = Resolve(key, ref)) {
        return error;
    }
    const std::lock_guard guard(ref.hive->lock);
    return ref.hive->ReadTogether(read);
}

}  // namespace vzrm::platform::posix
