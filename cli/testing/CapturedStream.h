#pragma once
// Test support: a stream of its own for a command's output, read back whole.
#include <cstdio>
#include <string>

namespace morvak::clitest {

class Captured {
 public:
  Captured() : m_file(std::tmpfile()) {}
  ~Captured() {
    if (m_file) std::fclose(m_file);
  }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::FILE* File() const { return m_file; }
  // Everything written so far.
  std::string Text() const {
    std::fflush(m_file);
    std::rewind(m_file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  std::FILE* m_file;
};

}  // namespace morvak::clitest
