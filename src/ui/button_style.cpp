#include "ui/button_style.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace vzrm::ui {
namespace {

// One axis of the placement: 1 start, 2 end, anything else the middle.
void PlaceSpan(int image, int start, int length, std::uint32_t alignment, int& source, int& target,
               int& span) {
    const int excess = image - length;
    const int offset = alignment == 1 ? 0 : alignment == 2 ? excess : excess / 2;
    if (excess > 0) {
        source = offset;
        target = start;
        span = length;
    } else {
        source = 0;
        target = start - offset;
        span = image;
    }
}

}  // namespace

int ThemedButtonState(std::uint32_t windowStyle, std::uint32_t buttonStyle, std::uint32_t itemState,
                      bool checked) {
    if ((windowStyle & WS_DISABLED) != 0) {
        return PBS_DISABLED;
    }
    if ((itemState & CDIS_SELECTED) != 0) {
        return PBS_PRESSED;
    }
    if ((itemState & CDIS_HOT) != 0) {
        return PBS_HOT;
    }
    if ((buttonStyle & BS_PUSHLIKE) != 0 && checked) {
        return PBS_PRESSED;
    }
    if ((buttonStyle & BS_DEFPUSHBUTTON) != 0) {
        return PBS_DEFAULTED;
    }
    return PBS_NORMAL;
}

IMAGE_PLACEMENT PlaceButtonImage(QSize image, const QRect& content, std::uint32_t buttonStyle) {
    int sourceX = 0, targetX = 0, width = 0, sourceY = 0, targetY = 0, height = 0;
    PlaceSpan(image.width(), content.left(), content.width(), (buttonStyle >> 8) & 3, sourceX,
              targetX, width);
    PlaceSpan(image.height(), content.top(), content.height(), (buttonStyle >> 10) & 3, sourceY,
              targetY, height);
    return {QRect(sourceX, sourceY, width, height), QRect(targetX, targetY, width, height)};
}

QImage GreyedImage(const QImage& image, const QColor& face) {
    QImage greyed = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < greyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(greyed.scanLine(y));
        for (int x = 0; x < greyed.width(); ++x) {
            const int grey = qGray(row[x]);
            row[x] = qRgba((grey + face.red()) / 2, (grey + face.green()) / 2,
                           (grey + face.blue()) / 2, qAlpha(row[x]));
        }
    }
    return greyed;
}

QImage WithFaceTransparent(const QImage& image, const QColor& face) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = face.rgb() & RGB_MASK;
    for (int y = 0; y < result.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if ((row[x] & RGB_MASK) == key) {
                row[x] = 0;
            }
        }
    }
    return result;
}

CButtonStyle::CButtonStyle(QWidget* parent) : CButtonExt({}, parent) {}

std::uint32_t CButtonStyle::ItemState() const {
    std::uint32_t state = 0;
    if (isDown()) {
        state |= CDIS_SELECTED;
    }
    if (underMouse()) {
        state |= CDIS_HOT;
    }
    if (hasFocus()) {
        state |= CDIS_FOCUS;
    }
    return state;
}

void CButtonStyle::paintEvent(QPaintEvent* event) {
    if ((buttonStyle_ & (BS_BITMAP | BS_ICON)) == 0) {
        lastState_ = 0;
        CButtonExt::paintEvent(event);
        return;
    }
    const std::uint32_t windowStyle = isEnabled() ? 0 : WS_DISABLED;
    const std::uint32_t drawnStyle = buttonStyle_ | (isDefault() ? BS_DEFPUSHBUTTON : 0);
    lastState_ = ThemedButtonState(windowStyle, drawnStyle, ItemState(), isChecked());

    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    option.state &= ~(QStyle::State_Sunken | QStyle::State_On | QStyle::State_MouseOver);
    option.features &= ~QStyleOptionButton::DefaultButton;
    switch (lastState_) {
        case PBS_DISABLED:
            option.state &= ~QStyle::State_Enabled;
            break;
        case PBS_PRESSED:
            option.state |= QStyle::State_Sunken | QStyle::State_On;
            break;
        case PBS_HOT:
            option.state |= QStyle::State_MouseOver;
            break;
        case PBS_DEFAULTED:
            option.features |= QStyleOptionButton::DefaultButton;
            break;
        default:
            break;
    }
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    DrawImage(painter, content, lastState_ == PBS_DISABLED);
    if ((ItemState() & CDIS_FOCUS) != 0) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = content;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void CButtonStyle::DrawImage(QPainter& painter, const QRect& content, bool disabled) const {
    if ((buttonStyle_ & BS_BITMAP) != 0 && !bitmap_.isNull()) {
        const IMAGE_PLACEMENT place = PlaceButtonImage(bitmap_.size(), content, buttonStyle_);
        const QColor face = palette().color(QPalette::Button);
        const QImage shown = WithFaceTransparent(bitmap_, face);
        painter.drawImage(place.target, disabled ? GreyedImage(shown, face) : shown, place.source);
        return;
    }
    if (!imageIcon_.isNull()) {
        const QPixmap pixmap =
            imageIcon_.pixmap(iconSize_, disabled ? QIcon::Disabled : QIcon::Normal);
        const IMAGE_PLACEMENT place = PlaceButtonImage(pixmap.size(), content, buttonStyle_);
        painter.drawPixmap(place.target, pixmap, place.source);
    }
}

}  // namespace vzrm::ui
