// The frame-window base of the main frame: puts the frame back where the
// profile says at creation (when it is still visible on the work area of its
// screen), maximizes it at the first show when it was closed maximized, and
// keeps its placement in the profile when it closes.
#pragma once

#include <QWidget>
#include <string>

#include "ui/dock_placement.h"

namespace vzrm::ui {

class CDockFrame : public QWidget {
    Q_OBJECT

  public:
    // `appKey`: the application's key ("Software\Company\Product").
    explicit CDockFrame(std::string appKey, QWidget* parent = nullptr);

    void SetProfileSection(std::string section) { section_ = std::move(section); }
    void SetDefaultRect(const DOCK_RECT& rect) { defaultRect_ = rect; }
    bool MaximizeOnFirstShow() const { return maximizeOnFirstShow_; }

    // Places the frame at creation; its size comes from its contents.
    void PlaceAtCreation();
    // Writes the placement into the profile; false when that failed.
    bool SavePlacement();

    // The work area of the screen that holds the frame.
    DOCK_RECT WorkArea() const;
    // The caption's height in the style in use.
    int CaptionHeight() const;
    // Whether the windowing system lets a program place its window.
    static bool CanPlaceWindows();

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void KeepNormalFrame();

    std::string appKey_;
    std::string section_;
    DOCK_RECT defaultRect_{0, 0, 100, 100};
    bool maximizeOnFirstShow_ = false;
    // The frame's outer rectangle in the normal state, as last seen: Qt's
    // normal geometry is the client area's, which lies a title bar lower.
    QRect normalFrame_;
};

}  // namespace vzrm::ui
