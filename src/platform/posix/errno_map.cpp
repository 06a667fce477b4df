#include "platform/posix/errno_map.h"

#include <cerrno>

#include "platform/error_codes.h"

namespace vzrm::platform::posix {

std::int32_t WindowsErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kErrorAccessDenied;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EXDEV:
            return kErrorNotSameDevice;
        case ETXTBSY:
            return kErrorSharingViolation;
        case EAGAIN:
            return kErrorLockViolation;
        case EEXIST:
            return kErrorAlreadyExists;
        case EINVAL:
            return kErrorInvalidParameter;
        case EPIPE:
            return kErrorBrokenPipe;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case ENOSYS:
        case EOPNOTSUPP:
            return kErrorCallNotImplemented;
        case ERANGE:
        case EOVERFLOW:
            return kErrorInsufficientBuffer;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case EBUSY:
            return kErrorBusy;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        case EIO:
            return kErrorIoDevice;
        case ETIMEDOUT:
            return kErrorTimeout;
        case ELOOP:  // a symbolic link where O_NOFOLLOW allows none
            return kErrorCantResolveFilename;
        default:
            return kErrorInvalidFunction;
    }
}

}  // namespace vzrm::platform::posix
