#include "ui/link_edit.h"

#include <QMouseEvent>

#include "ui/window_message.h"

namespace vzrm::ui {

CEditLink::CEditLink(QWidget* parent) : CEditExt(parent) {
    SetSelectOnFocus(false);
}

void CEditLink::CreateLink(QWidget* parent, QWidget* placeholder, const QRect& rect,
                           unsigned message, const QString& text, const QCursor* cursor) {
    setParent(parent);
    QRect place = rect;
    if (placeholder != nullptr) {
        placeholder->hide();
        place = placeholder->geometry();
    }
    setGeometry(place);
    setReadOnly(true);
    SetSingleLine();
    setFrameShape(QFrame::NoFrame);
    setFont(parent->font());
    message_ = message;
    if (message_ != 0) {
        QFont linkFont = parent->font();
        linkFont.setUnderline(true);
        setFont(linkFont);
        if (cursor != nullptr) {
            viewport()->setCursor(*cursor);
        }
    }
    // Blue text on the dialog's own background, like a read-only static.
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor(0, 0, 255));
    colours.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    setPalette(colours);
    setPlainText(text);
    show();
}

void CEditLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
    }
    CEditExt::mousePressEvent(event);
}

void CEditLink::mouseMoveEvent(QMouseEvent* event) {
    pressed_ = false;
    CEditExt::mouseMoveEvent(event);
}

void CEditLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_ && message_ != 0 && parentWidget()) {
        PostWindowMessage(parentWidget(), message_);
    }
    pressed_ = false;
    CEditExt::mouseReleaseEvent(event);
}

void CEditLink::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;  // swallowed: no word selection either
    event->accept();
}

}  // namespace vzrm::ui
