#include "ConsoleRun.h"

#include "WindowMessages.h"

namespace morvak::cli {

CConsoleRun::CConsoleRun(CRunEvents* events, size_t handset) : m_events(events), m_handset(handset) {}

CConsoleRun::~CConsoleRun() { Shutdown(); }

void CConsoleRun::Post(RunEvent::Kind kind, uint32_t message, uintptr_t wParam, std::string text) {
  if (m_events == nullptr) return;
  RunEvent event;
  event.kind = kind;
  event.handset = m_handset;
  event.message = message;
  event.wParam = wParam;
  event.text = std::move(text);
  m_events->Post(std::move(event));
}

void CConsoleRun::PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t) {
  Post(RunEvent::kMessage, message, wParam, {});
}

void CConsoleRun::PostStatusLine(std::string text) { Post(RunEvent::kLine, WM_STATUS_LINE, 0, std::move(text)); }

void CConsoleRun::OnWorkerFinished() { Post(RunEvent::kFinished, 0, 0, {}); }

void CConsoleRun::ShowMessageBox(const std::string& text) {
  if (m_events != nullptr) m_events->PostBoxAndWait(m_handset, text);
}

}  // namespace morvak::cli
