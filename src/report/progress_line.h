// One line of progress for a long read of a log: events read, how far into
// the file, rate, elapsed and remaining time, redrawn in place a few times a
// second and wiped at the end. It draws to the stream it is given and reads
// the clock it is given; whether a terminal is there is decided by its owner.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace vzrm {

class CProgressLine {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    static constexpr std::chrono::milliseconds kRedrawEvery{250};

    // `label` opens the line ("vzrmlog"); `width` is the terminal's, the line
    // is cut to one less so that it never wraps.
    CProgressLine(std::ostream& out, std::string label,
                  Clock clock = std::chrono::steady_clock::now, std::size_t width = 80);
    ~CProgressLine();
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    // `events` read so far; the read is at byte `position` of a file of
    // `size` bytes. The first call draws, later ones when the last drawing is
    // at least kRedrawEvery old.
    void Update(std::uint64_t events, std::uint64_t position, std::uint64_t size);
    // Wipes the line (if one is shown) and leaves the cursor at its start.
    void Finish();

    // The text of the line for these figures after `elapsed`.
    static std::string Text(std::uint64_t events, std::uint64_t position, std::uint64_t size,
                            std::chrono::steady_clock::duration elapsed);

  private:
    std::ostream& out_;
    std::string label_;
    Clock clock_;
    std::size_t width_;
    TimePoint start_;
    TimePoint lastDraw_;
    bool started_ = false;
    std::size_t shown_ = 0;  // length of the line on screen; 0 when none
};

}  // namespace vzrm
