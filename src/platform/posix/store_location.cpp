#include "platform/posix/store_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/error_info.h"
#include "platform/error_codes.h"
#include "platform/posix/owned_folder.h"
#include "platform/posix/sqlite_registry.h"

namespace vzrm::platform::posix {
namespace {

// An entry that exists must pass; a missing one is made by this process later.
std::string RefusalOfEntry(const std::string& path, const std::string& what, bool folder) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? std::string()
                               : "The " + what + " '" + path + "' cannot be examined.";
    }
    return RefusalOf(info, what, path, {geteuid(), true}, folder);
}

}  // namespace

std::string StoreRefusal(const std::string& file) {
    if (file.empty()) {
        return "The store of this account has no place: the account has no home folder.";
    }
    const std::size_t slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (std::string refusal = RefusalOfEntry(file.substr(0, slash), "store folder", true);
            !refusal.empty()) {
            return refusal;
        }
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (std::string refusal = RefusalOfEntry(file + suffix, "store file", false);
            !refusal.empty()) {
            return refusal;
        }
    }
    return {};
}

bool CheckStoreLocation(CErrorInfo& record) {
    const SqliteRegistry::Location location = SqliteRegistry::DefaultLocation();
    for (const std::string& file : {location.machineFile, location.userFile}) {
        if (const std::string refusal = StoreRefusal(file); !refusal.empty()) {
            record.SetError("CUKZTMOXUHZU7NG", kErrorAccessDenied, refusal);
            return false;
        }
    }
    return true;
}

}  // namespace vzrm::platform::posix
