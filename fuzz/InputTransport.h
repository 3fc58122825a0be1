#pragma once
// A channel whose device sends the given bytes and then nothing: a read that
// reaches past them fails at once, so no wait on it can hang. Writes are taken
// and dropped.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Transport.h"

namespace morvak::fuzz {

class InputTransport : public ITransport {
 public:
  InputTransport(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  uint32_t Open() override { return OPEN_CONNECTED; }
  void Close() override {}
  bool Read(uint8_t* buffer, uint32_t length) override {
    if (length > m_size - m_position) {
      m_position = m_size;
      return false;
    }
    if (length != 0) std::memcpy(buffer, m_data + m_position, length);
    m_position += length;
    return true;
  }
  bool Write(const uint8_t*, uint32_t) override { return true; }
  void Interrupt() override {}
  void SetReplyTimeout(std::chrono::milliseconds) override {}
  bool LastReadTimedOut() const override { return false; }
  std::string OpenProblem() const override { return {}; }

  size_t Remaining() const { return m_size - m_position; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
};

}  // namespace morvak::fuzz
