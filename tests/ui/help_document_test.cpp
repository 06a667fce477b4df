// The help document installed with the program: every topic the program and
// the document itself point to is there, and its first screen as a picture.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <set>

#include "screenshots.h"

namespace vzrm::ui {
namespace {

QString HelpDocument() {
    QFile file(QStringLiteral(VZRM_SOURCE_DIR "/resources/help/index.html"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

TEST(HelpDocument, EveryLinkedTopicIsThere) {
    const QString html = HelpDocument();
    std::set<QString> ids;
    for (const auto& match :
         QRegularExpression(QStringLiteral("id=\"([^\"]+)\"")).globalMatch(html)) {
        ids.insert(match.captured(1));
    }
    // The window's context (its form, 130) and the contents.
    EXPECT_TRUE(ids.count(QStringLiteral("context-130")));
    EXPECT_TRUE(ids.count(QStringLiteral("contents")));
    int links = 0;
    for (const auto& match :
         QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
        EXPECT_TRUE(ids.count(match.captured(1))) << match.captured(1).toStdString();
        ++links;
    }
    EXPECT_GE(links, 10);
    for (const char* topic : {"Setting up auditing", "Scheduling reports", "Processed events",
                              "lost data", "Folders for audit", "exit statuses", "Send E-mail"}) {
        EXPECT_TRUE(html.contains(QLatin1String(topic))) << topic;
    }
}

TEST(HelpDocument, FirstScreen) {
    QTextBrowser browser;
    browser.resize(720, 540);
    browser.setSearchPaths({QStringLiteral(VZRM_SOURCE_DIR "/resources/help")});
    browser.setSource(QUrl(QStringLiteral("index.html")));
    browser.show();
    EXPECT_TRUE(browser.toPlainText().startsWith(QStringLiteral("Velmora ZRM Auditor")));
    EXPECT_TRUE(test::SaveScreenshot(browser, QStringLiteral("help")));
}

}  // namespace
}  // namespace vzrm::ui
