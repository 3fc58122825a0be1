#include "LineLog.h"

#include <atomic>
#include <utility>

namespace morvak {

uint64_t LineLog::NewLineage() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

LineLog::LineLog() : m_lineage(NewLineage()) {}

LineLog::LineLog(std::string text) : m_base(std::move(text)), m_lineage(NewLineage()) {}

// A copy may go its own way from here: it starts a lineage of its own.
LineLog::LineLog(const LineLog& other)
    : m_base(other.m_base), m_top(other.m_top), m_ends(other.m_ends), m_lineage(NewLineage()) {}

LineLog::LineLog(LineLog&& other) noexcept
    : m_base(std::move(other.m_base)),
      m_top(std::move(other.m_top)),
      m_ends(std::move(other.m_ends)),
      m_lineage(std::exchange(other.m_lineage, NewLineage())) {
  other.m_base.clear();
  other.m_top.clear();
  other.m_ends.clear();
}

LineLog& LineLog::operator=(const LineLog& other) {
  if (this != &other) {
    m_base = other.m_base;
    m_top = other.m_top;
    m_ends = other.m_ends;
    m_lineage = NewLineage();
  }
  return *this;
}

LineLog& LineLog::operator=(LineLog&& other) noexcept {
  if (this != &other) {
    m_base = std::move(other.m_base);
    m_top = std::move(other.m_top);
    m_ends = std::move(other.m_ends);
    m_lineage = std::exchange(other.m_lineage, NewLineage());
    other.m_base.clear();
    other.m_top.clear();
    other.m_ends.clear();
  }
  return *this;
}

LineLog& LineLog::operator=(std::string text) {
  m_base = std::move(text);
  m_top.clear();
  m_ends.clear();
  m_lineage = NewLineage();
  return *this;
}

void LineLog::PutOnTop(std::string_view line) {
  m_top.append(line);
  m_ends.push_back(m_top.size());
}

void LineLog::clear() { *this = std::string(); }

std::string_view LineLog::LineOnTop(size_t index) const {
  const size_t begin = index == 0 ? 0 : m_ends[index - 1];
  return std::string_view(m_top).substr(begin, m_ends[index] - begin);
}

std::string LineLog::Text() const {
  std::string text;
  text.reserve(size());
  for (size_t i = m_ends.size(); i-- > 0;) text.append(LineOnTop(i)).append("\r\n");
  text.append(m_base);
  return text;
}

bool operator==(const LineLog& log, std::string_view text) {
  if (log.size() != text.size()) return false;
  size_t at = 0;
  for (size_t i = log.m_ends.size(); i-- > 0;) {
    const std::string_view line = log.LineOnTop(i);
    if (text.substr(at, line.size()) != line || text.substr(at + line.size(), 2) != "\r\n") return false;
    at += line.size() + 2;
  }
  return text.substr(at) == std::string_view(log.m_base);
}

}  // namespace morvak
