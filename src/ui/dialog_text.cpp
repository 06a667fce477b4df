#include "ui/dialog_text.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vzrm::ui {

QString ForDisplay(const QString& text) {
    QString shown = text;
    return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString WithCrLf(const QString& text) {
    QString lines = text;
    return lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QString SeparatorLine() {
    return QStringLiteral("\r\n") + QString(30, u'-') + QStringLiteral("\r\n");
}

void CopyToClipboard(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text);
    }
}

}  // namespace vzrm::ui
