#include "ui/clipboard_text.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vzrm::ui {

QString SeparatorLine() {
    return QStringLiteral("\r\n") + QString(30, u'-') + QStringLiteral("\r\n");
}

void CopyToClipboard(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text);
    }
}

}  // namespace vzrm::ui
