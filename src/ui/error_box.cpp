#include "ui/error_box.h"

#include <optional>
#include <vector>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <QtMath>

#include "base/error_info.h"
#include "base/message_box.h"
#include "ui/dialog_text.h"
#include "ui/extended_edit.h"

namespace vzrm::ui {
namespace {

enum : int {
    IDC_DETAILS_BUTTON = 4000,
    IDC_ICON = 4001,
    IDC_MESSAGE = 4002,
    IDC_DETAILS = 4003,
    IDC_COPY = 4004,
    IDC_MAIL = 4005,
};

constexpr int kMailFieldLimit = 259;  // subject and address, as the mail interface takes them

// A font of that family that really is fixed-pitch, 9 points; nullopt when
// the name resolves to another face (font sets alias "Courier New" or
// "monospace" to proportional faces).
std::optional<QFont> FixedPitchFont(QFont font) {
    font.setStyleHint(QFont::Monospace, QFont::PreferMatch);
    font.setFixedPitch(true);
    font.setPointSize(9);
    return QFontInfo(font).fixedPitch() ? std::optional<QFont>(font) : std::nullopt;
}

// "Courier New" where installed, else the desktop's fixed font, else
// "monospace", else the first installed family that is fixed-pitch; 9 points.
QFont DetailsFont() {
    std::vector<QFont> candidates;
    if (QFontDatabase::families().contains(QStringLiteral("Courier New"))) {
        candidates.emplace_back(QStringLiteral("Courier New"));
    }
    candidates.push_back(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    candidates.emplace_back(QStringLiteral("monospace"));
    for (const QFont& candidate : candidates) {
        if (const std::optional<QFont> font = FixedPitchFont(candidate)) {
            return *font;
        }
    }
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) {
            if (const std::optional<QFont> font = FixedPitchFont(QFont(family))) {
                return *font;
            }
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    return font;
}

// Where the line after the text begins in a field of that width and font.
int HeightNeeded(const QString& text, const CEditExt& field) {
    QTextDocument probe;
    probe.setDefaultFont(field.font());
    probe.setDocumentMargin(field.document()->documentMargin());
    probe.setTextWidth(field.contentsRect().width());
    probe.setPlainText(ForDisplay(text) + QStringLiteral("\n1"));
    return qCeil(probe.documentLayout()->blockBoundingRect(probe.lastBlock()).top());
}

void OpenMailTo(const QString& address) {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + address));
}

}  // namespace

CMessErrBox::CMessErrBox(QWidget* owner, const QString& caption, const QString& message,
                         const QString& details, std::uint32_t style, const QString& mailTo)
    : CDlgExt(kErrorBoxTemplate, owner),
      caption_(caption.trimmed()),
      message_(message.trimmed()),
      details_(details.trimmed()),
      mailTo_(mailTo.trimmed()),
      style_(style) {}

QStyle::StandardPixmap CMessErrBox::IconForStyle(std::uint32_t style) {
    switch (style & MB_ICONMASK) {
        case MB_ICONQUESTION:
            return QStyle::SP_MessageBoxQuestion;
        case MB_ICONWARNING:
            return QStyle::SP_MessageBoxWarning;
        case MB_ICONINFORMATION:
            return QStyle::SP_MessageBoxInformation;
        default:
            return QStyle::SP_MessageBoxCritical;
    }
}

bool CMessErrBox::HaveMailComposer() {
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty();
}

int CMessErrBox::Margin() const {
    return std::max(0, Item(IDC_ICON)->x());
}

void CMessErrBox::OnInitDialog() {
    SetItemIcon(IDC_ICON, style()->standardIcon(IconForStyle(style_)));

    // The field is measured as the anchoring leaves it: it ends with the
    // Details button, a little above its place in the layout.
    Reanchor();
    FitMessage();
    Item(IDC_MAIL)->setEnabled(HaveMailComposer() && (style_ & ERRBOX_NO_MAIL) == 0);
    auto* details = ItemAs<CEditExt>(IDC_DETAILS);
    details->setFont(DetailsFont());
    details->setPlainText(ForDisplay(details_));
    Reanchor();
    ShowDetails((style_ & ERRBOX_DETAILS_OPEN) != 0);
    setWindowTitle(caption_);
}

void CMessErrBox::FitMessage() {
    auto* field = ItemAs<CEditExt>(IDC_MESSAGE);
    const int needed = HeightNeeded(message_, *field);
    QSize box = size();
    if (needed > field->height()) {
        box.setWidth(box.width() + box.width() / 10);
        box.setHeight(std::min(box.height() + needed - field->height(), kMaxErrorBoxHeight));
    } else if ((style_ & ERRBOX_ENLARGE) != 0) {
        box = QSize(box.width() + box.width() / 10, box.height() + box.height() / 10);
    }
    setFixedSize(box);
    field->setPlainText(ForDisplay(message_));
}

void CMessErrBox::Reanchor() {
    const int m = Margin();
    const int width = this->width();
    const int height = this->height();
    QWidget* close = Item(IDOK);
    QWidget* mail = Item(IDC_MAIL);
    QWidget* copy = Item(IDC_COPY);
    QWidget* details = Item(IDC_DETAILS);
    QWidget* detailsButton = Item(IDC_DETAILS_BUTTON);
    QWidget* message = Item(IDC_MESSAGE);

    close->move(width - m - close->width(), close->y());
    mail->move(width - m - mail->width(), height - m - mail->height());
    copy->move(mail->x() - m - copy->width(), mail->y());
    details->setGeometry(m, mail->y() - m - details->height(), width - 2 * m, details->height());
    detailsButton->move(width - m - detailsButton->width(),
                        details->y() - m - detailsButton->height());
    const int messageBottom = detailsButton->y() + detailsButton->height();
    message->setGeometry(message->x(), message->y(), detailsButton->x() - m - message->x(),
                         messageBottom - message->y());
}

void CMessErrBox::ShowDetails(bool show) {
    const int m = Margin();
    auto* detailsButton = ItemAs<QPushButton>(IDC_DETAILS_BUTTON);
    QString text = detailsButton->text();
    for (const int id : {IDC_COPY, IDC_MAIL, IDC_DETAILS}) {
        Item(id)->setVisible(show);
    }
    if (show) {
        text.replace(QStringLiteral(">>"), QStringLiteral("<<"));
        const QWidget* mail = Item(IDC_MAIL);
        setFixedHeight(mail->y() + mail->height() + m);
    } else {
        text.replace(QStringLiteral("<<"), QStringLiteral(">>"));
        setFixedHeight(detailsButton->y() + detailsButton->height() + m);
    }
    detailsButton->setText(text);
}

bool CMessErrBox::DetailsShown() const {
    return !Item(IDC_COPY)->isHidden();
}

QString CMessErrBox::ReportText() const {
    const QString line = SeparatorLine();
    return line + message_ + line + details_ + line + QStringLiteral("\r\n");
}

void CMessErrBox::OnCommand(int id) {
    switch (id) {
        case IDC_DETAILS_BUTTON:
            ShowDetails(Item(IDC_COPY)->isHidden());
            break;
        case IDC_COPY:
            CopyToClipboard(ReportText());
            break;
        case IDC_MAIL:
            SendMail();
            break;
        default:
            CDlgExt::OnCommand(id);
    }
}

// The desktop's composer shows the mail for the user to edit and send; when
// it cannot, the default mail handler opens with the address alone.
void CMessErrBox::SendMail() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"),
                          QStringLiteral("Troubles"), QStringLiteral("--body"), ReportText()};
    if (!mailTo_.isEmpty()) {
        arguments << mailTo_.left(kMailFieldLimit);
    }
    // The composer may outlive the box: the process object deletes itself.
    auto* composer = new QProcess;
    const QString address = mailTo_;
    connect(composer, &QProcess::finished, composer, [composer, address](int exitCode) {
        if (exitCode != 0) {
            OpenMailTo(address);
        }
        composer->deleteLater();
    });
    connect(composer, &QProcess::errorOccurred, composer,
            [composer, address](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    OpenMailTo(address);
                    composer->deleteLater();
                }
            });
    composer->start(QStringLiteral("xdg-email"), arguments);
    QApplication::restoreOverrideCursor();
    raise();
    activateWindow();
}

}  // namespace vzrm::ui
