#include "WindowMessageEvent.h"

namespace morvak {

WindowMessageEvent::WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                         std::optional<std::string> line)
    : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam), m_line(std::move(line)) {}

QEvent::Type WindowMessageEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace morvak
