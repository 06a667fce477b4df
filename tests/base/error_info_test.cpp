#include "base/error_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "base/exceptions.h"
#include "support/fake_services.h"

namespace vzrm {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class ErrorInfo : public ::testing::Test {
  protected:
    test::FakeClock clock;
    test::FakeTimeZone zone{60};
    test::FakeLocale locale;
    test::ScopedServices services{{.clock = &clock, .timeZone = &zone, .locale = &locale}};
    CErrorInfo info;
};

TEST_F(ErrorInfo, FreshRecordCollectsNoPointsBeforeTheFirstSetError) {
    info.AddErrPoint("AAAAAAAAAAAAAAA");
    EXPECT_FALSE(info.HasError());
    EXPECT_EQ(info.GetPoints(), "");
}

TEST_F(ErrorInfo, CallersPointsGoInFrontOfTheDetectingPoint) {
    info.SetError("PPPPPPPPPPPPPP1", 5);
    EXPECT_EQ(info.GetText(), "Access is denied.");
    info.AddErrPoint("PPPPPPPPPPPPPP2");
    info.AddErrPoint("PPPPPPPPPPPPPP3");
    info.AddErrPoint("");
    info.AddErrPoint(static_cast<const char*>(nullptr));
    EXPECT_EQ(info.GetPoints(), "PPPPPPPPPPPPPP3:PPPPPPPPPPPPPP2:PPPPPPPPPPPPPP1");
    EXPECT_EQ(info.GetCode(), 5);
}

TEST_F(ErrorInfo, TheLastSetErrorWins) {
    info.SetError("PPPPPPPPPPPPPP1", 5, "first", "ext1\r\n", 0x30, "cap");
    info.AddErrPoint("PPPPPPPPPPPPPP2");
    clock.SetInstant(1773479200);
    info.SetError("QQQQQQQQQQQQQQ1", 13, "second");
    EXPECT_EQ(info.GetPoints(), "QQQQQQQQQQQQQQ1");
    EXPECT_EQ(info.GetCode(), 13);
    EXPECT_EQ(info.GetText(), "second");
    EXPECT_EQ(info.GetExt(), "");
    EXPECT_EQ(info.GetStyle(), 0u);
    EXPECT_EQ(info.GetCaption(), "");
    EXPECT_EQ(info.GetTime(), platform::FileTimeFromInstant(1773479200));
}

TEST_F(ErrorInfo, EmptyPointRecordsNothingVisible) {
    info.SetError("", 5);
    EXPECT_FALSE(info.HasError());
    EXPECT_EQ(info.Render(), "");
}

TEST_F(ErrorInfo, ZeroCodeKeepsAnEmptyText) {
    info.SetError("PPPPPPPPPPPPPP1", 0);
    EXPECT_EQ(info.GetText(), "");
}

TEST_F(ErrorInfo, SuspendKeepsThePendingErrorAndResumesOneLevel) {
    info.SetError("PPPPPPPPPPPPPP1", 5, "kept");
    info.Suspend(true);
    info.SetError("QQQQQQQQQQQQQQ1", 13, "lost");
    info.AddErrPoint("QQQQQQQQQQQQQQ2");
    EXPECT_EQ(info.GetPoints(), "PPPPPPPPPPPPPP1");
    EXPECT_EQ(info.GetText(), "kept");

    // Nested: the inner Suspend saved "true", so one Resume leaves it suspended
    // and the saved copy is then lost: a second Resume cannot reach "false".
    info.Suspend(true);
    info.Resume();
    info.SetError("RRRRRRRRRRRRRR1", 2);
    EXPECT_EQ(info.GetPoints(), "PPPPPPPPPPPPPP1");
    info.Resume();
    info.SetError("RRRRRRRRRRRRRR1", 2);
    EXPECT_EQ(info.GetPoints(), "PPPPPPPPPPPPPP1");

    info.Suspend(false);
    info.SetError("SSSSSSSSSSSSSS1", 2);
    EXPECT_EQ(info.GetPoints(), "SSSSSSSSSSSSSS1");
}

TEST_F(ErrorInfo, ClearThenAddErrPointStartsANewChain) {
    info.SetError("PPPPPPPPPPPPPP1", 5, "text", "ext\r\n", 0x30, "caption");
    info.Clear();
    EXPECT_FALSE(info.HasError());
    EXPECT_EQ(info.GetTime(), 0);
    info.AddErrPoint("XXXXXXXXXXXXXXX");
    EXPECT_EQ(info.GetPoints(), "XXXXXXXXXXXXXXX:");
    EXPECT_EQ(info.GetCode(), 0);
    EXPECT_EQ(info.GetText(), "");
    EXPECT_TRUE(info.HasError());
}

TEST_F(ErrorInfo, ExtGrowsEvenOnAFreshRecord) {
    info.AddErrTextExt("line 1\r\n");
    info.AddErrTextExt("");
    info.AddErrTextExt("line 2\r\n");
    EXPECT_EQ(info.GetExt(), "line 1\r\nline 2\r\n");
}

TEST_F(ErrorInfo, RenderWithoutExtHasFourLines) {
    clock.SetInstant(1773479133);  // 10:05:33 in the +60 zone
    info.SetError("PPPPPPPPPPPPPP1", 5);
    info.AddErrPoint("PPPPPPPPPPPPPP2");
    EXPECT_EQ(info.Render(),
              "Text : Access is denied.\r\n"
              "Code : 5 (0x5)\r\n"
              "Time : 14.03.2026 10:05:33 (GMT+1:00)\r\n"
              "Point: PPPPPPPPPPPPPP2:PPPPPPPPPPPPPP1\r\n");
}

TEST_F(ErrorInfo, RenderWithExtAppendsItAfterItsHeading) {
    info.SetError("PPPPPPPPPPPPPP1", -5, "bad", "STRG: [x]\r\n");
    const std::string text = info.Render();
    EXPECT_THAT(text, HasSubstr("Code : -5 (0xFFFFFFFB)\r\n"));
    EXPECT_THAT(text, HasSubstr("Point: PPPPPPPPPPPPPP1\r\nExt  :\r\nSTRG: [x]\r\n"));
    EXPECT_FALSE(text.ends_with("\r\n\r\n"));
}

TEST_F(ErrorInfo, RenderOfAClearedChainShowsAnEmptyTime) {
    info.AddErrTextExt("x");
    info.SetError("PPPPPPPPPPPPPP1", 0);
    info.Clear();
    info.AddErrPoint("XXXXXXXXXXXXXXX");
    EXPECT_THAT(info.Render(), HasSubstr("Time :  (GMT+1:00)\r\n"));
}

TEST_F(ErrorInfo, SetFileErrorRecordsTheFileAndItsSystemError) {
    info.SetFileError("PPPPPPPPPPPPPP1", nullptr, "ignored");
    EXPECT_FALSE(info.HasError());

    const CFileException e(CFileException::accessDenied, 5, "D:\\Reports\\a.csv");
    info.SetFileError("PPPPPPPPPPPPPP1", &e, "Cannot write.", "STRG: [more]\r\n");
    EXPECT_EQ(info.GetCode(), 5);
    EXPECT_EQ(info.GetText(), "Cannot write.\r\nAccess to D:\\Reports\\a.csv was denied.");
    EXPECT_THAT(info.GetExt(),
                StartsWith("FE:cause=5 [Access to D:\\Reports\\a.csv was denied.]\r\n"
                           "FE:error=5 [Access is denied.]\r\n"
                           "FE:file=[D:\\Reports\\a.csv]\r\n"));
    EXPECT_THAT(info.GetExt(), ::testing::EndsWith("STRG: [more]\r\n"));
}

TEST_F(ErrorInfo, TwoThreadsNeverLeaveATornRecord) {
    // One thread records failures, the other passes them on. Every chain must
    // end with a point the first thread set, and text and code must match it.
    constexpr int kRounds = 20000;
    std::thread setter([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (i % 2 == 0) {
                info.SetError("AAAAAAAAAAAAAAA", 2, "two");
            } else {
                info.SetError("BBBBBBBBBBBBBBB", 13, "thirteen");
            }
        }
    });
    std::thread adder([&] {
        for (int i = 0; i < kRounds; ++i) {
            info.AddErrPoint("CCCCCCCCCCCCCCC");
        }
    });
    setter.join();
    adder.join();
    const std::string points = info.GetPoints();
    ASSERT_FALSE(points.empty());
    const bool endsA = points.ends_with("AAAAAAAAAAAAAAA");
    EXPECT_TRUE(endsA || points.ends_with("BBBBBBBBBBBBBBB")) << points;
    EXPECT_EQ(info.GetCode(), endsA ? 2 : 13);
    EXPECT_EQ(info.GetText(), endsA ? "two" : "thirteen");
    for (std::size_t at = 0; at + 16 < points.size(); at += 16) {
        EXPECT_EQ(points.substr(at, 16), "CCCCCCCCCCCCCCC:");
    }
}

}  // namespace
}  // namespace vzrm
