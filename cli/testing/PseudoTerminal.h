#pragma once
// Test support: a pseudo-terminal of a given size, its terminal side open as
// stdio streams, and what was written to it read back from the other side.
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace morvak::clitest {

class PseudoTerminal {
 public:
  explicit PseudoTerminal(int columns, int rows = 24) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    if (openpty(&m_master, &m_terminal, nullptr, nullptr, &size) != 0) m_master = m_terminal = -1;
  }
  ~PseudoTerminal() {
    for (std::FILE* s : {m_streams[0], m_streams[1]})
      if (s != nullptr) std::fclose(s);
    if (m_terminal >= 0) close(m_terminal);
    if (m_master >= 0) close(m_master);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Opened() const { return m_master >= 0; }
  // One of two streams (0 or 1) writing to the terminal side.
  std::FILE* Stream(int which) {
    if (m_streams[which] == nullptr) m_streams[which] = fdopen(dup(m_terminal), "w");
    return m_streams[which];
  }
  void Resize(int columns, int rows = 24) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(m_master, TIOCSWINSZ, &size);
  }
  // Everything written so far (and not read yet).
  std::string Read() {
    std::string text;
    char buffer[4096];
    pollfd fd{m_master, POLLIN, 0};
    while (poll(&fd, 1, 50) > 0) {
      const ssize_t n = read(m_master, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

 private:
  int m_master = -1;
  int m_terminal = -1;
  std::FILE* m_streams[2] = {nullptr, nullptr};
};

}  // namespace morvak::clitest
