// A registry key that reports every failure into an error record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/error_info.h"
#include "platform/registry.h"

namespace vzrm {

using platform::HKEY;

class CRegKeyHandle {
  public:
    // Without a record the handle reports into a private one of its own.
    explicit CRegKeyHandle(CErrorInfo* record = nullptr);
    ~CRegKeyHandle();
    CRegKeyHandle(const CRegKeyHandle&) = delete;
    CRegKeyHandle& operator=(const CRegKeyHandle&) = delete;

    // 1 exists, 0 not found, -1 another failure (recorded).
    static int KeyExists(HKEY root, const std::string& subkey, CErrorInfo* record);
    // Creates the key when `access` holds the create-subkey right, else opens it.
    bool Open(HKEY root, const std::string& subkey, std::uint32_t access);
    // 1 opened, 0 absent, -1 failed.
    int OpenIfExists(HKEY root, const std::string& subkey, std::uint32_t access);
    // The value's size (or, with a buffer, the bytes read), or -1.
    std::int64_t QueryValue(const std::string& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t size);
    bool ReadString(const std::string& name, std::string& out);
    bool ReadDword(const std::string& name, std::uint32_t& out);
    // The stored size (a null buffer asks for it), or -1.
    std::int64_t ReadBinary(const std::string& name, std::uint8_t* buffer, std::uint32_t size);
    bool WriteDword(const std::string& name, std::uint32_t value);
    // 1 exists, 0 not found, -1 failed.
    int ValueExists(const std::string& name);
    int ReadStringIfExists(const std::string& name, std::string& out);
    int ReadDwordIfExists(const std::string& name, std::uint32_t& out);
    void Close();

    HKEY Key() const { return key_; }
    CErrorInfo& Record() { return *record_; }

  private:
    // The ext lines of a failure on a value: the key, the name, the root, the path.
    std::string ValueLines(const std::string& name) const;
    bool Fail(const char* point, std::int32_t code, const std::string& name);

    std::unique_ptr<CErrorInfo> own_;
    CErrorInfo* record_;
    HKEY key_ = 0;
    HKEY root_ = 0;
    std::string subkey_;
};

}  // namespace vzrm
