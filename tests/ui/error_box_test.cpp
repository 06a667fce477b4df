// The error box as the user meets it: its size for short and long messages,
// the details folding, the icon, copying and mailing the report.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "base/error_info.h"
#include "diagnostics/error_report.h"
#include "screenshots.h"
#include "support/temp_dir.h"
#include "ui/error_box.h"
#include "ui/error_box_display.h"
#include "ui/extended_edit.h"
#include "url_recorder.h"

namespace vzrm::ui {
namespace {

const QString kDetails = QStringLiteral(
    "\r\n\r\nProduct: Velmora ZRM Auditor 1.0 (build 414)\r\nInstall: Common, Options for all\r\n"
    "CmdLine: vzrmaud -c -rf /srv/reports\r\nOS: Debian GNU/Linux 12, 64-bit\r\n");

QString Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) {
        lines << QStringLiteral("Line %1 of the message").arg(i);
    }
    return lines.join(QStringLiteral("\r\n"));
}

// The box opened modelessly, so that the test can look at it.
struct OpenBox {
    explicit OpenBox(const QString& message, std::uint32_t style = 0,
                     const QString& mailTo = QStringLiteral("support@quorvix.example"))
        : box(new CMessErrBox(nullptr, QStringLiteral(" Velmora ZRM Auditor "), message, kDetails,
                              style, mailTo)) {
        EXPECT_TRUE(box->Create(&owner));
    }
    ~OpenBox() {
        if (owner != nullptr) {
            delete owner;
        }
    }
    QSize LayoutSize() const {
        return DialogRectToPixels(QRect(0, 0, 250, 132), box->BaseUnits()).size();
    }
    QPushButton* Button(int id) const { return box->ItemAs<QPushButton>(id); }
    CEditExt* Edit(int id) const { return box->ItemAs<CEditExt>(id); }

    CDlgExt* owner = nullptr;
    CMessErrBox* box;
};

TEST(MessErrBox, AOneLineMessageKeepsTheLayoutSize) {
    OpenBox open(QStringLiteral("Access to /srv/reports was denied."), ERRBOX_DETAILS_OPEN);
    EXPECT_EQ(open.box->size(), open.LayoutSize());
    EXPECT_EQ(open.box->windowTitle(), QStringLiteral("Velmora ZRM Auditor"));
    EXPECT_EQ(open.Edit(4002)->toPlainText(), QStringLiteral("Access to /srv/reports was denied."));
    EXPECT_TRUE(open.Edit(4003)->toPlainText().startsWith(QStringLiteral("Product:")))
        << "leading blank lines trimmed";
    EXPECT_TRUE(QFontInfo(open.Edit(4003)->font()).fixedPitch())
        << QFontInfo(open.Edit(4003)->font()).family().toStdString();
    EXPECT_EQ(open.Edit(4003)->font().pointSize(), 9);
    // Anchored: the e-mail button in the bottom right corner, m from the edges.
    const int m = open.box->Item(4001)->x();
    const QRect mail = open.box->Item(4005)->geometry();
    EXPECT_EQ(mail.right() + 1 + m, open.box->width());
    EXPECT_EQ(mail.bottom() + 1 + m, open.box->height());
    EXPECT_EQ(open.box->Item(4004)->geometry().right() + 1 + m, mail.left());
}

// A font set whose "monospace" and "Courier New" are proportional faces, as
// some sets alias them; the details must still be fixed-pitch.
TEST(MessErrBox, TheDetailsAreFixedPitchWhereTheFontSetAliasesMonospaceAway) {
    if (qEnvironmentVariableIsSet("VZRM_FONT_TRAP")) {
        GTEST_SKIP() << "the trap's own run";
    }
    const std::string fonts = "/usr/share/fonts/truetype/dejavu";
    if (!QFile::exists(QString::fromStdString(fonts + "/DejaVuSans.ttf"))) {
        GTEST_SKIP() << "no DejaVu fonts (fonts-dejavu-core)";
    }
    test::TempDir dir;
    std::string config = "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + fonts + "</dir><cachedir>" +
                         dir.File("cache") + "</cachedir>";
    for (const char* family : {"monospace", "Courier New", "Courier"}) {
        config += std::string("<alias binding=\"strong\"><family>") + family +
                  "</family><prefer><family>DejaVu Sans</family></prefer></alias>";
    }
    test::WriteFile(dir.File("fonts.conf"), config + "</fontconfig>\n");
    const test::CommandResult trapped = test::RunCommand(
        "FONTCONFIG_FILE='" + dir.File("fonts.conf") + "' VZRM_FONT_TRAP=1 /proc/" +
        std::to_string(QCoreApplication::applicationPid()) +
        "/exe --gtest_filter='MessErrBox.AOneLineMessageKeepsTheLayoutSize:MessErrBox."
        "TheFontTrapHolds' 2>&1");
    EXPECT_EQ(trapped.status, 0) << trapped.output;
    EXPECT_NE(trapped.output.find("[  PASSED  ] 2 tests"), std::string::npos) << trapped.output;
}

// Run by the test above: the font set does alias the fixed faces away.
TEST(MessErrBox, TheFontTrapHolds) {
    if (!qEnvironmentVariableIsSet("VZRM_FONT_TRAP")) {
        GTEST_SKIP() << "only inside the font trap";
    }
    EXPECT_FALSE(QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).fixedPitch());
    EXPECT_FALSE(QFontInfo(QFont(QStringLiteral("monospace"))).fixedPitch());
}

TEST(MessErrBox, LongMessagesWidenTheBoxAndGrowItUpTo460Pixels) {
    OpenBox six(Lines(6), ERRBOX_DETAILS_OPEN);
    const QSize layout = six.LayoutSize();
    EXPECT_EQ(six.box->width(), layout.width() + layout.width() / 10);
    EXPECT_GT(six.box->height(), layout.height());
    EXPECT_LT(six.box->height(), kMaxErrorBoxHeight);
    // The last line shows whole, without scrolling.
    QCoreApplication::processEvents();
    CEditExt* field = six.Edit(4002);
    QTextCursor end = field->textCursor();
    end.movePosition(QTextCursor::End);
    EXPECT_EQ(field->verticalScrollBar()->value(), 0);
    EXPECT_LE(field->cursorRect(end).bottom(), field->viewport()->height());

    OpenBox forty(Lines(40), ERRBOX_DETAILS_OPEN);
    EXPECT_EQ(forty.box->width(), layout.width() + layout.width() / 10);
    EXPECT_EQ(forty.box->height(), kMaxErrorBoxHeight);

    OpenBox enlarged(QStringLiteral("Short."), ERRBOX_DETAILS_OPEN | ERRBOX_ENLARGE);
    EXPECT_EQ(enlarged.box->size(),
              QSize(layout.width() + layout.width() / 10, layout.height() + layout.height() / 10));
    OpenBox both(Lines(6), ERRBOX_DETAILS_OPEN | ERRBOX_ENLARGE);
    EXPECT_EQ(both.box->size(), six.box->size()) << "a grown box is not enlarged again";
}

TEST(MessErrBox, DetailsPressedTwiceRestoresSizeAndText) {
    OpenBox open(QStringLiteral("The report could not be written."));
    QPushButton* details = open.Button(4000);
    EXPECT_EQ(details->text(), QStringLiteral("&Details >>"));
    EXPECT_FALSE(open.box->DetailsShown());
    const int m = open.box->Item(4001)->x();
    EXPECT_EQ(open.box->height(), details->geometry().bottom() + 1 + m);
    const QSize folded = open.box->size();
    ASSERT_TRUE(test::SaveScreenshot(*open.box, QStringLiteral("error-box-folded")));

    QTest::mouseClick(details, Qt::LeftButton);
    EXPECT_EQ(details->text(), QStringLiteral("&Details <<"));
    EXPECT_TRUE(open.box->DetailsShown());
    EXPECT_EQ(open.box->size(), open.LayoutSize());
    ASSERT_TRUE(test::SaveScreenshot(*open.box, QStringLiteral("error-box-details")));

    QTest::mouseClick(details, Qt::LeftButton);
    EXPECT_EQ(details->text(), QStringLiteral("&Details >>"));
    EXPECT_EQ(open.box->size(), folded);
}

TEST(MessErrBox, TheIconFollowsTheStyle) {
    EXPECT_EQ(CMessErrBox::IconForStyle(0x30), QStyle::SP_MessageBoxWarning);
    EXPECT_EQ(CMessErrBox::IconForStyle(0), QStyle::SP_MessageBoxCritical);
    EXPECT_EQ(CMessErrBox::IconForStyle(0x10), QStyle::SP_MessageBoxCritical);
    EXPECT_EQ(CMessErrBox::IconForStyle(0x20 | ERRBOX_NO_MAIL), QStyle::SP_MessageBoxQuestion);
    EXPECT_EQ(CMessErrBox::IconForStyle(0x40), QStyle::SP_MessageBoxInformation);

    OpenBox warning(QStringLiteral("Careful."), 0x30);
    const QLabel* icon = warning.box->ItemAs<QLabel>(4001);
    const int side = std::min(icon->width(), icon->height());
    EXPECT_EQ(icon->pixmap().toImage(), warning.box->style()
                                            ->standardIcon(QStyle::SP_MessageBoxWarning)
                                            .pixmap(side, side)
                                            .toImage());
}

TEST(MessErrBox, CopyPutsTheTrimmedReportBetweenSeparators) {
    OpenBox open(QStringLiteral("  \r\nThe report could not be written.\r\n "),
                 ERRBOX_DETAILS_OPEN);
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(open.Button(4004), Qt::LeftButton);
    const QString line = QStringLiteral("\r\n------------------------------\r\n");
    const QString expected = line + QStringLiteral("The report could not be written.") + line +
                             kDetails.trimmed() + line + QStringLiteral("\r\n");
    EXPECT_EQ(open.box->ReportText(), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
}

// A stand-in mail composer on the PATH that records its arguments.
class MailComposer : public ::testing::Test {
  protected:
    void SetUp() override {
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(dir_.Path().string()));
    }
    void TearDown() override { qputenv("PATH", savedPath_); }

    void InstallComposer(int exitStatus) {
        test::WriteFile(dir_.File("xdg-email"),
                        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--\\n' \"$a\"; done > '" +
                            dir_.File("arguments.txt") + "'\nexit " + std::to_string(exitStatus) +
                            "\n");
        QFile::setPermissions(QString::fromStdString(dir_.File("xdg-email")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Arguments() const {
        QFile file(QString::fromStdString(dir_.File("arguments.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    test::TempDir dir_;
    QByteArray savedPath_;
};

TEST_F(MailComposer, TheReportGoesToTheComposerAndAFailingOneFallsBackToMailto) {
    InstallComposer(0);
    test::UrlRecorder handler({QStringLiteral("mailto")});
    {
        OpenBox open(QStringLiteral("Failed."), ERRBOX_DETAILS_OPEN);
        ASSERT_TRUE(open.Button(4005)->isEnabled());
        QTest::mouseClick(open.Button(4005), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Arguments().isEmpty(); }, 10000));
        const QString sep = QStringLiteral("\n--\n");
        EXPECT_EQ(Arguments(), QStringLiteral("--utf8") + sep + "--subject" + sep + "Troubles" +
                                   sep + "--body" + sep + open.box->ReportText() + sep +
                                   "support@quorvix.example" + sep);
        QTest::qWait(100);
        EXPECT_TRUE(handler.opened.isEmpty());
    }
    InstallComposer(3);  // "a required tool could not be found"
    {
        OpenBox open(QStringLiteral("Failed."), ERRBOX_DETAILS_OPEN, QString());
        QTest::mouseClick(open.Button(4005), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !handler.opened.isEmpty(); }, 10000));
        EXPECT_EQ(handler.opened, QStringList{QStringLiteral("mailto:")});
        EXPECT_FALSE(Arguments().contains(QStringLiteral("@"))) << "no recipient";
    }
}

TEST_F(MailComposer, TheMailButtonNeedsAComposerAndAStyleThatAllowsMail) {
    OpenBox without(QStringLiteral("Failed."), ERRBOX_DETAILS_OPEN);
    EXPECT_FALSE(without.Button(4005)->isEnabled());
    InstallComposer(0);
    OpenBox refused(QStringLiteral("Failed."), ERRBOX_DETAILS_OPEN | ERRBOX_NO_MAIL);
    EXPECT_FALSE(refused.Button(4005)->isEnabled());
    OpenBox allowed(QStringLiteral("Failed."), ERRBOX_DETAILS_OPEN);
    EXPECT_TRUE(allowed.Button(4005)->isEnabled());
}

TEST(ErrorBoxDisplay, OpensOneBoxWithTheReportAndNoSecondWhileItIsOpen) {
    CErrorInfo record;
    record.SetError("QDDAZMJJQDBAGNK", 5, "Access to /srv/reports was denied.", nullptr, 0x30);
    ERROR_REPORT_CONTEXT context;
    context.productText = "Velmora ZRM Auditor 1.0 (build 414)";
    context.commandLine = {"vzrmaud", "-c"};
    context.applicationName = "Velmora ZRM Auditor";
    context.supportAddress = "support@quorvix.example";
    CErrorBoxDisplay display;

    int nested = -1;
    int boxes = 0;
    QString caption, message, details;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(display.IsShowing());
        nested = ShowErrorInfo(context, display, &record);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<CMessErrBox*>(window); box && box->isVisible()) {
                ++boxes;
                caption = box->windowTitle();
                message = box->ItemAs<CEditExt>(4002)->toPlainText();
                details = box->ItemAs<CEditExt>(4003)->toPlainText();
                box->reject();
            }
        }
    });
    EXPECT_EQ(ShowErrorInfo(context, display, &record), 1);
    EXPECT_FALSE(display.IsShowing());
    EXPECT_EQ(nested, 1) << "reported as shown, but no second box";
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(caption, QStringLiteral("Velmora ZRM Auditor"));
    EXPECT_EQ(message, QStringLiteral("Access to /srv/reports was denied."));
    EXPECT_TRUE(details.contains(QStringLiteral("Product: Velmora ZRM Auditor 1.0 (build 414)")));
    EXPECT_TRUE(details.contains(QStringLiteral("QDDAZMJJQDBAGNK")));

    CErrorInfo empty;
    EXPECT_EQ(ShowErrorInfo(context, display, &empty), 0);
}

}  // namespace
}  // namespace vzrm::ui
