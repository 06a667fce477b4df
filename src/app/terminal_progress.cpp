#include "app/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

namespace vzrm {

std::unique_ptr<CProgressLine> TerminalProgress(const std::string& label) {
    if (isatty(STDERR_FILENO) == 0) {
        return nullptr;
    }
    winsize size{};
    const bool known = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    return std::make_unique<CProgressLine>(std::cerr, label, std::chrono::steady_clock::now,
                                           known ? size.ws_col : 80);
}

}  // namespace vzrm
