// A push button showing a bitmap or an icon instead of text, drawn through
// the style: the state, the image aligned and cut to the content rectangle,
// a greyed image when disabled, the focus frame.
#pragma once

#include <QIcon>
#include <QImage>
#include <QRect>
#include <cstdint>

#include "ui/extended_button.h"

namespace vzrm::ui {

// The bits the drawing reads, with their Windows values.
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001;
inline constexpr std::uint32_t BS_ICON = 0x0040;
inline constexpr std::uint32_t BS_BITMAP = 0x0080;
inline constexpr std::uint32_t BS_LEFT = 0x0100;
inline constexpr std::uint32_t BS_RIGHT = 0x0200;
inline constexpr std::uint32_t BS_TOP = 0x0400;
inline constexpr std::uint32_t BS_BOTTOM = 0x0800;
inline constexpr std::uint32_t BS_PUSHLIKE = 0x1000;
inline constexpr std::uint32_t CDIS_SELECTED = 0x01;
inline constexpr std::uint32_t CDIS_FOCUS = 0x10;
inline constexpr std::uint32_t CDIS_HOT = 0x40;

enum PushButtonState : int {
    PBS_NORMAL = 1,
    PBS_HOT = 2,
    PBS_PRESSED = 3,
    PBS_DISABLED = 4,
    PBS_DEFAULTED = 5,
};

int ThemedButtonState(std::uint32_t windowStyle, std::uint32_t buttonStyle, std::uint32_t itemState,
                      bool checked);

// Which part of the image is drawn where: an image larger than the content
// rectangle is cut to the part its alignment shows.
struct IMAGE_PLACEMENT {
    QRect source;
    QRect target;
};
IMAGE_PLACEMENT PlaceButtonImage(QSize image, const QRect& content, std::uint32_t buttonStyle);

// A disabled button's image: grey, blended with the button face.
QImage GreyedImage(const QImage& image, const QColor& face);
// Pixels of the button-face colour become transparent, as bitmaps are drawn.
QImage WithFaceTransparent(const QImage& image, const QColor& face);

class CButtonStyle : public CButtonExt {
    Q_OBJECT

  public:
    explicit CButtonStyle(QWidget* parent = nullptr);

    // BS_BITMAP or BS_ICON with the alignment bits.
    void SetButtonStyle(std::uint32_t style) { buttonStyle_ = style; }
    void SetBitmap(const QImage& bitmap) { bitmap_ = bitmap; }
    void SetImageIcon(const QIcon& icon, QSize size) {
        imageIcon_ = icon;
        iconSize_ = size;
    }
    // The state of the last drawing, 0 when the style's own drawing was used.
    int LastDrawnState() const { return lastState_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::uint32_t ItemState() const;
    void DrawImage(QPainter& painter, const QRect& content, bool disabled) const;

    std::uint32_t buttonStyle_ = 0;
    QImage bitmap_;
    QIcon imageIcon_;
    QSize iconSize_;
    int lastState_ = 0;
};

}  // namespace vzrm::ui
