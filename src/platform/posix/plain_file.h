// Files opened by path where another account may have put something else
// at the name: a FIFO would block the open or the read for ever, a link
// would lead elsewhere.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace vzrm::platform::posix {

// Opens `path` with `flags` (and `mode` when it creates the file) without
// blocking and without following a link at the name, then checks the open
// descriptor: anything but a plain file (a FIFO, a device, a folder) is
// closed again and refused with 222. The descriptor, or -1 with `error`
// set to a Windows code; `info` gets the descriptor's status.
int OpenPlainFile(const std::string& path, int flags, std::int32_t& error, struct stat& info,
                  mode_t mode = 0644);
// The same for `name` in the folder of the descriptor `folder`.
int OpenPlainFile(int folder, const std::string& name, int flags, std::int32_t& error,
                  struct stat& info, mode_t mode = 0644);

}  // namespace vzrm::platform::posix
