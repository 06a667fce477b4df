// The About box: its text line by line, copying it, and the web link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "base/error_info.h"
#include "screenshots.h"
#include "support/scoped_registry.h"
#include "ui/about_box.h"
#include "ui/extended_edit.h"
#include "ui/link_edit.h"
#include "url_recorder.h"

namespace vzrm::ui {
namespace {

ABOUT_FACTS Facts(std::optional<INSTALL_FLAGS> flags) {
    ABOUT_FACTS facts;
    facts.installFlags = flags;
    facts.installDate = "14.03.2026 08:00";
    facts.installPath = "/opt/vzrmaud";
    return facts;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

TEST(AboutText, SaysHowTheProgramIsInstalled) {
    const CSoftInst soft;
    EXPECT_EQ(
        LinesOf(AboutText(soft, Facts(INSTALL_FLAGS{1, 1, 1}))),
        (std::vector<std::string>{"Velmora ZRM Auditor 1.0 (build 414)", "Common Application",
                                  "One set of Options for all users (full access)",
                                  "Copyright (C) Quorvix Ltd. All rights reserved.",
                                  "Install date: 14.03.2026 08:00", "Install path: /opt/vzrmaud"}));
    EXPECT_EQ(LinesOf(AboutText(soft, Facts(INSTALL_FLAGS{1, 1, 0})))[2],
              "One set of Options for all users (read-only access)");
    EXPECT_EQ(LinesOf(AboutText(soft, Facts(INSTALL_FLAGS{1, 1, -1})))[2],
              "One set of Options for all users")
        << "no access mode recorded";
    EXPECT_EQ(LinesOf(AboutText(soft, Facts(INSTALL_FLAGS{1, 0, 1})))[2],
              "One set of Options for each user");
    const std::vector<std::string> single = LinesOf(AboutText(soft, Facts(INSTALL_FLAGS{0, 1, 1})));
    EXPECT_EQ(single[1], "Single User Application");
    EXPECT_EQ(single[2], "One set of Options for one user");

    CSoftInst noNotice;
    noNotice.legalNotice.clear();
    EXPECT_EQ(AboutText(noNotice, Facts(std::nullopt)),
              "Velmora ZRM Auditor 1.0 (build 414)\r\nInstall date: 14.03.2026 08:00\r\n"
              "Install path: /opt/vzrmaud");
}

TEST(AboutFacts, ComeFromTheInstallationRecordAndAMissingOneReportsNothing) {
    test::ScopedRegistry store;
    const CSoftInst soft;
    g_errorInfo.Clear();
    const ABOUT_FACTS none = ReadAboutFacts(soft, nullptr);
    EXPECT_FALSE(none.installFlags.has_value());
    EXPECT_EQ(none.installDate, "");
    EXPECT_EQ(none.installPath, "");
    EXPECT_FALSE(g_errorInfo.HasError());

    platform::HKEY key = 0;
    ASSERT_EQ(store.Registry().CreateKey(platform::HKEY_LOCAL_MACHINE, soft.BasePath(),
                                         platform::KEY_ALL_ACCESS, key),
              0);
    // 2026-03-14 08:05:33 UTC as a SYSTEMTIME.
    const std::uint8_t time[16] = {0xEA, 0x07, 3, 0, 6, 0, 14, 0, 8, 0, 5, 0, 33, 0, 0, 0};
    ASSERT_EQ(store.Registry().SetValue(key, "InstDateLastVer", platform::REG_BINARY, time, 16), 0);
    const std::string path = "/opt/vzrmaud";
    ASSERT_EQ(store.Registry().SetValue(key, "Path", platform::REG_SZ,
                                        reinterpret_cast<const std::uint8_t*>(path.c_str()),
                                        static_cast<std::uint32_t>(path.size() + 1)),
              0);
    store.Registry().CloseKey(key);
    const INSTALL_FLAGS flags{1, 1, 1};
    const ABOUT_FACTS facts = ReadAboutFacts(soft, &flags);
    EXPECT_EQ(facts.installFlags->access, 1);
    EXPECT_NE(facts.installDate.find("08:05"), std::string::npos) << facts.installDate;
    EXPECT_NE(facts.installDate.find("2026"), std::string::npos) << facts.installDate;
    EXPECT_EQ(facts.installPath, "/opt/vzrmaud");
}

struct OpenAbout {
    OpenAbout() : dialog(new CAboutDlg(soft, Facts(INSTALL_FLAGS{1, 1, 1}))) {
        EXPECT_TRUE(dialog->Create(&owner));
    }
    ~OpenAbout() { delete owner; }
    CEditLink* Link() const { return dialog->findChild<CEditLink*>(); }

    CSoftInst soft;
    CDlgExt* owner = nullptr;
    CAboutDlg* dialog;
};

TEST(AboutDlg, ShowsTheTextTheInvitationAndTheLink) {
    OpenAbout about;
    EXPECT_EQ(about.dialog->windowTitle(), QStringLiteral("About"));
    const auto* text = about.dialog->ItemAs<CEditExt>(3211);
    EXPECT_TRUE(text->toPlainText().startsWith(
        QStringLiteral("Velmora ZRM Auditor 1.0 (build 414)\nCommon Application\n")));
    EXPECT_FALSE(text->SelectOnFocus());
    EXPECT_EQ(text->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base))
        << "the window colour, not the dialog's";
    EXPECT_EQ(about.dialog->ItemAs<QLabel>(3212)->text(),
              QStringLiteral("To get other great products from Quorvix Ltd., visit"));
    ASSERT_NE(about.Link(), nullptr);
    EXPECT_EQ(about.Link()->toPlainText(), QStringLiteral("https://www.quorvix.example/velmora"));
    EXPECT_TRUE(about.dialog->Item(3210)->isHidden()) << "the placeholder gives way";
    EXPECT_EQ(about.Link()->geometry(), about.dialog->Item(3210)->geometry());
    ASSERT_TRUE(test::SaveScreenshot(*about.dialog, QStringLiteral("about-box")));
}

TEST(AboutDlg, CopyPutsTheTextBetweenSeparators) {
    OpenAbout about;
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(about.dialog->Item(3216), Qt::LeftButton);
    const QString copied = QGuiApplication::clipboard()->text();
    const QString line = QStringLiteral("\r\n------------------------------\r\n");
    EXPECT_TRUE(
        copied.startsWith(line + QStringLiteral("Velmora ZRM Auditor 1.0 (build 414)\r\n")));
    EXPECT_TRUE(copied.endsWith(QStringLiteral("Install path: /opt/vzrmaud") + line));
    EXPECT_EQ(copied, about.dialog->ClipboardText());
}

TEST(AboutDlg, AClickOnTheLinkOpensTheWebAddressOnceAndAMoveCancelsIt) {
    OpenAbout about;
    test::UrlRecorder browser({QStringLiteral("https")});
    QWidget* surface = about.Link()->viewport();
    const QPoint at(10, 5);
    QTest::mousePress(surface, Qt::LeftButton, {}, at);
    QTest::mouseMove(surface, at + QPoint(4, 0));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at + QPoint(4, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(browser.opened.isEmpty());
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(browser.opened, QStringList{QStringLiteral("https://www.quorvix.example/velmora")});
}

}  // namespace
}  // namespace vzrm::ui
