// Processor faults on the main thread (a bad address, a division by zero, a
// stack overflow) become the program's exception, a C_Exception with the
// matching Windows code, the short message and the crash report, thrown from
// the point that CCrashTranslator::Run set up. Other threads keep the
// system's default handling (the process ends). The Linux implementation,
// with signal handlers, lives in platform/posix/crash/.
#pragma once

#include <functional>

namespace vzrm {

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
