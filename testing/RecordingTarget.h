#pragma once
// A run-events target that records what a run or link reports, for tests.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "RunEvents.h"

namespace morvak::testing {

enum class RunEventKind { kRunBegins, kStatusLine, kProgressRange, kProgressPosition, kRunSucceeded, kRunFailed };

struct RecordedEvent {
  RunEventKind kind = RunEventKind::kStatusLine;
  uint64_t value = 0;  // the range's upper bound or the position
  std::string text;    // the status line
};

class RecordingTarget : public IRunEvents {
 public:
  void OnRunBegins() override { Add({RunEventKind::kRunBegins, 0, {}}); }
  void OnStatusLine(std::string text) override { Add({RunEventKind::kStatusLine, 0, std::move(text)}); }
  void OnProgressRange(uint32_t upper) override { Add({RunEventKind::kProgressRange, upper, {}}); }
  void OnProgressPosition(uint32_t position) override { Add({RunEventKind::kProgressPosition, position, {}}); }
  void OnRunOutcome(bool succeeded) override {
    Add({succeeded ? RunEventKind::kRunSucceeded : RunEventKind::kRunFailed, 0, {}});
  }
  // Kept apart from the other events, whose order the tests check.
  void OnPayloadSent(uint64_t sent, uint64_t total) override;
  void OnMessageBox(const std::string& text) override;

  // Every event but the payload reports and the boxes, in the order they came.
  std::vector<RecordedEvent> Messages() const;
  std::vector<std::string> Lines() const;
  std::vector<std::string> Boxes() const;
  // Every payload report: (sent, total).
  std::vector<std::pair<uint64_t, uint64_t>> Payload() const;
  void Clear();

 private:
  void Add(RecordedEvent event);

  mutable std::mutex m_mutex;
  std::vector<RecordedEvent> m_messages;
  std::vector<std::string> m_boxes;
  std::vector<std::pair<uint64_t, uint64_t>> m_payload;
};

}  // namespace morvak::testing
