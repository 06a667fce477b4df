// SIGTERM and SIGINT during a run: the first asks for the interruption, the
// second ends the process; outside a run they keep their old effect.
#include "platform/posix/interrupt_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vzrm {
namespace {

// In a child: the exit status tells how far it came (10 + requests seen),
// a signal that it ended at once.
int SignalTwiceInChild(int signal) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(20);
        std::atomic<int> requests{0};
        CInterruptSignals signals([&] { ++requests; });
        raise(signal);
        for (int i = 0; i < 2000 && requests == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (requests != 1) {
            _exit(10 + requests);
        }
        raise(signal);  // the second one ends the process here
        _exit(20);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(InterruptSignals, TheFirstSignalAsksTheSecondEnds) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const int status = SignalTwiceInChild(signal);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signal);
    }
}

TEST(InterruptSignals, TheOldHandlersComeBack) {
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
        CInterruptSignals signals([] {});
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace vzrm
