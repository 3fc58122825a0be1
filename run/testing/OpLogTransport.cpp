#include "OpLogTransport.h"

#include <algorithm>
#include <utility>

#include "Frame.h"

namespace morvak::testing {

OpLogTransport::OpLogTransport(std::unique_ptr<ITransport> inner, std::function<size_t()> lineCount)
    : m_inner(std::move(inner)), m_lineCount(std::move(lineCount)) {}

std::vector<LoggedOp> OpLogTransport::Log() const {
  std::lock_guard lock(m_mutex);
  return m_log;
}

void OpLogTransport::Record(LoggedOp op) {
  size_t index = 0;
  {
    std::lock_guard lock(m_mutex);
    index = m_log.size();
    m_log.push_back(std::move(op));
  }
  if (afterOp) afterOp(index);
}

uint32_t OpLogTransport::Open() {
  const size_t lines = m_lineCount ? m_lineCount() : 0;
  const uint32_t result = m_inner->Open();
  if (result == OPEN_CONNECTED) {
    uint64_t offset = 0;
    {
      std::lock_guard lock(m_mutex);
      offset = m_written;
    }
    Record({OpKind::Open, 0, offset, {}, lines, true});
  }
  return result;
}

bool OpLogTransport::Read(uint8_t* buffer, uint32_t length) {
  const size_t lines = m_lineCount ? m_lineCount() : 0;
  const bool ok = m_inner->Read(buffer, length);
  uint64_t offset = 0;
  {
    std::lock_guard lock(m_mutex);
    offset = m_written;
  }
  Record({OpKind::Read, length, offset, {}, lines, ok});
  return ok;
}

bool OpLogTransport::Write(const uint8_t* buffer, uint32_t length) {
  const size_t lines = m_lineCount ? m_lineCount() : 0;
  const bool ok = m_inner->Write(buffer, length);
  LoggedOp op{OpKind::Write, length, 0, {}, lines, ok};
  op.head.assign(buffer, buffer + std::min<size_t>(length, FRAME_SIZE));
  {
    std::lock_guard lock(m_mutex);
    op.offset = m_written;
    if (ok) m_written += length;
  }
  Record(std::move(op));
  return ok;
}

}  // namespace morvak::testing
