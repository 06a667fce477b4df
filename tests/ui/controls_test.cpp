// The extended controls and the dialog base, driven as a user would drive them.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "base/exceptions.h"
#include "ui/button_style.h"
#include "ui/extended_button.h"
#include "ui/extended_dialog.h"
#include "ui/extended_edit.h"
#include "ui/link_edit.h"
#include "ui/window_message.h"

namespace vzrm::ui {
namespace {

TEST(DialogUnits, ConvertAsTheDialogManagerRounds) {
    const DialogBaseUnits base{6, 13};
    EXPECT_EQ(DialogUnitsToPixelsX(250, base), 375);
    EXPECT_EQ(DialogUnitsToPixelsY(132, base), 215) << "214.5 rounds up";
    EXPECT_EQ(DialogUnitsToPixelsY(-132, base), -215);
    // Neighbouring controls share their edge whatever the rounding.
    const QRect left = DialogRectToPixels(QRect(5, 7, 33, 13), base);
    const QRect right = DialogRectToPixels(QRect(38, 7, 33, 13), base);
    EXPECT_EQ(left.x() + left.width(), right.x());

    const DialogBaseUnits small = BaseUnitsOf(QFont(QStringLiteral("DejaVu Sans"), 8));
    const DialogBaseUnits large = BaseUnitsOf(QFont(QStringLiteral("DejaVu Sans"), 16));
    EXPECT_GT(small.x, 0);
    EXPECT_GT(large.x, small.x);
    EXPECT_GT(large.y, small.y);
}

class ProbeDialog : public CDlgExt {
  public:
    using CDlgExt::CDlgExt;
    using CDlgExt::event;
    std::vector<int> commands;
    bool throwOnCommand = false;

  protected:
    void OnCommand(int id) override {
        commands.push_back(id);
        if (throwOnCommand) {
            throw new C_Exception(5, "refused", "point: INNER");
        }
        CDlgExt::OnCommand(id);
    }
};

TEST(DlgExt, TakesTheLayoutsFontUnlessASizeIsGiven) {
    ProbeDialog layoutFont(918);
    ProbeDialog larger(918, nullptr, 12);
    ProbeDialog missing(12345);
    EXPECT_EQ(missing.DoModal(), -1);
    // Built by a modeless start, closed at once.
    CDlgExt* first = nullptr;
    CDlgExt* second = nullptr;
    ASSERT_TRUE(layoutFont.Create(&first));
    ASSERT_TRUE(larger.Create(&second));
    EXPECT_EQ(layoutFont.PointSize(), 8);
    EXPECT_EQ(larger.PointSize(), 12);
    EXPECT_GT(larger.width(), layoutFont.width());
    EXPECT_EQ(layoutFont.Item(3216)->geometry(),
              DialogRectToPixels(QRect(4, 71, 67, 14), layoutFont.BaseUnits()));
}

TEST(DlgExt, AModelessDialogDeletesItselfAndClearsItsOwnersPointer) {
    CDlgExt* dialog = new ProbeDialog(990);
    CDlgExt* owner = nullptr;
    ASSERT_TRUE(dialog->Create(&owner));
    EXPECT_EQ(owner, dialog);
    EXPECT_TRUE(dialog->isVisible());
    QPointer<CDlgExt> watch(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(owner, nullptr);
}

TEST(DlgExt, ButtonsReachTheCommandHandlerAndExceptionsGetTheCatchPoint) {
    ProbeDialog dialog(990);
    CDlgExt* owner = nullptr;
    ASSERT_TRUE(dialog.Create(&owner));
    QTest::mouseClick(dialog.Item(4004), Qt::LeftButton);
    EXPECT_EQ(dialog.commands, std::vector<int>{4004});

    dialog.throwOnCommand = true;
    CWindowMessageEvent command(0x0111, 4000);
    C_Exception* caught = nullptr;
    try {
        dialog.event(&command);
    } catch (C_Exception* exception) {
        caught = exception;
    }
    ASSERT_NE(caught, nullptr) << "the same exception goes on";
    EXPECT_NE(caught->GetDetails().find("SJB9CW9MNBPZ768"), std::string::npos);
    EXPECT_NE(caught->GetDetails().find("INNER"), std::string::npos);
    caught->Delete();
    dialog.reject();
}

TEST(ButtonExt, WithTheFlagOffItNeverBecomesTheDefaultButton) {
    QDialog dialog;
    auto* kept = new CButtonExt(QStringLiteral("Kept"), &dialog);
    auto* plain = new CButtonExt(QStringLiteral("Plain"), &dialog);
    plain->move(0, 40);
    kept->SetMayBeDefault(false);
    dialog.show();
    kept->setDefault(true);
    EXPECT_FALSE(kept->isDefault()) << "asked by the dialog";
    kept->setFocus(Qt::TabFocusReason);
    QTest::qWait(1);
    EXPECT_FALSE(kept->isDefault()) << "focus makes auto-default buttons the default";
    QSignalSpy keptClicks(kept, &QPushButton::clicked);
    QTest::keyClick(kept, Qt::Key_Return);
    EXPECT_EQ(keptClicks.count(), 0) << "Enter does not press it";

    plain->setDefault(true);
    EXPECT_TRUE(plain->isDefault());
}

TEST(ButtonStyle, StateFollowsTheDrawingRules) {
    EXPECT_EQ(ThemedButtonState(WS_DISABLED, BS_DEFPUSHBUTTON, CDIS_SELECTED | CDIS_HOT, true),
              PBS_DISABLED);
    EXPECT_EQ(ThemedButtonState(0, BS_DEFPUSHBUTTON, CDIS_SELECTED | CDIS_HOT, false), PBS_PRESSED);
    EXPECT_EQ(ThemedButtonState(0, BS_DEFPUSHBUTTON, CDIS_HOT, false), PBS_HOT);
    EXPECT_EQ(ThemedButtonState(0, BS_PUSHLIKE | BS_DEFPUSHBUTTON, 0, true), PBS_PRESSED);
    EXPECT_EQ(ThemedButtonState(0, BS_DEFPUSHBUTTON, CDIS_FOCUS, true), PBS_DEFAULTED)
        << "checked counts only for push-like buttons";
    EXPECT_EQ(ThemedButtonState(0, 0, CDIS_FOCUS, false), PBS_NORMAL);
}

TEST(ButtonStyle, AnImageTooLargeIsCutToThePartItsAlignmentShows) {
    const QRect content(10, 5, 40, 20);
    const IMAGE_PLACEMENT right = PlaceButtonImage({64, 16}, content, BS_BITMAP | BS_RIGHT);
    EXPECT_EQ(right.source, QRect(24, 0, 40, 16)) << "the right 40 columns";
    EXPECT_EQ(right.target, QRect(10, 7, 40, 16)) << "centred vertically";
    EXPECT_EQ(PlaceButtonImage({64, 16}, content, BS_LEFT).source, QRect(0, 0, 40, 16));
    EXPECT_EQ(PlaceButtonImage({64, 16}, content, 0).source, QRect(12, 0, 40, 16));
    // A smaller image moves instead.
    EXPECT_EQ(PlaceButtonImage({16, 16}, content, BS_RIGHT | BS_BOTTOM).target,
              QRect(34, 9, 16, 16));
    EXPECT_EQ(PlaceButtonImage({16, 16}, content, BS_LEFT | BS_TOP).target, QRect(10, 5, 16, 16));
    EXPECT_EQ(PlaceButtonImage({16, 30}, content, BS_TOP).source, QRect(0, 0, 16, 20));
}

TEST(ButtonStyle, ADisabledImageIsGreyAgainstTheButtonFace) {
    QImage red(2, 1, QImage::Format_ARGB32);
    red.setPixel(0, 0, qRgba(255, 0, 0, 255));
    red.setPixel(1, 0, qRgba(240, 240, 240, 255));
    const QColor face(240, 240, 240);
    const QImage greyed = GreyedImage(red, face);
    const int grey = (qGray(255, 0, 0) + 240) / 2;
    EXPECT_EQ(greyed.pixel(0, 0), qRgba(grey, grey, grey, 255));
    const QImage keyed = WithFaceTransparent(red, face);
    EXPECT_EQ(qAlpha(keyed.pixel(1, 0)), 0) << "the face colour is transparent";
    EXPECT_EQ(keyed.pixel(0, 0), red.pixel(0, 0));
}

int RedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            count += colour.red() > 200 && colour.green() < 60 && colour.blue() < 60 ? 1 : 0;
        }
    }
    return count;
}

TEST(ButtonStyle, ADisabledIconButtonIsDrawnInTheDisabledStateWithTheIconGreyed) {
    QPixmap red(16, 16);
    red.fill(Qt::red);
    CButtonStyle button;
    button.resize(48, 32);
    button.SetButtonStyle(BS_ICON);
    button.SetImageIcon(QIcon(red), {16, 16});
    const QImage enabled = button.grab().toImage();
    EXPECT_EQ(button.LastDrawnState(), PBS_NORMAL);
    EXPECT_GE(RedPixels(enabled), 200);
    button.setEnabled(false);
    const QImage disabled = button.grab().toImage();
    EXPECT_EQ(button.LastDrawnState(), PBS_DISABLED);
    EXPECT_EQ(RedPixels(disabled), 0);

    CButtonStyle text;
    text.setText(QStringLiteral("Text"));
    text.grab();
    EXPECT_EQ(text.LastDrawnState(), 0) << "buttons without an image draw as usual";
}

TEST(EditExt, SelectOnFocusAndUndoCanBeRefused) {
    QDialog dialog;
    auto* first = new CEditExt(&dialog);
    auto* selecting = new CEditExt(&dialog);
    auto* keeping = new CEditExt(&dialog);
    for (CEditExt* edit : {first, selecting, keeping}) {
        edit->setPlainText(QStringLiteral("D:\\Reports"));
    }
    keeping->SetSelectOnFocus(false);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    ASSERT_TRUE(selecting->hasFocus());
    EXPECT_EQ(selecting->textCursor().selectedText(), QStringLiteral("D:\\Reports"));
    QTest::keyClick(selecting, Qt::Key_Tab);
    ASSERT_TRUE(keeping->hasFocus());
    EXPECT_FALSE(keeping->textCursor().hasSelection());

    keeping->moveCursor(QTextCursor::End);
    QTest::keyClicks(keeping, QStringLiteral("\\2026"));
    keeping->SetUndoAllowed(false);
    QTest::keySequence(keeping, QKeySequence::Undo);
    EXPECT_TRUE(keeping->Undo());
    EXPECT_EQ(keeping->toPlainText(), QStringLiteral("D:\\Reports\\2026"));
    const auto undoAction = [](CEditExt& edit) {
        const std::unique_ptr<QMenu> menu = edit.ContextMenu();
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-undo")) {
                return action->isEnabled();
            }
        }
        ADD_FAILURE() << "no Undo in the menu";
        return false;
    };
    EXPECT_FALSE(undoAction(*keeping));
    keeping->SetUndoAllowed(true);
    EXPECT_TRUE(undoAction(*keeping));
    QTest::keySequence(keeping, QKeySequence::Undo);
    EXPECT_EQ(keeping->toPlainText(), QStringLiteral("D:\\Reports"));
}

TEST(EditExt, ASingleLineEditTakesNoLineBreak) {
    QDialog dialog;
    auto* edit = new CEditExt(&dialog);
    edit->SetSingleLine();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("/srv"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(edit, QStringLiteral("abc"));
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("/srvabc"));

    for (const QString& pasted :
         {QStringLiteral("/r\nest"), QStringLiteral("/r\r\nest"), QStringLiteral("/r\u2029est")}) {
        edit->clear();
        QApplication::clipboard()->setText(pasted);
        edit->paste();
        EXPECT_EQ(edit->toPlainText(), QStringLiteral("/r")) << pasted.toStdString();
    }
    EXPECT_EQ(edit->document()->blockCount(), 1);
    EXPECT_EQ(FirstLine(QStringLiteral("one line")), QStringLiteral("one line"));
}

// Counts the notifications a link posts to its parent.
class LinkParent : public QWidget {
  public:
    int notified = 0;

  protected:
    bool event(QEvent* event) override {
        if (auto* message = dynamic_cast<CWindowMessageEvent*>(event);
            message && message->Message() == 0x0401) {
            ++notified;
            return true;
        }
        return QWidget::event(event);
    }
};

TEST(EditLink, OnlyAPressAndReleaseWithoutMovingPostsTheNotification) {
    LinkParent parent;
    parent.resize(300, 60);
    QWidget placeholder(&parent);
    placeholder.setGeometry(10, 10, 200, 20);
    auto* link = new CEditLink(&parent);
    const QCursor hand(Qt::PointingHandCursor);
    link->CreateLink(&parent, &placeholder, {}, 0x0401, QStringLiteral("https://example.org"),
                     &hand);
    parent.show();
    EXPECT_TRUE(placeholder.isHidden());
    EXPECT_EQ(link->geometry(), QRect(10, 10, 200, 20));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(link->viewport()->cursor().shape(), Qt::PointingHandCursor);

    QWidget* surface = link->viewport();
    const QPoint at(20, 8);
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(parent.notified, 1);

    QTest::mousePress(surface, Qt::LeftButton, {}, at);
    QTest::mouseMove(surface, at + QPoint(3, 0));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at + QPoint(3, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(parent.notified, 1) << "moving cancels the click";

    // A double-click: its first click counts, the second, which ends in the
    // double-click message, does not, nor does it select a word.
    QTextCursor cursor = link->textCursor();
    cursor.clearSelection();
    link->setTextCursor(cursor);
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    QTest::mouseDClick(surface, Qt::LeftButton, {}, at);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(parent.notified, 2);
    EXPECT_FALSE(link->textCursor().hasSelection());

    // Without a message it is plain text.
    auto* plain = new CEditLink(&parent);
    plain->CreateLink(&parent, nullptr, QRect(10, 35, 200, 20), 0, QStringLiteral("text"), &hand);
    EXPECT_FALSE(plain->font().underline());
    EXPECT_NE(plain->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(plain->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(parent.notified, 2);
}

}  // namespace
}  // namespace vzrm::ui
