#include "report/exception_hook.h"

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/exceptions.h"
#include "report/run_host.h"

namespace vzrm {

void RecordHookedException(C_Exception* exception) {
    g_errorInfo.SetError("RJECRZEKBFFBHWJ", exception->GetCode(), exception->GetMessage(),
                         exception->GetDetails());
    exception->Delete();
}

bool HookRunException(C_Exception* exception, IRunHost& host) {
    RecordHookedException(exception);
    host.ShowErrorInfo();
    return RunState::ForceStop();
}

}  // namespace vzrm
