// Functions of optional libraries, bound at run time (dlopen and dlsym), in
// groups that share one library load.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

struct CallFailureRecord {
    int kind = 0;  // 1 system error code, 2 multimedia error code
    std::int32_t code = 0;
    std::string text;    // at most 256 characters
    std::string call;    // the failed call, at most 64
    std::string detail;  // at most 256
};

// Fills the record's text from its kind and code.
void DescribeCallFailure(CallFailureRecord& record);

class CDynamicBinding {
  public:
    enum Flags : std::uint32_t { kGroupHead = 1, kGroupTail = 4 };

    // Entries declared one after another, the first with kGroupHead and the
    // last with kGroupTail, form a group that resolves together.
    CDynamicBinding(const char* function, const char* library, std::uint32_t flags);
    ~CDynamicBinding();
    CDynamicBinding(const CDynamicBinding&) = delete;
    CDynamicBinding& operator=(const CDynamicBinding&) = delete;

    // Loads the library (`library` or the entry's own) and resolves every
    // function of the group; a failure is described in `failure`.
    bool Resolve(CallFailureRecord* failure = nullptr, const char* library = nullptr);
    void* Address() const { return address_; }
    bool Failed() const { return failed_; }

  private:
    CDynamicBinding* Head();

    std::string function_;
    std::string library_;
    void* address_ = nullptr;
    void* module_ = nullptr;  // the group's, kept by its head
    std::uint32_t flags_;
    bool failed_ = false;
    CDynamicBinding* previous_ = nullptr;  // the program-wide list, newest first
    CDynamicBinding* next_ = nullptr;
};

}  // namespace vzrm
