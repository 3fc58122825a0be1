#pragma once
// A window message posted to a dialog: the message number and its two
// parameters, and, for a status line, the line itself. Posted with
// QCoreApplication::postEvent, which is safe from any thread and delivers one
// receiver's events in posting order.
#include <QEvent>
#include <cstdint>
#include <optional>
#include <string>

namespace morvak {

class WindowMessageEvent : public QEvent {
 public:
  WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam,
                      std::optional<std::string> line = std::nullopt);

  // The event type, registered with Qt once per process.
  static QEvent::Type EventType();

  uint32_t Message() const { return m_message; }
  uintptr_t WParam() const { return m_wParam; }
  intptr_t LParam() const { return m_lParam; }
  // The line a status message carries; none for every other message.
  const std::optional<std::string>& Line() const { return m_line; }

 private:
  uint32_t m_message;
  uintptr_t m_wParam;
  intptr_t m_lParam;
  std::optional<std::string> m_line;
};

}  // namespace morvak
