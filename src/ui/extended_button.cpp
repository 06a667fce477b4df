#include "ui/extended_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace vzrm::ui {

CButtonExt::CButtonExt(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void CButtonExt::SetMayBeDefault(bool mayBeDefault) {
    mayBeDefault_ = mayBeDefault;
    if (!mayBeDefault_) {
        // A focused auto-default button would make itself the default one.
        setAutoDefault(false);
        QPushButton::setDefault(false);
    }
}

void CButtonExt::setDefault(bool isDefault) {
    QPushButton::setDefault(isDefault && mayBeDefault_);
}

void CButtonExt::paintEvent(QPaintEvent* event) {
    if (mayBeDefault_) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionButton::DefaultButton;
    option.features &= ~QStyleOptionButton::AutoDefaultButton;
    painter.drawControl(QStyle::CE_PushButton, option);
}

}  // namespace vzrm::ui
