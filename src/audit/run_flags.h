// The state of a report run, shared by the user-interface thread and its
// worker. The four flags keep their names and are read anywhere; only
// RunState changes them, so a run's steps are written once.
#pragma once

#include <atomic>

namespace vzrm {

extern std::atomic<bool> g_bRunning;
extern std::atomic<bool> g_bQuestionShown;
extern std::atomic<bool> g_bStopRequested;
extern std::atomic<bool> g_bInterruptible;

class RunState {
  public:
    // A run starts: running and interruptible, no stop asked, no question shown.
    static void Begin();
    // Asks a run that can still be interrupted to stop; false when none is
    // going or it can no longer be interrupted.
    static bool RequestStop();
    // A fault stops a run going on whether or not it can be interrupted;
    // false when none was going.
    static bool ForceStop();
    // The run has ended, or never began: every flag down.
    static void End();

    // While the interrupt question is shown, the worker waits at its next check.
    class QuestionShown {
      public:
        QuestionShown() { g_bQuestionShown = true; }
        ~QuestionShown() { g_bQuestionShown = false; }
        QuestionShown(const QuestionShown&) = delete;
        QuestionShown& operator=(const QuestionShown&) = delete;
    };
};

}  // namespace vzrm
