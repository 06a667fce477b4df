// Signals SIGSEGV, SIGBUS, SIGFPE, SIGILL, and a stack overflow caught on an
// alternate signal stack.
//
// A signal handler may do very little safely. Ours only copies plain data into
// a static FAULT_RECORD (the registers from the signal context, the fault
// address, and the faulting stack through a system call that cannot fault),
// then jumps (siglongjmp) back to the point that CCrashTranslator::Run set up.
// Everything else, formatting the report, listing the modules, allocating and
// throwing the exception, happens there, after the handler has left the
// signal context. Frames between the fault and Run are abandoned without
// their destructors: after a processor fault nothing in them can be trusted.
#include "platform/crash_translator.h"

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdlib>

#include "base/exceptions.h"
#include "platform/posix/crash/crash_report.h"
#include "platform/posix/crash/modules.h"

namespace vzrm {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr std::size_t kAltStackSize = 64 * 1024;

FAULT_RECORD g_fault;
sigjmp_buf* g_guard = nullptr;  // the innermost Run, when one is active
pthread_t g_mainThread;
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];
stack_t g_previousAltStack;
void* g_altStack = nullptr;

std::uint32_t CodeOf(int signal, const siginfo_t* info, std::uintptr_t sp) {
    switch (signal) {
        case SIGSEGV: {
            // A fault just below the stack pointer is the stack running out.
            const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
            const bool nearStack = address < sp + 4096 && address + 65536 > sp;
            return nearStack && info->si_code == SEGV_MAPERR ? 0xC00000FD : 0xC0000005;
        }
        case SIGBUS:
            return info->si_code == BUS_ADRALN ? 0x80000002 : 0xC0000006;
        case SIGFPE:
            switch (info->si_code) {
                case FPE_INTDIV:
                    return 0xC0000094;
                case FPE_INTOVF:
                    return 0xC0000095;
                case FPE_FLTDIV:
                    return 0xC000008E;
                case FPE_FLTOVF:
                    return 0xC0000091;
                case FPE_FLTUND:
                    return 0xC0000093;
                case FPE_FLTRES:
                    return 0xC000008F;
                case FPE_FLTSUB:
                    return 0xC000008C;
                default:
                    return 0xC0000090;
            }
        case SIGILL:
            return info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG ? 0xC0000096
                                                                              : 0xC000001D;
        default:
            return 0;
    }
}

// Async-signal-safe: plain stores and one system call.
void Handler(int signal, siginfo_t* info, void* context) {
    if (g_guard == nullptr || !pthread_equal(pthread_self(), g_mainThread)) {
        // Not ours to handle: the default action, which ends the process.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigaction(signal, &fallback, nullptr);
        raise(signal);
        return;
    }
    const auto* uc = static_cast<const ucontext_t*>(context);
    FAULT_RECORD& f = g_fault;
    f.parameterCount = 0;
    f.hasControl = f.hasInteger = false;
    f.stackSize = 0;
#if defined(__x86_64__)
    const greg_t* r = uc->uc_mcontext.gregs;
    f.sp = static_cast<std::uintptr_t>(r[REG_RSP]);
    f.bp = static_cast<std::uintptr_t>(r[REG_RBP]);
    f.ip = static_cast<std::uintptr_t>(r[REG_RIP]);
    f.flags = static_cast<std::uintptr_t>(r[REG_EFL]);
    f.ax = static_cast<std::uintptr_t>(r[REG_RAX]);
    f.bx = static_cast<std::uintptr_t>(r[REG_RBX]);
    f.cx = static_cast<std::uintptr_t>(r[REG_RCX]);
    f.dx = static_cast<std::uintptr_t>(r[REG_RDX]);
    f.si = static_cast<std::uintptr_t>(r[REG_RSI]);
    f.di = static_cast<std::uintptr_t>(r[REG_RDI]);
    const int high[8] = {REG_R8, REG_R9, REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    for (int i = 0; i < 8; ++i) {
        f.r[i] = static_cast<std::uintptr_t>(r[high[i]]);
    }
    f.hasControl = f.hasInteger = true;
    f.address = f.ip;
    if (signal == SIGSEGV) {
        f.parameterCount = 2;
        f.parameters[0] = (r[REG_ERR] & 2) != 0 ? 1 : 0;  // the page-fault error code's write bit
        f.parameters[1] = reinterpret_cast<std::uintptr_t>(info->si_addr);
    }
#else
    (void)uc;
    f.address = reinterpret_cast<std::uintptr_t>(info->si_addr);
#endif
    f.code = CodeOf(signal, info, f.sp);
    if (f.sp != 0) {
        // The stack as it was: the frames below Run are reused once we jump back.
        iovec local{f.stack, sizeof f.stack};
        iovec remote{reinterpret_cast<void*>(f.sp), sizeof f.stack};
        for (std::size_t size = sizeof f.stack; size >= 4096; size /= 2) {
            local.iov_len = remote.iov_len = size;
            const long got = syscall(SYS_process_vm_readv, getpid(), &local, 1, &remote, 1, 0);
            if (got > 0) {
                f.stackSize = static_cast<std::size_t>(got);
                break;
            }
        }
    }
    siglongjmp(*g_guard, 1);
}

}  // namespace

C_Exception* TranslateStructuredException(std::uint32_t code, const FAULT_RECORD& record) {
    CExceptionExtInfo collector;
    const std::string message = DescribeUnexpectedException(1, code, &record, &collector);
    return new C_Exception(static_cast<std::int32_t>(code), message,
                           collector.GetText() + "\r\n" + DescribeLoadedModules());
}

CCrashTranslator::CCrashTranslator() {
    g_mainThread = pthread_self();
    g_altStack = std::malloc(kAltStackSize);
    stack_t alternate{};
    alternate.ss_sp = g_altStack;
    alternate.ss_size = kAltStackSize;
    sigaltstack(&alternate, &g_previousAltStack);
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction action {};
        action.sa_sigaction = Handler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

CCrashTranslator::~CCrashTranslator() {
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    sigaltstack(&g_previousAltStack, nullptr);
    std::free(g_altStack);
    g_altStack = nullptr;
}

void CCrashTranslator::Run(const std::function<void()>& body) {
    sigjmp_buf guard;
    sigjmp_buf* const outer = g_guard;
    if (sigsetjmp(guard, 1) == 0) {
        g_guard = &guard;
        try {
            body();
        } catch (...) {
            g_guard = outer;  // this frame is gone: a later fault must not jump into it
            throw;
        }
        g_guard = outer;
        return;
    }
    g_guard = outer;
    throw TranslateStructuredException(g_fault.code, g_fault);
}

}  // namespace vzrm
