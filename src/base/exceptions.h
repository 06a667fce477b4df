// The program's exception classes. Like the framework they stand in for, they
// are thrown and caught by pointer; the catcher that ends one calls Delete().
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

class CException {
  public:
    explicit CException(bool autoDelete = true) : autoDelete_(autoDelete) {}
    virtual ~CException() = default;
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;

    // The exception's message for the user; false when it has none.
    virtual bool GetErrorMessage(std::string& message) const;
    // Frees the exception when it was created to delete itself.
    void Delete();

  private:
    bool autoDelete_;
};

// A failure carried across window procedures and processor faults to the
// application's exception hook.
class C_Exception : public CException {
  public:
    C_Exception() = default;
    C_Exception(std::int32_t code, std::string message, std::string details)
        : code_(code), message_(std::move(message)), details_(std::move(details)) {}

    // Puts "catch point: ID" on top of the details.
    void AddCatchPoint(const std::string& id);

    std::int32_t GetCode() const { return code_; }
    const std::string& GetMessage() const { return message_; }
    const std::string& GetDetails() const { return details_; }

  private:
    std::int32_t code_ = 0;
    std::string message_;
    std::string details_;
};

// A failed file operation: what kind of failure, the system's code, the file.
class CFileException : public CException {
  public:
    enum Cause : int {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(Cause cause, std::int32_t osError, std::string fileName)
        : cause_(cause), osError_(osError), fileName_(std::move(fileName)) {}
    // The cause that matches a Windows error code.
    static Cause CauseOfError(std::int32_t osError);
    // A new self-deleting exception for a failed operation on `fileName`.
    static CFileException* FromError(std::int32_t osError, const std::string& fileName);

    bool GetErrorMessage(std::string& message) const override;

    Cause GetCause() const { return cause_; }
    std::int32_t GetOsError() const { return osError_; }
    const std::string& GetFileName() const { return fileName_; }

  private:
    Cause cause_;
    std::int32_t osError_;
    std::string fileName_;
};

}  // namespace vzrm
