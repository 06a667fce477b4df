// errno values as the Windows codes the logic expects.
#include "platform/posix/errno_map.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/error_codes.h"

namespace vzrm::platform::posix {
namespace {

TEST(ErrnoMap, CommonErrorsBecomeWindowsCodes) {
    EXPECT_EQ(WindowsErrorFromErrno(0), kErrorSuccess);
    EXPECT_EQ(WindowsErrorFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(WindowsErrorFromErrno(EACCES), kErrorAccessDenied);
    EXPECT_EQ(WindowsErrorFromErrno(EROFS), kErrorAccessDenied);
    EXPECT_EQ(WindowsErrorFromErrno(ENOSPC), kErrorDiskFull);
    EXPECT_EQ(WindowsErrorFromErrno(ETIMEDOUT), kErrorTimeout);
    EXPECT_EQ(WindowsErrorFromErrno(EINVAL), kErrorInvalidParameter);
}

}  // namespace
}  // namespace vzrm::platform::posix
