// Folders and files that a run as root writes in must belong to the program's
// side: no symbolic link, owned by the expected account, and not writable by
// anyone else. Otherwise another account could swap what the program opens.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vzrm::platform::posix {

struct OwnerRule {
    uid_t owner = 0;          // the account that must own it
    bool rootMayOwn = false;  // root may own it instead
};

// Why an entry with this status is refused, or empty. `what` names it in the
// text ("lock folder", "store file"); folders must be folders, files plain files.
std::string RefusalOf(const struct stat& info, const std::string& what, const std::string& path,
                      const OwnerRule& rule, bool folder);

// Opens the folder at `path` (created with `mode` when missing, its missing
// parents with `parentMode`) without following a link at its last component,
// and checks it. 0 and an open descriptor, or a Windows code and a text that
// names the path.
std::int32_t OpenOwnedFolder(const std::string& path, const std::string& what, mode_t mode,
                             mode_t parentMode, const OwnerRule& rule, int& fd,
                             std::string& refusal);

// The home folder of the process's account from the user database, or empty.
std::string AccountHome();

}  // namespace vzrm::platform::posix
