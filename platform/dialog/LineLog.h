#pragma once
// LineLog: a log text whose lines, each ended by "\r\n", stand newest first,
// with a cheap way to put a line on top. A plain string would copy the whole
// log for every line (and a control showing it would be rewritten whole),
// which makes a long run's log cost the square of its length.
//
// The text is a base (whatever was assigned last, byte for byte) below the
// lines put on top since then. Every log has a lineage: an identity that
// changes whenever its text changes other than by a line on top (assignment,
// clear, copy). Two logs with the same lineage and line count hold the same
// text, so a control that shows one state of a log can catch up with a later
// one by adding only the newer lines.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace morvak {

class LineLog {
 public:
  LineLog();
  LineLog(std::string text);  // NOLINT: a log is made from its text wherever a string would do
  LineLog(const LineLog& other);
  LineLog(LineLog&& other) noexcept;
  LineLog& operator=(const LineLog& other);
  LineLog& operator=(LineLog&& other) noexcept;
  LineLog& operator=(std::string text);
  ~LineLog() = default;

  // Puts `line` and "\r\n" before all the text; the line is kept unchanged.
  void PutOnTop(std::string_view line);
  void clear();
  bool empty() const { return m_base.empty() && m_ends.empty(); }
  // The length of the whole text in bytes.
  size_t size() const { return m_base.size() + m_top.size() + 2 * m_ends.size(); }

  // The whole text, newest line first.
  std::string Text() const;
  operator std::string() const { return Text(); }  // NOLINT: reads as the string it stands for

  uint64_t Lineage() const { return m_lineage; }
  // The lines put on top within this lineage, oldest first, without "\r\n".
  size_t LinesOnTop() const { return m_ends.size(); }
  std::string_view LineOnTop(size_t index) const;

  friend bool operator==(const LineLog& log, std::string_view text);
  friend std::ostream& operator<<(std::ostream& out, const LineLog& log) { return out << log.Text(); }

 private:
  static uint64_t NewLineage();

  std::string m_base;
  std::string m_top;          // the lines on top, oldest first, end to end
  std::vector<size_t> m_ends;  // where each of them ends in m_top
  uint64_t m_lineage;
};

}  // namespace morvak
