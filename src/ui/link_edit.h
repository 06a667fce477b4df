// A read-only text that looks and acts like a hyperlink: blue, underlined,
// a hand cursor, and a click (press and release without moving) posts the
// notification message to its parent once. A link without a message is plain
// read-only text.
#pragma once

#include <QCursor>

#include "ui/extended_edit.h"

namespace vzrm::ui {

class CEditLink : public CEditExt {
    Q_OBJECT

  public:
    explicit CEditLink(QWidget* parent = nullptr);

    // Over the placeholder (hidden, its place taken) when one is given, else
    // at the rectangle in the parent's coordinates.
    void CreateLink(QWidget* parent, QWidget* placeholder, const QRect& rect, unsigned message,
                    const QString& text, const QCursor* cursor);
    unsigned Message() const { return message_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    unsigned message_ = 0;
    bool pressed_ = false;
};

}  // namespace vzrm::ui
