#include "RecordingTarget.h"

#include "WindowMessages.h"

namespace morvak::testing {

void RecordingTarget::PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard lock(m_mutex);
  m_messages.push_back({message, wParam, lParam, {}});
}

void RecordingTarget::PostStatusLine(std::string text) {
  std::lock_guard lock(m_mutex);
  m_messages.push_back({WM_STATUS_LINE, 0, 0, std::move(text)});
}

void RecordingTarget::ShowMessageBox(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_boxes.push_back(text);
}

std::vector<PostedMessage> RecordingTarget::Messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

std::vector<std::string> RecordingTarget::Lines() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> lines;
  for (const PostedMessage& m : m_messages)
    if (m.message == WM_STATUS_LINE) lines.push_back(m.text);
  return lines;
}

std::vector<std::string> RecordingTarget::Boxes() const {
  std::lock_guard lock(m_mutex);
  return m_boxes;
}

void RecordingTarget::Clear() {
  std::lock_guard lock(m_mutex);
  m_messages.clear();
  m_boxes.clear();
}

}  // namespace morvak::testing
