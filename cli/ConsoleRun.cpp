#include "ConsoleRun.h"

namespace morvak::cli {

CConsoleRun::CConsoleRun(CRunEventQueue* events, size_t handset) : m_events(events), m_handset(handset) {}

CConsoleRun::~CConsoleRun() { Shutdown(); }

void CConsoleRun::Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text) {
  if (m_events == nullptr) return;
  RunEvent event;
  event.kind = kind;
  event.handset = m_handset;
  event.value = value;
  event.succeeded = succeeded;
  event.text = std::move(text);
  m_events->Post(std::move(event));
}

void CConsoleRun::OnStatusLine(std::string text) { Post(RunEvent::kLine, 0, false, std::move(text)); }

void CConsoleRun::OnProgressRange(uint32_t upper) { Post(RunEvent::kProgressRange, upper, false, {}); }

void CConsoleRun::OnProgressPosition(uint32_t position) { Post(RunEvent::kProgressPosition, position, false, {}); }

void CConsoleRun::OnRunOutcome(bool succeeded) { Post(RunEvent::kOutcome, 0, succeeded, {}); }

void CConsoleRun::OnWorkerFinished() { Post(RunEvent::kFinished, 0, false, {}); }

void CConsoleRun::OnMessageBox(const std::string& text) {
  if (m_events != nullptr) m_events->PostBoxAndWait(m_handset, text);
}

}  // namespace morvak::cli
