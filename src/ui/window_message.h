// Private window messages between the program's windows, carried as Qt
// events so that posting keeps their order and works from any thread.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>

namespace vzrm::ui {

inline constexpr unsigned WM_USER = 0x0400;

class CWindowMessageEvent : public QEvent {
  public:
    explicit CWindowMessageEvent(unsigned message, std::uintptr_t wParam = 0,
                                 std::intptr_t lParam = 0);

    // The event type of a message in the range WM_USER..0x7FFF.
    static QEvent::Type TypeOf(unsigned message);

    unsigned Message() const { return message_; }
    std::uintptr_t WParam() const { return wParam_; }
    std::intptr_t LParam() const { return lParam_; }

  private:
    unsigned message_;
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

void PostWindowMessage(QObject* receiver, unsigned message, std::uintptr_t wParam = 0,
                       std::intptr_t lParam = 0);

}  // namespace vzrm::ui
