// SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM and SIGPIPE
// while a run goes on (cron's timeout, systemd stopping the unit, a shutdown,
// Ctrl-C, a dropped SSH connection) ask for the run's interruption, as
// closing the window does, instead of ending the process with a report
// that looks whole.
// The handler only writes a byte to a pipe; a thread of ours reads it and
// makes the request. A second signal ends the process at once.
#pragma once

#include <functional>
#include <thread>

namespace vzrm {

class CInterruptSignals {
  public:
    // `request` runs on the signal thread, once per signal.
    explicit CInterruptSignals(std::function<void()> request);
    // The previous handlers come back; a signal from then on has its old effect.
    ~CInterruptSignals();
    CInterruptSignals(const CInterruptSignals&) = delete;
    CInterruptSignals& operator=(const CInterruptSignals&) = delete;

  private:
    void Listen();

    std::function<void()> request_;
    int pipe_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace vzrm
