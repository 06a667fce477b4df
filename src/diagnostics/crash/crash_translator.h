// Processor faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, and a stack overflow
// caught on an alternate signal stack) on the main thread become the
// program's exception, a C_Exception with the matching Windows code, the short
// message and the crash report.
//
// A signal handler may do very little safely. Ours only copies plain data into
// a static FAULT_RECORD (the registers from the signal context, the fault
// address, and the faulting stack through a system call that cannot fault),
// then jumps (siglongjmp) back to the point that CCrashTranslator::Run set up.
// Everything else, formatting the report, listing the modules, allocating and
// throwing the exception, happens there, after the handler has left the
// signal context. Frames between the fault and Run are abandoned without
// their destructors: after a processor fault nothing in them can be trusted.
// Other threads keep the default handling (the process ends).
#pragma once

#include <csetjmp>
#include <cstdint>
#include <functional>

#include "diagnostics/crash/crash_report.h"

namespace vzrm {

class C_Exception;

// The C_Exception for a fault: code, short message, the report and the modules.
C_Exception* TranslateStructuredException(std::uint32_t code, const FAULT_RECORD& record);

class CCrashTranslator {
  public:
    // Installs the handlers for the calling (main) thread; the application
    // object holds one for its lifetime. The previous handlers come back
    // when it is destroyed.
    CCrashTranslator();
    ~CCrashTranslator();
    CCrashTranslator(const CCrashTranslator&) = delete;
    CCrashTranslator& operator=(const CCrashTranslator&) = delete;

    // Runs `body`; a fault inside it is thrown as C_Exception* from here.
    static void Run(const std::function<void()>& body);
};

}  // namespace vzrm
