#include "platform/posix/crash/dynamic_binding.h"

#include <dlfcn.h>

#include <mutex>

#include "base/error_texts.h"
#include "base/format_text.h"
#include "platform/error_codes.h"

namespace vzrm {
namespace {

constexpr std::int32_t kErrorModNotFound = 126;
constexpr std::int32_t kErrorProcNotFound = 127;

std::recursive_mutex& ListLock() {
    static std::recursive_mutex lock;
    return lock;
}

CDynamicBinding*& Newest() {
    static CDynamicBinding* newest = nullptr;
    return newest;
}

void Fail(CallFailureRecord* failure, std::int32_t code, const char* call,
          const std::string& detail) {
    if (failure == nullptr) {
        return;
    }
    failure->kind = 1;
    failure->code = code;
    failure->call = std::string(call).substr(0, 64);
    failure->detail = detail.substr(0, 256);
    DescribeCallFailure(*failure);
}

}  // namespace

void DescribeCallFailure(CallFailureRecord& record) {
    if (record.kind == 1) {
        std::string text;
        switch (record.code) {
            case kErrorModNotFound:
                text = "The specified module could not be found.";
                break;
            case kErrorProcNotFound:
                text = "The specified procedure could not be found.";
                break;
            default:
                text = SystemErrorText(record.code);
                break;
        }
        if (text.empty() || text == "Unknown error.") {
            text = FormatText("Err.0x%08X", record.code);
        }
        record.text = text.substr(0, 256);
        return;
    }
    switch (record.code) {
        case 512:
            record.text = "ACMERR_NOTPOSSIBLE";
            break;
        case 513:
            record.text = "ACMERR_BUSY";
            break;
        case 514:
            record.text = "ACMERR_UNPREPARED";
            break;
        case 515:
            record.text = "ACMERR_CANCELED";
            break;
        case 165:
            record.text = "JOYERR_PARMS";
            break;
        case 166:
            record.text = "JOYERR_NOCANDO";
            break;
        case 167:
            record.text = "JOYERR_UNPLUGGED";
            break;
        default:
            record.text = FormatText("MmErr.0x%08X", record.code);
            break;
    }
}

CDynamicBinding::CDynamicBinding(const char* function, const char* library, std::uint32_t flags)
    : function_(function ? function : ""), library_(library ? library : ""), flags_(flags) {
    const std::lock_guard guard(ListLock());
    previous_ = Newest();
    if (previous_ != nullptr) {
        previous_->next_ = this;
    }
    Newest() = this;
}

CDynamicBinding::~CDynamicBinding() {
    const std::lock_guard guard(ListLock());
    if ((flags_ & kGroupHead) && module_ != nullptr) {
        dlclose(module_);
    }
    if (next_ != nullptr) {
        next_->previous_ = previous_;
    } else {
        Newest() = previous_;
    }
    if (previous_ != nullptr) {
        previous_->next_ = next_;
    }
}

CDynamicBinding* CDynamicBinding::Head() {
    CDynamicBinding* entry = this;
    while (!(entry->flags_ & kGroupHead) && entry->previous_ != nullptr) {
        entry = entry->previous_;
    }
    return entry;
}

bool CDynamicBinding::Resolve(CallFailureRecord* failure, const char* library) {
    if (failure != nullptr) {
        *failure = {};
    }
    const std::lock_guard guard(ListLock());
    if (address_ != nullptr) {
        return true;
    }
    CDynamicBinding* head = Head();
    const std::string name = library ? library : head->library_;
    void* module = head->module_ ? head->module_ : dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        Fail(failure, kErrorModNotFound, "LoadLibrary", name);
        failed_ = true;
        return false;
    }
    head->module_ = module;
    bool ok = true;
    for (CDynamicBinding* entry = head; entry != nullptr; entry = entry->next_) {
        entry->address_ = dlsym(module, entry->function_.c_str());
        if (entry->address_ == nullptr) {
            Fail(failure, kErrorProcNotFound, "GetProcAddress", name + ", " + entry->function_);
            ok = false;
            break;
        }
        if (entry->flags_ & kGroupTail) {
            break;
        }
    }
    for (CDynamicBinding* entry = head; entry != nullptr; entry = entry->next_) {
        if (!ok) {
            entry->address_ = nullptr;
        }
        entry->failed_ = !ok;
        if (entry->flags_ & kGroupTail) {
            break;
        }
    }
    if (!ok) {
        dlclose(module);
        head->module_ = nullptr;
    }
    return ok;
}

}  // namespace vzrm
