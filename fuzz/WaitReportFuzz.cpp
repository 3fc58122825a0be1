// fuzz_wait_report: arbitrary bytes from the target while the link waits for
// the running program's reports.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FuzzInputs.h"
#include "FuzzTargets.h"
#include "Frame.h"
#include "InputTransport.h"
#include "LinkTexts.h"
#include "RunEvents.h"
#include "TargetLink.h"

namespace morvak::fuzz {
namespace {

// Progress as (false, range) and (true, position), in the order reported.
using Progress = std::vector<std::pair<bool, uint32_t>>;

class RecordingOwner : public IRunEvents {
 public:
  void OnRunBegins() override { m_badMessage = true; }
  void OnStatusLine(std::string text) override { m_lines.push_back(std::move(text)); }
  void OnProgressRange(uint32_t upper) override { m_progress.emplace_back(false, upper); }
  void OnProgressPosition(uint32_t position) override { m_progress.emplace_back(true, position); }
  void OnPayloadSent(uint64_t, uint64_t) override {}
  void OnRunOutcome(bool) override { m_badMessage = true; }
  void OnMessageBox(const std::string& text) override { m_boxes.push_back(text); }

  bool m_badMessage = false;
  Progress m_progress;
  std::vector<std::string> m_lines;
  std::vector<std::string> m_boxes;
};

bool IsFirmwareError(const std::string& line) {
  const char* format = texts::kFirmwareErrorFormat;
  const size_t fixed = std::strcspn(format, "%");
  return line.compare(0, fixed, format, fixed) == 0;
}

// One wait's lines and boxes against its result.
std::string CheckWait(int result, const RecordingOwner& owner, size_t linesBefore, size_t boxesBefore) {
  if (result != 0 && result != 1) return "WaitReport returned neither 0 nor 1";
  if (owner.m_badMessage) return "the link reported the start or the outcome of a run";
  for (size_t i = linesBefore; i < owner.m_lines.size(); ++i)
    if (owner.m_lines[i].size() > REPORT_TEXT_BUFFER - 1) return "a status line longer than the text buffer";
  const bool boxed = owner.m_boxes.size() != boxesBefore;
  if (owner.m_boxes.size() > boxesBefore + 1) return "one wait showed two message boxes";
  if (result == 1) return boxed ? "a wait that succeeded showed a message box" : std::string();
  if (owner.m_lines.size() == linesBefore) return "a failed wait said nothing";
  const std::string& last = owner.m_lines.back();
  if (IsFirmwareError(last)) return boxed && owner.m_boxes.back() == last ? std::string() : "a firmware error without its box";
  if (boxed) return "a box without a firmware error";
  return last == texts::kReadUsbFailed ? std::string() : "a failed wait ended on another line";
}

// What the waits must show for a stream of reports alone, worked out from the
// bytes in memory: every text once, cut at its first NUL and at the buffer,
// every progress report, and the end on an error, an acknowledgement with
// nothing after it, or a stream that breaks off.
struct Expected {
  Progress progress;
  std::vector<std::string> lines;
  bool firmwareError = false;
  int32_t errorCode = 0;
};

Expected ExpectedReports(const uint8_t* data, size_t size) {
  Expected e;
  size_t at = 0;
  bool waiting = false;  // a frame came since the last acknowledgement
  while (at < size) {
    waiting = true;
    if (size - at < FRAME_SIZE) {
      e.lines.push_back(texts::kReadUsbFailed);
      return e;
    }
    const Frame frame = UnpackFrame(data + at);
    at += FRAME_SIZE;
    if (frame.magic == DATA_MAGIC && frame.code == DATA_TEXT) {
      if (size - at < frame.param2) {
        e.lines.push_back(texts::kReadUsbFailed);
        return e;
      }
      const char* text = reinterpret_cast<const char*>(data + at);
      e.lines.emplace_back(text, strnlen(text, std::min<size_t>(frame.param2, REPORT_TEXT_BUFFER - 1)));
      at += frame.param2;
    } else if (frame.magic == COMMAND_MAGIC && frame.code == REPORT_PROGRESS) {
      e.progress.emplace_back(true, frame.param1);
    } else if (frame.magic == COMMAND_MAGIC && frame.code == REPORT_RANGE) {
      e.progress.emplace_back(false, frame.param1);
    } else if (frame.magic == COMMAND_MAGIC && frame.code == REPORT_ERROR) {
      e.firmwareError = true;
      e.errorCode = static_cast<int32_t>(frame.param1);
      return e;
    } else if (frame.magic == COMMAND_MAGIC && frame.code == REPORT_ACK) {
      waiting = false;
    }
  }
  if (waiting) e.lines.push_back(texts::kReadUsbFailed);
  return e;
}

std::string CheckExpected(const RecordingOwner& owner, const Expected& e) {
  if (owner.m_progress != e.progress) return "the progress shown differs from the reports sent";
  const size_t texts = owner.m_lines.size() - (e.firmwareError ? 1 : 0);
  if (texts != e.lines.size() || !std::equal(e.lines.begin(), e.lines.end(), owner.m_lines.begin()))
    return "the lines shown differ from the texts sent";
  if (e.firmwareError) {
    const std::string code = std::to_string(e.errorCode);
    const std::string& last = owner.m_lines.back();
    if (!IsFirmwareError(last) || last.size() < code.size() || last.compare(last.size() - code.size(), code.size(), code) != 0)
      return "the firmware error line does not carry its code";
  }
  return {};
}

}  // namespace

std::string FuzzWaitReport(const uint8_t* data, size_t size) {
  if (size < WAIT_REPORT_SETUP_SIZE) return {};
  const bool blocks = (data[0] & WAIT_REPORT_BLOCKS) != 0;
  const int checksum = (data[0] & WAIT_REPORT_CRC) != 0 ? 1 : 0;
  RecordingOwner owner;
  CTargetLink link;
  link.m_pOwner = &owner;
  auto transport = std::make_unique<InputTransport>(data + WAIT_REPORT_SETUP_SIZE, size - WAIT_REPORT_SETUP_SIZE);
  const InputTransport& target = *transport;
  link.m_device.SetTransport(std::move(transport));

  // Every wait that succeeds takes at least one frame, so the loop ends with the input.
  while (target.Remaining() != 0) {
    const size_t before = target.Remaining();
    if (blocks) {
      if (link.Download(kWaitReportBlock, WAIT_REPORT_BLOCK_ADDRESS, sizeof kWaitReportBlock, DATA_RECORD,
                        checksum) == 0)
        break;
      if (link.RunProgram() == 0) return "CMD_RUN could not be written";
    }
    const size_t lines = owner.m_lines.size();
    const size_t boxes = owner.m_boxes.size();
    const int result = link.WaitReport();
    if (std::string problem = CheckWait(result, owner, lines, boxes); !problem.empty()) return problem;
    if (result == 0) break;
    if (before - target.Remaining() < FRAME_SIZE) return "a wait succeeded without reading a frame";
  }
  if (!blocks) return CheckExpected(owner, ExpectedReports(data + WAIT_REPORT_SETUP_SIZE, size - WAIT_REPORT_SETUP_SIZE));
  return {};
}

}  // namespace morvak::fuzz
