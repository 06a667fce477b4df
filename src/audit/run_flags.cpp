#include "audit/run_flags.h"

namespace vzrm {

std::atomic<bool> g_bRunning{false};
std::atomic<bool> g_bQuestionShown{false};
std::atomic<bool> g_bStopRequested{false};
std::atomic<bool> g_bInterruptible{false};

}  // namespace vzrm
