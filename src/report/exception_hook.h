// The exception hook of the program and of its window procedure, written once
// for the window, the unattended host and the start-up.
#pragma once

namespace vzrm {

class C_Exception;
class IRunHost;

// The exception becomes the error record (point RJECRZEKBFFBHWJ) and is deleted.
void RecordHookedException(C_Exception* exception);

// Around a run's message: records the exception, has the host show the
// record, and stops a run going on. True when a run was going: its end is a
// failure, whatever the worker saw.
bool HookRunException(C_Exception* exception, IRunHost& host);

}  // namespace vzrm
