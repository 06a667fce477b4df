#include "base/test_hook.h"

#include <cstdlib>

namespace vzrm {

bool TestHook([[maybe_unused]] std::string_view name) {
#ifdef VZRM_TEST_HOOKS
    const char* hook = std::getenv("VZRM_TEST_HOOK");
    return hook != nullptr && name == hook;
#else
    return false;
#endif
}

}  // namespace vzrm
