#include "audit/run_flags.h"

namespace vzrm {

std::atomic<bool> g_bRunning{false};
std::atomic<bool> g_bQuestionShown{false};
std::atomic<bool> g_bStopRequested{false};
std::atomic<bool> g_bInterruptible{false};

void RunState::Begin() {
    g_bStopRequested = false;
    g_bQuestionShown = false;
    g_bInterruptible = true;
    g_bRunning = true;
}

bool RunState::RequestStop() {
    if (!g_bRunning || !g_bInterruptible) {
        return false;
    }
    g_bStopRequested = true;
    g_bInterruptible = false;
    return true;
}

bool RunState::ForceStop() {
    if (!g_bRunning) {
        return false;
    }
    g_bStopRequested = true;
    g_bInterruptible = false;
    return true;
}

void RunState::End() {
    g_bRunning = false;
    g_bStopRequested = false;
    g_bQuestionShown = false;
    g_bInterruptible = false;
}

}  // namespace vzrm
