#include "ScriptedTransport.h"

#include <algorithm>

namespace morvak::testing {

std::vector<uint8_t> FrameBytes(const Frame& frame) {
  std::vector<uint8_t> bytes(FRAME_SIZE);
  PackFrame(frame, bytes.data());
  return bytes;
}

void ScriptedTransport::ReplyFrame(const Frame& frame) { Reply(FrameBytes(frame)); }

std::vector<Transfer> ScriptedTransport::Writes() const {
  std::vector<Transfer> out;
  std::copy_if(transfers.begin(), transfers.end(), std::back_inserter(out), [](const Transfer& t) { return t.write; });
  return out;
}

std::vector<uint8_t> ScriptedTransport::WrittenBytes() const {
  std::vector<uint8_t> out;
  for (const Transfer& t : transfers)
    if (t.write) out.insert(out.end(), t.bytes.begin(), t.bytes.end());
  return out;
}

uint32_t ScriptedTransport::Open() {
  ++openCalls;
  if (openResults.empty()) return OPEN_CONNECTED;
  const uint32_t result = openResults.front();
  openResults.pop_front();
  return result;
}

bool ScriptedTransport::Read(uint8_t* buffer, uint32_t length) {
  lastReadTimedOut = false;
  if (replies.size() < length) {
    transfers.push_back({false, {}, length});
    lastReadTimedOut = unansweredReadsTimeOut;
    return false;
  }
  std::vector<uint8_t> got(replies.begin(), replies.begin() + length);
  replies.erase(replies.begin(), replies.begin() + length);
  std::copy(got.begin(), got.end(), buffer);
  transfers.push_back({false, std::move(got), length});
  return true;
}

bool ScriptedTransport::Write(const uint8_t* buffer, uint32_t length) {
  const int index = writeCalls++;
  std::vector<uint8_t> bytes(buffer, buffer + length);
  transfers.push_back({true, bytes, length});
  if (index == failWriteAt) return false;
  if (onWrite) onWrite(*this, bytes);
  return true;
}

}  // namespace morvak::testing
