#pragma once
// Test support: what a terminal of a given width shows of the bytes written
// to it, for the control codes the console uses (carriage return, line feed,
// cursor up, erase to the end of the line or of the screen). The screen has
// no bottom: it grows as lines are added, as a terminal's scrollback does.
#include <algorithm>
#include <string>
#include <vector>

namespace morvak::clitest {

class TerminalScreen {
 public:
  explicit TerminalScreen(int columns) : m_columns(columns), m_rows(1) {}

  void Resize(int columns) { m_columns = columns; }

  void Feed(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (c == '\r') {
        m_column = 0;
      } else if (c == '\n') {
        Down();
      } else if (c == '\033') {
        i = Control(bytes, i);
      } else if (static_cast<unsigned char>(c) < 0x20) {
        ++m_unknownCodes;
      } else {
        Put(c);
      }
    }
  }

  // Every row, trailing blanks removed.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows = m_rows;
    for (std::string& r : rows) r.erase(r.find_last_not_of(' ') + 1);
    return rows;
  }
  int Column() const { return m_column; }
  // Characters written in the last column (which may wrap at the next) or
  // beyond it (which wrapped).
  int LastColumnWrites() const { return m_lastColumnWrites; }
  int UnknownCodes() const { return m_unknownCodes; }

 private:
  void Down() {
    if (++m_row == m_rows.size()) m_rows.emplace_back();
  }
  void Put(char c) {
    if (m_column >= m_columns) {
      m_column = 0;
      Down();
    }
    if (m_column >= m_columns - 1) ++m_lastColumnWrites;
    std::string& row = m_rows[m_row];
    if (row.size() <= static_cast<size_t>(m_column)) row.resize(static_cast<size_t>(m_column) + 1, ' ');
    row[static_cast<size_t>(m_column++)] = c;
  }
  // The control sequence at `at`; returns the index of its last byte.
  size_t Control(const std::string& bytes, size_t at) {
    if (at + 1 >= bytes.size() || bytes[at + 1] != '[') {
      ++m_unknownCodes;
      return at;
    }
    size_t i = at + 2;
    int n = 0;
    bool given = false;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
      n = n * 10 + (bytes[i] - '0');
      given = true;
    }
    if (i >= bytes.size()) {
      ++m_unknownCodes;
      return i;
    }
    std::string& row = m_rows[m_row];
    switch (bytes[i]) {
      case 'A':
        m_row -= std::min(m_row, static_cast<size_t>(given ? n : 1));
        break;
      case 'K':
        if (row.size() > static_cast<size_t>(m_column)) row.resize(static_cast<size_t>(m_column));
        break;
      case 'J':
        if (row.size() > static_cast<size_t>(m_column)) row.resize(static_cast<size_t>(m_column));
        m_rows.resize(m_row + 1);
        break;
      default:
        ++m_unknownCodes;
    }
    return i;
  }

  int m_columns;
  std::vector<std::string> m_rows;
  size_t m_row = 0;
  int m_column = 0;
  int m_lastColumnWrites = 0;
  int m_unknownCodes = 0;
};

}  // namespace morvak::clitest
