#include "report/progress_line.h"

#include <algorithm>
#include <cstdio>

namespace vzrm {
namespace {

// "0:07", "12:30", "1:02:03".
std::string Duration(std::int64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

// "812 KiB", "640.0 MiB", "3.91 GiB".
std::string Bytes(std::uint64_t bytes) {
    char text[32];
    const double value = static_cast<double>(bytes);
    if (bytes < (1u << 20)) {
        std::snprintf(text, sizeof text, "%llu KiB", static_cast<unsigned long long>(bytes >> 10));
    } else if (bytes < (std::uint64_t{1} << 30)) {
        std::snprintf(text, sizeof text, "%.1f MiB", value / (1 << 20));
    } else {
        std::snprintf(text, sizeof text, "%.2f GiB", value / (1 << 30));
    }
    return text;
}

}  // namespace

CProgressLine::CProgressLine(std::ostream& out, std::string label, Clock clock, std::size_t width)
    : out_(out),
      label_(std::move(label)),
      clock_(std::move(clock)),
      width_(std::max<std::size_t>(width, 2)),
      start_(clock_()) {}

CProgressLine::~CProgressLine() {
    Finish();
}

std::string CProgressLine::Text(std::uint64_t events, std::uint64_t position, std::uint64_t size,
                                std::chrono::steady_clock::duration elapsed) {
    position = std::min(position, size);
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const int percent = size == 0 ? 100 : static_cast<int>(position * 100.0 / size);
    std::string text = std::to_string(events) + (events == 1 ? " event, " : " events, ") +
                       std::to_string(percent) + "% of " + Bytes(size) + ", ";
    // Rates from the first moments (opening, the first chunk) say little.
    const bool settled = seconds >= 1;
    text += settled ? std::to_string(static_cast<std::uint64_t>(events / seconds)) : "-";
    text += "/s, " + Duration(static_cast<std::int64_t>(seconds)) + " elapsed, ";
    if (!settled || position == 0) {
        return text + "-:-- left";
    }
    // The rest of the file at the rate of bytes so far.
    const double left = seconds * static_cast<double>(size - position) / position;
    return text + Duration(static_cast<std::int64_t>(left + 0.5)) + " left";
}

void CProgressLine::Update(std::uint64_t events, std::uint64_t position, std::uint64_t size) {
    const TimePoint now = clock_();
    if (started_ && now - lastDraw_ < kRedrawEvery) {
        return;
    }
    started_ = true;
    lastDraw_ = now;
    std::string line = Text(events, position, size, now - start_);
    if (!label_.empty()) {
        line = label_ + ": " + line;
    }
    line.resize(std::min(line.size(), width_ - 1));
    // Spaces cover what is left of a longer line before.
    const std::size_t length = line.size();
    line.append(shown_ > length ? shown_ - length : 0, ' ');
    out_ << '\r' << line << std::flush;
    shown_ = std::max(shown_, length);
}

void CProgressLine::Finish() {
    if (shown_ == 0) {
        return;
    }
    out_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
    shown_ = 0;
    started_ = false;
}

}  // namespace vzrm
