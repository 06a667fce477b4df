// The progress line on a stream and a clock the test holds.
#include "report/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vzrm {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::uint64_t kMiB = 1 << 20;

class ProgressLine : public ::testing::Test {
  protected:
    CProgressLine::Clock Clock() {
        return [this] { return now; };
    }
    // What was written since the last call.
    std::string Drawn() {
        std::string text = out.str();
        out.str("");
        return text;
    }

    std::ostringstream out;
    CProgressLine::TimePoint now{seconds(1000)};
};

TEST_F(ProgressLine, FiguresOfTheLine) {
    // Half of 640 MiB in 4 s: as long again to go.
    EXPECT_EQ(CProgressLine::Text(200000, 320 * kMiB, 640 * kMiB, seconds(4)),
              "200000 events, 50% of 640.0 MiB, 50000/s, 0:04 elapsed, 0:04 left");
    EXPECT_EQ(CProgressLine::Text(10, 300 << 10, 1200 << 10, milliseconds(1500)),
              "10 events, 25% of 1.2 MiB, 6/s, 0:01 elapsed, 0:05 left");
    EXPECT_EQ(CProgressLine::Text(7, 3 * 1024, 800 * 1024, seconds(3723)),
              "7 events, 0% of 800 KiB, 0/s, 1:02:03 elapsed, 274:44:37 left");
    EXPECT_EQ(CProgressLine::Text(1, 1, 5ull << 30, seconds(1)),
              "1 event, 0% of 5.00 GiB, 1/s, 0:01 elapsed, 1491308:05:19 left");
    // Nothing read, or too soon for a rate to mean anything.
    EXPECT_EQ(CProgressLine::Text(0, 0, 4096, seconds(2)),
              "0 events, 0% of 4 KiB, 0/s, 0:02 elapsed, -:-- left");
    EXPECT_EQ(CProgressLine::Text(5, 10, 20, milliseconds(999)),
              "5 events, 50% of 0 KiB, -/s, 0:00 elapsed, -:-- left");
    // A position past the end (a file that grew) and an empty file are the end.
    EXPECT_EQ(CProgressLine::Text(5, 30, 20, seconds(1)),
              "5 events, 100% of 0 KiB, 5/s, 0:01 elapsed, 0:00 left");
    EXPECT_EQ(CProgressLine::Text(0, 0, 0, seconds(1)).substr(0, 16), "0 events, 100% o");
    // Large figures still fit a line of 80 with the label.
    const std::string large =
        CProgressLine::Text(99999999, (4ull << 30) - 1, 4ull << 30, seconds(5999));
    EXPECT_EQ(large, "99999999 events, 99% of 4.00 GiB, 16669/s, 1:39:59 elapsed, 0:00 left");
    EXPECT_LE(std::string("vzrmlog: ").size() + large.size(), 79u);
}

TEST_F(ProgressLine, DrawsAtOnceThenAFewTimesASecondInPlace) {
    CProgressLine line(out, "vzrmlog", Clock());
    EXPECT_EQ(Drawn(), "") << "nothing before the first figures";
    now += seconds(2);
    line.Update(100, 2 * kMiB, 4 * kMiB);
    const std::string first = Drawn();
    EXPECT_EQ(first, "\rvzrmlog: 100 events, 50% of 4.0 MiB, 50/s, 0:02 elapsed, 0:02 left");
    now += CProgressLine::kRedrawEvery - milliseconds(1);
    line.Update(150, 3 * kMiB, 4 * kMiB);
    EXPECT_EQ(Drawn(), "") << "too soon";
    now += milliseconds(1);
    line.Update(150, 3 * kMiB, 4 * kMiB);
    const std::string second = Drawn();
    EXPECT_EQ(second.substr(0, 34), "\rvzrmlog: 150 events, 75% of 4.0 M");
    EXPECT_EQ(second.find('\n'), std::string::npos) << "one line, redrawn from its start";
}

TEST_F(ProgressLine, AShorterLineCoversTheLongerOneAndTheEndWipesIt) {
    CProgressLine line(out, "", Clock());
    now += seconds(1);
    line.Update(123456789, 5, 10);
    const std::size_t longest = Drawn().size() - 1;
    now += seconds(1);
    line.Update(1, 6, 10);
    const std::string shorter = Drawn();
    EXPECT_EQ(shorter.size() - 1, longest) << "padded with spaces";
    EXPECT_EQ(shorter.back(), ' ');
    line.Finish();
    EXPECT_EQ(Drawn(), "\r" + std::string(longest, ' ') + "\r");
    line.Finish();
    EXPECT_EQ(Drawn(), "") << "wiped once";
    // After the end the next figures draw at once again.
    line.Update(2, 7, 10);
    EXPECT_FALSE(Drawn().empty());
}

TEST_F(ProgressLine, NeverWiderThanTheTerminalAndWipedWhenDestroyed) {
    {
        CProgressLine line(out, "vzrmaud", Clock(), 20);
        line.Update(1, 1, 2);
        EXPECT_EQ(Drawn(), "\rvzrmaud: 1 event, 5");
    }
    EXPECT_EQ(Drawn(), "\r" + std::string(19, ' ') + "\r");
    { CProgressLine line(out, "vzrmaud", Clock()); }
    EXPECT_EQ(Drawn(), "") << "a line never drawn leaves nothing";
}

}  // namespace
}  // namespace vzrm
