#include "app/terminal_progress.h"

#include <iostream>

#include "platform/posix/standard_streams.h"

namespace vzrm {

std::unique_ptr<CProgressLine> TerminalProgress(const std::string& label) {
    int columns = 0;
    if (!platform::posix::IsTerminal(platform::posix::Stream::error, &columns)) {
        return nullptr;
    }
    return std::make_unique<CProgressLine>(std::cerr, label, std::chrono::steady_clock::now,
                                           columns > 0 ? columns : 80);
}

}  // namespace vzrm
