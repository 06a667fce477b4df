// Windows error codes: the program's logic speaks them on every platform.
#pragma once

#include <cstdint>

namespace vzrm::platform {

inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorInvalidFunction = 1;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorPathNotFound = 3;
inline constexpr std::int32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorNotEnoughMemory = 8;
inline constexpr std::int32_t kErrorInvalidData = 13;
inline constexpr std::int32_t kErrorNotSameDevice = 17;
inline constexpr std::int32_t kErrorWriteProtect = 19;
inline constexpr std::int32_t kErrorSharingViolation = 32;
inline constexpr std::int32_t kErrorLockViolation = 33;
inline constexpr std::int32_t kErrorHandleEof = 38;
inline constexpr std::int32_t kErrorFileExists = 80;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorBrokenPipe = 109;
inline constexpr std::int32_t kErrorDiskFull = 112;
inline constexpr std::int32_t kErrorCallNotImplemented = 120;
inline constexpr std::int32_t kErrorInsufficientBuffer = 122;
inline constexpr std::int32_t kErrorInvalidName = 123;
inline constexpr std::int32_t kErrorDirNotEmpty = 145;
inline constexpr std::int32_t kErrorTooManyTcbs = 155;  // no more threads
inline constexpr std::int32_t kErrorBusy = 170;
inline constexpr std::int32_t kErrorAlreadyExists = 183;
inline constexpr std::int32_t kErrorFilenameExcedRange = 206;
inline constexpr std::int32_t kErrorBadFileType = 222;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorNoMoreItems = 259;
inline constexpr std::int32_t kErrorDirectory = 267;
inline constexpr std::int32_t kErrorIoDevice = 1117;
inline constexpr std::int32_t kErrorUnknownRevision = 1305;
inline constexpr std::int32_t kErrorPrivilegeNotHeld = 1314;
inline constexpr std::int32_t kErrorNoneMapped = 1332;
inline constexpr std::int32_t kErrorInvalidAcl = 1336;
inline constexpr std::int32_t kErrorInvalidSecurityDescr = 1338;
inline constexpr std::int32_t kErrorTimeout = 1460;
inline constexpr std::int32_t kErrorEventlogFileChanged = 1503;
inline constexpr std::int32_t kErrorCantResolveFilename = 1921;

}  // namespace vzrm::platform
