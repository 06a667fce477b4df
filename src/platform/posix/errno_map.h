// The one place where errno values become the Windows codes the logic expects.
#pragma once

#include <cstdint>

namespace vzrm::platform::posix {

std::int32_t WindowsErrorFromErrno(int error);

}  // namespace vzrm::platform::posix
