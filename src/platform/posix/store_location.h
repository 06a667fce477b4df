// Whether the store's hives may be trusted where they lie: a hive that another
// account could have planted or may change would feed a root run its dates.
#pragma once

#include <string>

namespace vzrm {
class CErrorInfo;
}

namespace vzrm::platform::posix {

// Why the hive file `file` is refused (its folder, the file or SQLite's files
// beside it: a symbolic link, another account's, writable by others), or empty.
// Entries that do not exist yet are not refused.
std::string StoreRefusal(const std::string& file);

// Checks both hives of the default location; a refusal is recorded in
// `record` with a text naming the path, and the result is false.
bool CheckStoreLocation(CErrorInfo& record);

}  // namespace vzrm::platform::posix
