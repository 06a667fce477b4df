#include "settings/reg_key_handle.h"

#include "base/error_texts.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm {

using namespace platform;

CRegKeyHandle::CRegKeyHandle(CErrorInfo* record)
    : own_(record ? nullptr : std::make_unique<CErrorInfo>()),
      record_(record ? record : own_.get()) {}

CRegKeyHandle::~CRegKeyHandle() {
    Close();
}

void CRegKeyHandle::Close() {
    if (key_ != 0) {
        Registry().CloseKey(key_);
    }
    key_ = 0;
    root_ = 0;
    subkey_.clear();
}

std::string CRegKeyHandle::ValueLines(const std::string& name) const {
    return RootKeyLine(key_) + StrgLine(name) + RootKeyLine(root_) + StrgLine(subkey_);
}

bool CRegKeyHandle::Fail(const char* point, std::int32_t code, const std::string& name) {
    record_->SetError(point, code);
    record_->AddErrTextExt(ValueLines(name));
    return false;
}

int CRegKeyHandle::KeyExists(HKEY root, const std::string& subkey, CErrorInfo* record) {
    HKEY key = 0;
    const std::int32_t error = Registry().OpenKey(root, subkey, KEY_QUERY_VALUE, key);
    if (error == kErrorSuccess) {
        Registry().CloseKey(key);
        return 1;
    }
    if (error == kErrorFileNotFound) {
        return 0;
    }
    CErrorInfo& into = record ? *record : g_errorInfo;
    into.SetError("DPWCJR6C73RC4NR", error);
    into.AddErrTextExt(RootKeyLine(root) + StrgLine(subkey));
    return -1;
}

bool CRegKeyHandle::Open(HKEY root, const std::string& subkey, std::uint32_t access) {
    Close();
    HKEY key = 0;
    const bool create = (access & KEY_CREATE_SUB_KEY) != 0;
    const std::int32_t error = create ? Registry().CreateKey(root, subkey, access, key)
                                      : Registry().OpenKey(root, subkey, access, key);
    if (error != kErrorSuccess) {
        record_->SetError(create ? "3N66F2F8FILRKWX" : "WIAJNXUV4Y8A5X3", error);
        record_->AddErrTextExt(RootKeyLine(root) + StrgLine(subkey) +
                               HexDumpText(&access, sizeof access));
        return false;
    }
    key_ = key;
    root_ = root;
    subkey_ = subkey;
    return true;
}

int CRegKeyHandle::OpenIfExists(HKEY root, const std::string& subkey, std::uint32_t access) {
    const int exists = KeyExists(root, subkey, record_);
    if (exists == 1 && Open(root, subkey, access)) {
        return 1;
    }
    if (exists == 0) {
        return 0;
    }
    record_->AddErrPoint("GNP3C9SU58NJK2S");
    return -1;
}

std::int64_t CRegKeyHandle::QueryValue(const std::string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t size) {
    if (key_ == 0) {
        Fail("MHD2JXGHU5YVCU2", kErrorInvalidParameter, name);
        return -1;
    }
    const std::int32_t error = Registry().QueryValue(key_, name, type, data, size);
    if (error != kErrorSuccess) {
        Fail("Y2PM9SSIEZWMKW4", error, name);
        return -1;
    }
    return size;
}

bool CRegKeyHandle::ReadString(const std::string& name, std::string& out) {
    if (key_ == 0) {
        return Fail("V7AHU7G9GS95AUL", kErrorInvalidParameter, name);
    }
    std::uint32_t type = 0;
    const std::int64_t size = QueryValue(name, &type, nullptr, 0);
    if (size < 0) {
        record_->AddErrPoint("LPEW7E4EVSNJSY8");
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return Fail("KAK84M4WH4LL9XP", kErrorInvalidData, name);
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && QueryValue(name, nullptr, reinterpret_cast<std::uint8_t*>(text.data()),
                               static_cast<std::uint32_t>(size)) < 0) {
        record_->AddErrPoint("F96XMTY4I9EI35B");
        return false;
    }
    out = text.substr(0, text.find('\0'));
    return true;
}

bool CRegKeyHandle::ReadDword(const std::string& name, std::uint32_t& out) {
    if (key_ == 0) {
        return Fail("KVK7RJ6PH8F4L2E", kErrorInvalidParameter, name);
    }
    std::uint32_t type = 0;
    const std::int64_t size = QueryValue(name, &type, nullptr, 0);
    if (size < 0) {
        record_->AddErrPoint("PMEYDD3GCTK9VUY");
        return false;
    }
    if (type != REG_DWORD || size != 4) {
        return Fail("57FVN85JBB5R85Y", kErrorInvalidData, name);
    }
    std::uint8_t bytes[4];
    if (QueryValue(name, nullptr, bytes, sizeof bytes) < 0) {
        record_->AddErrPoint("4DNP6TINSE7DPH5");
        return false;
    }
    out = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

std::int64_t CRegKeyHandle::ReadBinary(const std::string& name, std::uint8_t* buffer,
                                       std::uint32_t size) {
    if (key_ == 0) {
        Fail("4CT83VXSH5DU95L", kErrorInvalidParameter, name);
        return -1;
    }
    std::uint32_t type = 0;
    const std::int64_t stored = QueryValue(name, &type, nullptr, 0);
    if (stored < 0) {
        record_->AddErrPoint("7U39MVEWRKIS66B");
        return -1;
    }
    if (type != REG_BINARY) {
        Fail("9URFNH28VP5EKHS", kErrorInvalidData, name);
        return -1;
    }
    if (buffer == nullptr) {
        return stored;
    }
    const std::int64_t read = QueryValue(name, nullptr, buffer, size);
    if (read < 0) {
        record_->AddErrPoint("ZTMVLM6BHACJAGE");
        return -1;
    }
    return read;
}

bool CRegKeyHandle::WriteDword(const std::string& name, std::uint32_t value) {
    if (key_ == 0) {
        return Fail("ZR6NC5Z54KDJVVK", kErrorInvalidParameter, name);
    }
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    const std::int32_t error = Registry().SetValue(key_, name, REG_DWORD, bytes, sizeof bytes);
    return error == kErrorSuccess || Fail("I7FJYNBR2YAF395", error, name);
}

int CRegKeyHandle::ValueExists(const std::string& name) {
    if (key_ == 0) {
        Fail("XDY3NKVJGFYFDXK", kErrorInvalidParameter, name);
        return -1;
    }
    std::uint32_t size = 0;
    const std::int32_t error = Registry().QueryValue(key_, name, nullptr, nullptr, size);
    if (error == kErrorSuccess) {
        return 1;
    }
    if (error == kErrorFileNotFound) {
        return 0;
    }
    Fail("JNHXNVGNDN8NEDL", error, name);
    return -1;
}

int CRegKeyHandle::ReadStringIfExists(const std::string& name, std::string& out) {
    const int exists = ValueExists(name);
    if (exists == 1 && ReadString(name, out)) {
        return 1;
    }
    if (exists == 0) {
        return 0;
    }
    record_->AddErrPoint("9VTZST6EC2V8ZSM");
    return -1;
}

int CRegKeyHandle::ReadDwordIfExists(const std::string& name, std::uint32_t& out) {
    const int exists = ValueExists(name);
    if (exists == 1 && ReadDword(name, out)) {
        return 1;
    }
    if (exists == 0) {
        return 0;
    }
    record_->AddErrPoint("FLCVUUJM3BNVY26");
    return -1;
}

}  // namespace vzrm
