#include "ui/window_message.h"

#include <QCoreApplication>

namespace vzrm::ui {
namespace {

constexpr unsigned kLastMessage = 0x7FFF;

}  // namespace

CWindowMessageEvent::CWindowMessageEvent(unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam)
    : QEvent(TypeOf(message)), message_(message), wParam_(wParam), lParam_(lParam) {}

QEvent::Type CWindowMessageEvent::TypeOf(unsigned message) {
    return static_cast<QEvent::Type>(QEvent::User + (message & kLastMessage));
}

void PostWindowMessage(QObject* receiver, unsigned message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    QCoreApplication::postEvent(receiver, new CWindowMessageEvent(message, wParam, lParam));
}

}  // namespace vzrm::ui
