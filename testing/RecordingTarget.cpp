#include "RecordingTarget.h"

namespace morvak::testing {

void RecordingTarget::Add(RecordedEvent event) {
  std::lock_guard lock(m_mutex);
  m_messages.push_back(std::move(event));
}

void RecordingTarget::OnPayloadSent(uint64_t sent, uint64_t total) {
  std::lock_guard lock(m_mutex);
  m_payload.emplace_back(sent, total);
}

void RecordingTarget::OnMessageBox(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_boxes.push_back(text);
}

std::vector<RecordedEvent> RecordingTarget::Messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

std::vector<std::string> RecordingTarget::Lines() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> lines;
  for (const RecordedEvent& m : m_messages)
    if (m.kind == RunEventKind::kStatusLine) lines.push_back(m.text);
  return lines;
}

std::vector<std::string> RecordingTarget::Boxes() const {
  std::lock_guard lock(m_mutex);
  return m_boxes;
}

std::vector<std::pair<uint64_t, uint64_t>> RecordingTarget::Payload() const {
  std::lock_guard lock(m_mutex);
  return m_payload;
}

void RecordingTarget::Clear() {
  std::lock_guard lock(m_mutex);
  m_messages.clear();
  m_boxes.clear();
  m_payload.clear();
}

}  // namespace morvak::testing
