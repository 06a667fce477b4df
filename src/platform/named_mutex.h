// Named mutexes between processes: machine-wide for "Global\" names, per
// user otherwise. The death of a holder frees the mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vzrm {
class CErrorInfo;
}

namespace vzrm::platform {

class INamedMutex {
  public:
    virtual ~INamedMutex() = default;
    // Waits up to `timeoutMs` for the mutex: 0 when owned, 1460 on time-out,
    // another code when the wait failed.
    [[nodiscard]] virtual std::int32_t Wait(std::uint32_t timeoutMs) = 0;
    virtual void Release() = 0;
    // Who holds the mutex, for messages ("process 1234 (account nobody)",
    // several joined by ", "); empty when that cannot be told.
    virtual std::string Holders() const { return {}; }
};

// 0 and the mutex, or a Windows error code; a failure is recorded in
// `record` (the process-wide record when null) with a text naming the path.
std::int32_t OpenNamedMutex(const std::string& name, std::unique_ptr<INamedMutex>& mutex,
                            CErrorInfo* record = nullptr);

// The folder of the machine-wide locks when $VZRM_LOCK_DIR is not set. The
// install step creates it, owned by root and writable only by root.
inline constexpr char kMachineLockFolder[] = "/var/lib/vzrmaud/locks";

}  // namespace vzrm::platform
