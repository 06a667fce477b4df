#include "base/error_texts.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/format_text.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "base/time_texts.h"
#include "platform/error_codes.h"
#include "platform/registry.h"

namespace vzrm {
namespace {

constexpr std::size_t kHexDumpRowBytes = 12;
constexpr std::size_t kHexDumpGroupBytes = 4;

const char* OwnSystemMessage(std::int32_t code) {
    using namespace platform;
    switch (code) {
        case kErrorSuccess:
            return "The operation completed successfully.";
        case kErrorInvalidFunction:
            return "Incorrect function.";
        case kErrorFileNotFound:
            return "The system cannot find the file specified.";
        case kErrorPathNotFound:
            return "The system cannot find the path specified.";
        case kErrorTooManyOpenFiles:
            return "The system cannot open the file.";
        case kErrorAccessDenied:
            return "Access is denied.";
        case kErrorInvalidHandle:
            return "The handle is invalid.";
        case kErrorNotEnoughMemory:
            return "Not enough memory resources are available to process this command.";
        case kErrorInvalidData:
            return "The data is invalid.";
        case kErrorNotSameDevice:
            return "The system cannot move the file to a different disk drive.";
        case kErrorWriteProtect:
            return "The media is write protected.";
        case kErrorSharingViolation:
            return "The process cannot access the file because it is being used by another "
                   "process.";
        case kErrorLockViolation:
            return "The process cannot access the file because another process has locked a "
                   "portion of the file.";
        case kErrorHandleEof:
            return "Reached the end of the file.";
        case kErrorFileExists:
            return "The file exists.";
        case kErrorInvalidParameter:
            return "The parameter is incorrect.";
        case kErrorBrokenPipe:
            return "The pipe has been ended.";
        case kErrorDiskFull:
            return "There is not enough space on the disk.";
        case kErrorCallNotImplemented:
            return "This function is not supported on this system.";
        case kErrorInsufficientBuffer:
            return "The data area passed to a system call is too small.";
        case kErrorInvalidName:
            return "The filename, directory name, or volume label syntax is incorrect.";
        case kErrorDirNotEmpty:
            return "The directory is not empty.";
        case kErrorBusy:
            return "The requested resource is in use.";
        case kErrorAlreadyExists:
            return "Cannot create a file when that file already exists.";
        case kErrorFilenameExcedRange:
            return "The filename or extension is too long.";
        case kErrorBadFileType:
            return "The file is not a plain file: a pipe, a device or a folder is refused.";
        case kErrorMoreData:
            return "More data is available.";
        case kErrorNoMoreItems:
            return "No more data is available.";
        case kErrorDirectory:
            return "The directory name is invalid.";
        case kErrorIoDevice:
            return "The request could not be performed because of an I/O device error.";
        case kErrorUnknownRevision:
            return "The revision level is unknown.";
        case kErrorPrivilegeNotHeld:
            return "A required privilege is not held by the client.";
        case kErrorNoneMapped:
            return "No mapping between account names and security IDs was done.";
        case kErrorInvalidAcl:
            return "The access control list (ACL) structure is invalid.";
        case kErrorInvalidSecurityDescr:
            return "The security descriptor structure is invalid.";
        case kErrorTimeout:
            return "This operation returned because the timeout period expired.";
        case kErrorEventlogFileChanged:
            return "The event log file has changed between read operations.";
        case kErrorCantResolveFilename:
            return "The name of the file cannot be resolved by the system.";
        default:
            return nullptr;
    }
}

bool IsPrintable(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7F;
}

}  // namespace

std::string StrgLine(const char* text) {
    return FormatText("STRG: [%s]\r\n", text);
}

std::string StrgLine(const std::string& text) {
    return StrgLine(text.c_str());
}

std::string HexDumpText(const void* data, std::size_t length) {
    if (data == nullptr || length == 0) {
        return StrgLine("NULL");
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out;
    for (std::size_t row = 0; row < length; row += kHexDumpRowBytes) {
        const std::size_t count = std::min(kHexDumpRowBytes, length - row);
        out += FormatText("%04X:", static_cast<unsigned>(row & 0xFFFF));
        for (std::size_t i = 0; i < count; ++i) {
            if (i % kHexDumpGroupBytes == 0) {
                out.push_back(' ');
            }
            out += FormatText("%02X", bytes[row + i]);
        }
        const std::size_t groups = kHexDumpRowBytes / kHexDumpGroupBytes;
        const std::size_t begunGroups = (count + kHexDumpGroupBytes - 1) / kHexDumpGroupBytes;
        out.append(2 * (kHexDumpRowBytes - count) + (groups - begunGroups), ' ');
        out.push_back(' ');
        for (std::size_t i = 0; i < count; ++i) {
            out.push_back(IsPrintable(bytes[row + i]) ? static_cast<char>(bytes[row + i]) : '.');
        }
        out += "\r\n";
    }
    return out;
}

std::string RootKeyLine(std::int64_t root) {
    const std::string name = platform::RegistryRootName(root);
    if (!name.empty()) {
        return FormatText("HKEY: %s\r\n", name);
    }
    return FormatText("HKEY: %s\r\n", FormatText("0x%08I64X", root));
}

std::string SystemErrorText(std::int32_t code) {
    const char* message = code == 0 ? nullptr : OwnSystemMessage(code);
    return message ? std::string(message) : LoadResourceText(kTextUnknownError);
}

std::string ExceptionMessage(const CException* e) {
    if (e == nullptr) {
        return {};
    }
    std::string message;
    if (!e->GetErrorMessage(message) || message.empty()) {
        return LoadResourceText(kTextUnknownError);
    }
    return message.substr(0, 515);
}

std::string FileExceptionText(const CFileException* e) {
    if (e == nullptr) {
        return StrgLine("NULL");
    }
    return FormatText("FE:cause=%d [%s]\r\n", static_cast<int>(e->GetCause()),
                      ExceptionMessage(e)) +
           FormatText("FE:error=%d [%s]\r\n", e->GetOsError(), SystemErrorText(e->GetOsError())) +
           FormatText("FE:file=[%s]\r\n", e->GetFileName());
}

}  // namespace vzrm
