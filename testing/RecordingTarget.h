#pragma once
// A message target that records what a run or link posts, for tests.
#include <mutex>
#include <string>
#include <vector>

#include "MessageTarget.h"

namespace morvak::testing {

struct PostedMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::string text;  // the line of a WM_STATUS_LINE
};

class RecordingTarget : public IMessageTarget {
 public:
  void PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void PostStatusLine(std::string text) override;
  void ShowMessageBox(const std::string& text) override;

  std::vector<PostedMessage> Messages() const;
  std::vector<std::string> Lines() const;
  std::vector<std::string> Boxes() const;
  void Clear();

 private:
  mutable std::mutex m_mutex;
  std::vector<PostedMessage> m_messages;
  std::vector<std::string> m_boxes;
};

}  // namespace morvak::testing
