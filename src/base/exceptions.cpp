#include "base/exceptions.h"

#include "platform/error_codes.h"

namespace vzrm {

bool CException::GetErrorMessage(std::string& message) const {
    message.clear();
    return false;
}

void CException::Delete() {
    if (autoDelete_) {
        delete this;
    }
}

void C_Exception::AddCatchPoint(const std::string& id) {
    details_ = "catch point: " + id + "\r\n" + details_;
}

CFileException::Cause CFileException::CauseOfError(std::int32_t osError) {
    using namespace platform;
    switch (osError) {
        case kErrorSuccess:
            return none;
        case kErrorFileNotFound:
            return fileNotFound;
        case kErrorPathNotFound:
        case kErrorFilenameExcedRange:
        case kErrorDirectory:
            return badPath;
        case kErrorTooManyOpenFiles:
            return tooManyOpenFiles;
        case kErrorAccessDenied:
        case kErrorWriteProtect:
        case kErrorFileExists:
        case kErrorAlreadyExists:
            return accessDenied;
        case kErrorInvalidHandle:
            return invalidFile;
        case kErrorDirNotEmpty:
            return removeCurrentDir;
        case kErrorSharingViolation:
        case kErrorBusy:
            return sharingViolation;
        case kErrorLockViolation:
            return lockViolation;
        case kErrorDiskFull:
            return diskFull;
        case kErrorHandleEof:
            return endOfFile;
        case kErrorIoDevice:
            return hardIO;
        default:
            return genericException;
    }
}

CFileException* CFileException::FromError(std::int32_t osError, const std::string& fileName) {
    return new CFileException(CauseOfError(osError), osError, fileName);
}

bool CFileException::GetErrorMessage(std::string& message) const {
    const std::string name = fileName_.empty() ? "an unnamed file" : fileName_;
    switch (cause_) {
        case none:
            message = "No error occurred with " + name + ".";
            break;
        case fileNotFound:
            message = name + " was not found.";
            break;
        case badPath:
            message = name + " contains an invalid path.";
            break;
        case tooManyOpenFiles:
            message = name + " could not be opened because too many files are open.";
            break;
        case accessDenied:
            message = "Access to " + name + " was denied.";
            break;
        case invalidFile:
            message = "An invalid file handle was used with " + name + ".";
            break;
        case removeCurrentDir:
            message = name + " could not be removed because it is the current folder or not empty.";
            break;
        case directoryFull:
            message = name + " could not be created because the folder is full.";
            break;
        case badSeek:
            message = "Seeking in " + name + " failed.";
            break;
        case hardIO:
            message = "A hardware input/output error occurred with " + name + ".";
            break;
        case sharingViolation:
            message = name + " is in use by another process (sharing violation).";
            break;
        case lockViolation:
            message = "A locked region of " + name + " could not be accessed.";
            break;
        case diskFull:
            message = "The disk is full while writing " + name + ".";
            break;
        case endOfFile:
            message = "An attempt was made to read past the end of " + name + ".";
            break;
        case genericException:
        default:
            message = "An unexpected error occurred with " + name + ".";
            break;
    }
    return true;
}

}  // namespace vzrm
