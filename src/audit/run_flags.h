// The flags a report run shares between the user-interface thread and its worker.
#pragma once

#include <atomic>

namespace vzrm {

extern std::atomic<bool> g_bRunning;
extern std::atomic<bool> g_bQuestionShown;
extern std::atomic<bool> g_bStopRequested;
extern std::atomic<bool> g_bInterruptible;

}  // namespace vzrm
