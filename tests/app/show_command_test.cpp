// How the main window first appears.
#include <gtest/gtest.h>

#include "app/main_app.h"

namespace vzrm {
namespace {

TEST(StartShowCommand, MinimizedStartsStayMinimizedAndNeverComeToTheFront) {
    EXPECT_EQ(StartShowCommand(1, false, false), 1);
    EXPECT_EQ(StartShowCommand(1, true, false), 6) << "-m";
    EXPECT_EQ(StartShowCommand(7, false, false), 6) << "minimized, not active";
    EXPECT_EQ(StartShowCommand(2, false, false), 6);
    EXPECT_EQ(StartShowCommand(6, false, false), 6);
    EXPECT_EQ(StartShowCommand(3, false, false), 1) << "maximized is shown normally";
    EXPECT_EQ(StartShowCommand(0, true, false), 0) << "a hidden start stays hidden";
    EXPECT_EQ(StartShowCommand(1, false, true), 0) << "no display, no window";
    EXPECT_EQ(StartShowCommand(7, true, true), 0);
}

}  // namespace
}  // namespace vzrm
