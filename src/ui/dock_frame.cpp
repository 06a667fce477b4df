#include "ui/dock_frame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include "base/exceptions.h"
#include "ui/placement_store.h"

namespace vzrm::ui {
namespace {

DOCK_RECT ToDock(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace

CDockFrame::CDockFrame(std::string appKey, QWidget* parent)
    : QWidget(parent, Qt::Window), appKey_(std::move(appKey)) {}

bool CDockFrame::CanPlaceWindows() {
    // Wayland keeps window positions to the compositor.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

DOCK_RECT CDockFrame::WorkArea() const {
    const QScreen* holding = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return holding != nullptr ? ToDock(holding->availableGeometry()) : DOCK_RECT{0, 0, 0, 0};
}

int CDockFrame::CaptionHeight() const {
    return style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
}

void CDockFrame::PlaceAtCreation() {
    const STORED_PLACEMENT stored = LoadPlacement(appKey_, section_, defaultRect_);
    maximizeOnFirstShow_ = stored.maximized;
    const DOCK_RECT work = WorkArea();
    INITIAL_PLACEMENT in;
    in.loaded = FromStoredRect(stored.dock, stored.stored, nullptr, work);
    in.defaultRect = defaultRect_;
    in.work = work;
    in.caption = CaptionHeight();
    const DOCK_RECT rect = ComputeInitialRect(in);
    if (CanPlaceWindows()) {
        move(rect.left, rect.top);
    }
    // A window started minimized is never seen in the normal state.
    normalFrame_ = QRect(rect.left, rect.top, width(), height());
}

void CDockFrame::KeepNormalFrame() {
    const Qt::WindowStates away = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (isVisible() && (windowState() & away) == 0) {
        normalFrame_ = frameGeometry();
    }
}

void CDockFrame::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    KeepNormalFrame();
}

void CDockFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    KeepNormalFrame();
}

bool CDockFrame::SavePlacement() {
    if (section_.empty()) {
        return true;
    }
    const bool away = isMaximized() || isMinimized();
    const QRect normal = away && normalFrame_.isValid() ? normalFrame_ : frameGeometry();
    std::array<std::optional<DOCK_RECT>, 9> frames;
    frames[0] = ToDock(normal);
    const DOCK_RECT work = WorkArea();
    const DOCK_RELATION relation = ClassifyDock(0, frames, work);
    STORED_PLACEMENT placement;
    placement.dock = relation.code;
    placement.toFrame = relation.target < 0 ? 0 : relation.target;
    placement.stored = ToStoredRect(relation.code, *frames[0], nullptr);
    placement.maximized = isMaximized();
    return ui::SavePlacement(appKey_, section_, placement);
}

void CDockFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (maximizeOnFirstShow_ && !event->spontaneous()) {
        maximizeOnFirstShow_ = false;
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

bool CDockFrame::event(QEvent* event) {
    try {
        return QWidget::event(event);
    } catch (C_Exception* exception) {
        exception->AddCatchPoint("TYX8BRWPTA795M2");
        throw;
    }
}

}  // namespace vzrm::ui
