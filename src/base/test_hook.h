// Hidden hooks by which the tests of the built program provoke what cannot be
// provoked from outside: a fault on the user-interface thread, a worker
// thread that cannot start, a run held until it is interrupted. Only test
// builds (VZRM_TEST_HOOKS) read $VZRM_TEST_HOOK; in a release build no hook
// is ever on.
#pragma once

#include <string_view>

namespace vzrm {

bool TestHook(std::string_view name);

}  // namespace vzrm
