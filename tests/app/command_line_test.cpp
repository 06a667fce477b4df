// The program's command line and its error messages.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include "base/error_info.h"
#include "settings/options_profiles.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override { g_errorInfo.Clear(); }
    void TearDown() override { g_errorInfo.Clear(); }

    bool Parse(const std::vector<std::string>& args) { return ParseCommandLine(options, args); }
    std::string Message() const { return g_errorInfo.GetText(); }

    test::ScopedRegistry store;
    CMainOpt options;
};

TEST_F(CommandLine, ParametersInAnyCaseAndEitherPrefix) {
    ASSERT_TRUE(Parse({"/C", "-REPFOLD", "D:\\R", "/m"}));
    EXPECT_TRUE(options.GetOptBool("RunAuto"));
    EXPECT_TRUE(options.GetOptBool("RunMin"));
    EXPECT_EQ(options.GetOptStr("LogFold"), "D:\\R");
    EXPECT_FALSE(g_errorInfo.HasError());

    CMainOpt other;
    ASSERT_TRUE(ParseCommandLine(other, {"-create", "-rf", "/srv/reports"}));
    EXPECT_TRUE(other.GetOptBool("RunAuto"));
    EXPECT_FALSE(other.GetOptBool("RunMin"));
    EXPECT_EQ(other.GetOptStr("LogFold"), "/srv/reports");
    EXPECT_TRUE(ParseCommandLine(other, {}));
    // A folder that begins like a parameter is still the folder, unless it is one of ours.
    ASSERT_TRUE(ParseCommandLine(other, {"/rf", "/tmp"}));
    EXPECT_EQ(other.GetOptStr("LogFold"), "/tmp");
    EXPECT_FALSE(ParseCommandLine(other, {"/rf", "/C"}));
}

TEST_F(CommandLine, MessagesNameTheWrongArgument) {
    const std::string tail =
        "parameter is incorrect. For further information on parameters of command line, refer "
        "to the documentation.";
    EXPECT_FALSE(Parse({"/x"}));
    EXPECT_EQ(Message(), "The [/x] " + tail);
    EXPECT_EQ(g_errorInfo.GetPoints(), "GRQPGWMYOADVWBB");
    g_errorInfo.Clear();

    EXPECT_FALSE(Parse({"/c", "/rf"}));
    EXPECT_EQ(Message(), "The [rf] " + tail);
    g_errorInfo.Clear();

    EXPECT_FALSE(Parse({"abc"}));
    EXPECT_EQ(Message(), "The " + tail);
    g_errorInfo.Clear();

    EXPECT_FALSE(Parse({"/rf", "A", "B"}));
    EXPECT_EQ(Message(), "The [rf] " + tail);
    g_errorInfo.Clear();

    EXPECT_FALSE(Parse({"/REPFOLD", "/m"}));
    EXPECT_EQ(Message(), "The [REPFOLD] " + tail);
    g_errorInfo.Clear();

    // Several errors: the message names the first, the extended text every one.
    EXPECT_FALSE(Parse({"/m", "stray", "-y", "/rf"}));
    EXPECT_EQ(Message(), "The " + tail);
    EXPECT_EQ(g_errorInfo.GetExt(), "STRG: []\r\nSTRG: [-y]\r\nSTRG: [rf]\r\n");
}

}  // namespace
}  // namespace vzrm
