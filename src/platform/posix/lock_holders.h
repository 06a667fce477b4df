// Who holds a file lock, from the kernel's list (/proc/locks): so that a
// refusal can name an account that squats on a lock every run needs.
#pragma once

#include <sys/types.h>

#include <string>

namespace vzrm::platform::posix {

// The processes holding a lock on the file (device, inode), as "process
// 1234 (account nobody)", joined by ", "; empty when none is listed.
std::string LockHolders(dev_t device, ino_t inode);

}  // namespace vzrm::platform::posix
