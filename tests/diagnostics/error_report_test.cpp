// The error report's text and the error display.
#include "diagnostics/error_report.h"

#include <gtest/gtest.h>

#include <regex>

#include "settings/options_profiles.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

class RecordingBox : public IErrorBox {
  public:
    bool IsShowing() const override { return showing; }
    void Show(const std::string& caption, const std::string& message, const std::string& details,
              std::uint32_t style, const std::string& address) override {
        shown.push_back({caption, message, details, style, address});
    }
    struct Shown {
        std::string caption, message, details;
        std::uint32_t style;
        std::string address;
    };
    bool showing = false;
    std::vector<Shown> shown;
};

class ErrorReport : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        context.productText = "Velmora ZRM Auditor 1.0 (build 414)";
        context.installFlags = {1, 1, 1};
        context.commandLine = {"/opt/vzrm/bin/vzrmaud", "/c", "/rf", "D:\\R"};
        context.options = &options;
        context.applicationName = "Velmora ZRM Auditor";
        context.supportAddress = "support@example.org";
        options.SetOptStr("LogFold", "D:\\R\\");
    }
    void TearDown() override { g_errorInfo.Clear(); }

    test::ScopedRegistry store;
    CMainOpt options;
    ERROR_REPORT_CONTEXT context;
    RecordingBox box;
};

TEST_F(ErrorReport, ACleanRecordShowsNothing) {
    EXPECT_EQ(ShowErrorInfo(context, box), 0);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ErrorReport, TheBoxGetsTextCaptionStyleAndTheWholeReport) {
    g_errorInfo.SetError("URXZJGMHMBVJKLU", 0, "The folder name for reports is empty.", "", 0x30);
    ASSERT_NE(ShowErrorInfo(context, box), 0);
    ASSERT_EQ(box.shown.size(), 1u);
    const RecordingBox::Shown& shown = box.shown[0];
    EXPECT_EQ(shown.caption, "Velmora ZRM Auditor");
    EXPECT_EQ(shown.message, "The folder name for reports is empty.");
    EXPECT_EQ(shown.style, 0x30u);
    EXPECT_EQ(shown.address, "support@example.org");
    const std::regex shape(
        "Product: Velmora ZRM Auditor 1\\.0 \\(build 414\\)\r\n"
        "Install: Common app, Options for all, Access full \\(1,1,1\\)\r\n"
        "CmdLine: </opt/vzrm/bin/vzrmaud></c></rf><D:\\\\R>\r\n"
        "OS: [^\r\n]+, (32|64)-bit, [^\r\n]+\r\n"
        "CPU: [^\r\n]+ \\(\\d+ MHz\\)\r\n"
        "RAM: phys=\\d+, page=\\d+, virt=\\d+\\[0\\] \\(all in Mb\\)\r\n"
        "User: [^\r\n]+, Is Admin: (yes|no)\r\n"
        "-{40}\r\n"
        "Text : The folder name for reports is empty\\.\r\n"
        "[\\s\\S]*Point: URXZJGMHMBVJKLU\r\n"
        "\r\npack\\[0\\] [\\s\\S]*LogFold[\\s\\S]*\r\n");
    EXPECT_TRUE(std::regex_match(shown.details, shape)) << shown.details;

    // The record's own caption wins; an open box opens no second one.
    g_errorInfo.SetError("X", 5, "Access is denied.", "", 0, "Options");
    EXPECT_NE(ShowErrorInfo(context, box), 0);
    EXPECT_EQ(box.shown.back().caption, "Options");
    box.showing = true;
    EXPECT_NE(ShowErrorInfo(context, box), 0);
    EXPECT_EQ(box.shown.size(), 2u);
}

TEST_F(ErrorReport, DescribingTheMachineLeavesAPendingErrorAlone) {
    g_errorInfo.SetError("PENDINGPOINT", 112, "The disk is full.");
    const std::string before = g_errorInfo.Render();
    const std::string summary = SystemSummaryText();
    EXPECT_EQ(summary.rfind("OS: ", 0), 0u);
    EXPECT_EQ(g_errorInfo.Render(), before);
}

}  // namespace
}  // namespace vzrm
