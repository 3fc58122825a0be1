// The console's progress display as a terminal of a pseudo-terminal's width
// shows it: ProgressBar and TextOutput in process, and morvak-cli flash run
// in a pseudo-terminal of its own.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "CapturedStream.h"
#include "CliTexts.h"
#include "ProgressBar.h"
#include "TextOutput.h"
#include "cli_test_support.h"
#include "PseudoTerminal.h"
#include "TerminalScreen.h"

namespace morvak::cli {
namespace {

using clitest::PseudoTerminal;
using clitest::TerminalScreen;
using Clock = ProgressBar::Clock;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A clock the test moves.
struct FakeClock {
  Clock::time_point now{};
  std::function<Clock::time_point()> Function() {
    return [this] { return now; };
  }
  void Advance(double seconds) {
    now += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }
};

// TERM for the test's length (null: unset).
class TermVariable {
 public:
  explicit TermVariable(const char* value) {
    if (const char* old = std::getenv("TERM")) m_saved = old;
    if (value != nullptr)
      setenv("TERM", value, 1);
    else
      unsetenv("TERM");
  }
  ~TermVariable() {
    if (m_saved)
      setenv("TERM", m_saved->c_str(), 1);
    else
      unsetenv("TERM");
  }

 private:
  std::optional<std::string> m_saved;
};

TEST(ProgressBarRenderTest, NoLineReachesTheLastColumnAndThePercentageStays) {
  ProgressState waiting;
  waiting.expectedBytes = 9'000'000;
  ProgressState sending{300000, 123456, 4'500'000, 9'000'000, true, 1'800'000.0, false};
  ProgressState ended = sending;
  ended.ended = true;
  for (const ProgressState& state : {waiting, sending, ended})
    for (const std::string& label : {std::string(), std::string("1-2.3.4"), std::string(90, 'p')})
      for (int width = 0; width <= 160; ++width) {
        const std::string line = ProgressBar::Render(state, label, width);
        EXPECT_LE(line.size(), static_cast<size_t>(std::max(0, width - 1))) << width << " " << line;
        EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return c < 0x20; })) << line;
        if (static_cast<size_t>(width) >= label.size() + 6) {
          EXPECT_TRUE(Contains(line, "%")) << width << " " << line;
        }
      }
}

TEST(ProgressBarTest, SpeedAndTimeLeftCountFromTheFirstByte) {
  TermVariable term("xterm");
  PseudoTerminal pty(100);
  ASSERT_TRUE(pty.Opened());
  FakeClock clock;
  TerminalScreen screen(100);
  {
    ProgressBar bar(pty.Stream(0), clock.Function());
    bar.ShowHandset(0, "");
    // Ten seconds waiting for the handset.
    for (int i = 0; i < 100; ++i, clock.Advance(0.1)) bar.Draw();
    screen.Feed(pty.Read());
    EXPECT_TRUE(Contains(screen.Rows().back(), clitexts::kWaitingForHandset)) << screen.Rows().back();
    bar.SetPayload(0, 1000, 9'000'000);
    bar.Draw();
    clock.Advance(1);
    bar.SetPayload(0, 3'000'000, 9'000'000);
    bar.Draw();
    screen.Feed(pty.Read());
    // 3 MB in the second since the first byte, 6 MB to go.
    EXPECT_TRUE(Contains(screen.Rows().back(), "3.0 MB/s  0:02 left")) << screen.Rows().back();
    bar.Finish();
  }
  screen.Feed(pty.Read());
  const std::vector<std::string> rows = screen.Rows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows.back(), "");
  EXPECT_EQ(screen.Column(), 0);
  EXPECT_TRUE(Contains(rows[rows.size() - 2], "3.0 MB/s")) << rows[rows.size() - 2];
  EXPECT_FALSE(Contains(rows[rows.size() - 2], "left")) << rows[rows.size() - 2];
  EXPECT_EQ(screen.LastColumnWrites(), 0);
  EXPECT_EQ(screen.UnknownCodes(), 0);
}

volatile sig_atomic_t g_testResizes = 0;
void OnTestResize(int) { g_testResizes = 1; }

TEST(ProgressBarTest, ResizeChangesTheWidthAndTheHandlerBeforeComesBack) {
  TermVariable term("xterm");
  PseudoTerminal pty(60);
  ASSERT_TRUE(pty.Opened());
  struct sigaction mine {};
  mine.sa_handler = OnTestResize;
  sigemptyset(&mine.sa_mask);
  struct sigaction before {};
  sigaction(SIGWINCH, &mine, &before);
  FakeClock clock;
  TerminalScreen screen(60);
  {
    ProgressBar bar(pty.Stream(0), clock.Function());
    bar.ShowHandset(0, "");
    bar.SetRange(0, 9);
    bar.SetPayload(0, 1, 9'000'000);
    bar.Draw();
    clock.Advance(1);
    bar.SetPayload(0, 4'000'000, 9'000'000);
    bar.Draw();
    screen.Feed(pty.Read());
    EXPECT_GT(screen.Rows().back().size(), 29u) << screen.Rows().back();

    pty.Resize(30);
    // The pty is not this process's terminal: nobody else sends the signal.
    raise(SIGWINCH);
    screen.Resize(30);
    clock.Advance(1);
    bar.SetPayload(0, 5'000'000, 9'000'000);
    bar.Draw();
    screen.Feed(pty.Read());
    EXPECT_TRUE(Contains(screen.Rows().back(), "%")) << screen.Rows().back();
    bar.Finish();
  }
  screen.Feed(pty.Read());
  EXPECT_EQ(screen.LastColumnWrites(), 0);
  EXPECT_EQ(screen.Column(), 0);
  struct sigaction after {};
  sigaction(SIGWINCH, nullptr, &after);
  EXPECT_EQ(after.sa_handler, &OnTestResize);
  sigaction(SIGWINCH, &before, nullptr);
}

// A fixed set of ports keeps a line per port below the status lines to the
// end; a watching station shows a line only while its port flashes.
TEST(ProgressBarTest, PortsKeepOneLineEachBelowTheStatusLines) {
  struct Case {
    const char* name;
    bool station;
    size_t linesAtEnd;
  };
  for (const Case& c : {Case{"fixed ports", false, 3}, Case{"station", true, 0}}) {
    TermVariable term("xterm-256color");
    PseudoTerminal pty(80);
    ASSERT_TRUE(pty.Opened());
    FakeClock clock;
    const std::vector<std::string> ports = {"1-2", "1-10", "1-3.4"};
    uint64_t sent[3] = {0, 0, 0};
    std::vector<std::string> printed;
    TerminalScreen screen(80);
    {
      ProgressBar bar(pty.Stream(1), clock.Function());
      TextOutput output(pty.Stream(0), pty.Stream(1), TextOutputMode{true, &bar, false, c.station});
      for (size_t h = 0; h < ports.size(); ++h) {
        output.PortChanged({h, ports[h]}, PortState::Waiting, "");
        output.PortChanged({h, ports[h]}, PortState::Flashing, "");
      }
      for (int step = 0; step < 6; ++step) {
        for (size_t h = 0; h < ports.size(); ++h) {
          const UnitRef unit{{h, ports[h]}, h};
          sent[h] += (h + 1) * 500'000;
          output.Payload(unit, sent[h], 10'000'000);
          RunEvent line;
          line.kind = RunEvent::kLine;
          line.text = "step " + std::to_string(step);
          output.Line(unit, line);
          printed.push_back("[" + ports[h] + "] " + line.text);
          clock.Advance(0.2);
          output.Idle();
        }
        screen.Feed(pty.Read());
        if (step == 3) {
          // Half-way, every port shows its line: a station's ports are all busy.
          const std::vector<std::string> rows = screen.Rows();
          ASSERT_GE(rows.size(), ports.size()) << c.name;
          EXPECT_TRUE(Contains(rows[rows.size() - 1], "1-3.4")) << c.name << ::testing::PrintToString(rows);
        }
      }
      for (size_t h = 0; h < ports.size(); ++h) output.Result({{h, ports[h]}, h}, HandsetOutcome{});
      output.RunsEnded();
    }
    screen.Feed(pty.Read());
    std::vector<std::string> rows = screen.Rows();
    EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + static_cast<long>(printed.size())), printed)
        << c.name;
    const size_t results = c.station ? ports.size() : 0;
    ASSERT_EQ(rows.size(), printed.size() + results + c.linesAtEnd + 1) << c.name << ::testing::PrintToString(rows);
    for (size_t h = 0; h < c.linesAtEnd; ++h) {
      const std::string& row = rows[printed.size() + h];
      std::string label = ports[h];
      label.resize(5, ' ');
      EXPECT_EQ(row.rfind(label + " [", 0), 0u) << row;
      EXPECT_TRUE(Contains(row, "MB/s")) << row;
    }
    EXPECT_EQ(rows.back(), "") << c.name;
    EXPECT_EQ(screen.LastColumnWrites(), 0);
    EXPECT_EQ(screen.UnknownCodes(), 0);
  }
}

TEST(ProgressBarTest, NothingOnADumbTerminalOrAFile) {
  struct Case {
    const char* name;
    const char* term;
    bool terminal;
  };
  for (const Case& c : {Case{"TERM=dumb", "dumb", true}, Case{"TERM unset", nullptr, true},
                        Case{"TERM empty", "", true}, Case{"a file", "xterm", false}}) {
    TermVariable term(c.term);
    PseudoTerminal pty(80);
    clitest::Captured file;
    {
      ProgressBar bar(c.terminal ? pty.Stream(0) : file.File());
      EXPECT_FALSE(bar.Enabled()) << c.name;
      bar.ShowHandset(0, "");
      bar.Draw();
      bar.SetPayload(0, 1000, 9000);
      bar.Draw();
      bar.Clear();
      bar.Finish();
    }
    EXPECT_EQ(pty.Read(), "") << c.name;
    EXPECT_EQ(file.Text(), "") << c.name;
  }
}

// morvak-cli run with its output on a pseudo-terminal `columns` wide, its
// virtual handsets writing at once.
std::string RunInPseudoTerminal(const std::vector<std::string>& args, const char* term, int columns, int& status) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = 40;
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child == 0) {
    setenv("TERM", term, 1);
    std::vector<char*> argv;
    std::string program = MORVAK_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) {
      a = morvak::clitest::InstantFlash(a);
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string output;
  if (child < 0) return output;
  char buffer[4096];
  // The read fails (EIO) once the program has closed the terminal's last end.
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<size_t>(n));
  close(master);
  int raw = 0;
  waitpid(child, &raw, 0);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

TEST(ConsoleProgressTest, FlashOnATerminalEndsWithTheProgressLinesAndANewline) {
  struct Case {
    const char* faults;
    std::vector<std::string> progressStarts;  // how the progress rows start
  };
  for (const Case& c : {Case{"--virtual-handset=speed=20", {"["}},
                        Case{"--virtual-handset=count=2,speed=20", {"virtual-1 [", "virtual-2 ["}}}) {
    // Wide enough that the status lines, which hold the build's path, do not wrap.
    constexpr int kColumns = 400;
    int status = -1;
    const std::string output = RunInPseudoTerminal({"flash", c.faults, MORVAK_DEMO_IMG}, "xterm", kColumns, status);
    EXPECT_EQ(status, 0) << output;
    TerminalScreen screen(kColumns);
    screen.Feed(output);
    const std::vector<std::string> rows = screen.Rows();
    EXPECT_EQ(screen.Column(), 0) << c.faults;
    EXPECT_EQ(screen.UnknownCodes(), 0) << c.faults;
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "") << c.faults;
    for (const std::string& start : c.progressStarts) {
      const auto count = std::count_if(rows.begin(), rows.end(), [&](const std::string& r) {
        return r.rfind(start, 0) == 0 && Contains(r, "100%");
      });
      EXPECT_EQ(count, 1) << c.faults << " " << start << "\n" << output;
    }
    // The status lines stay, each once (the summary's rows start with the port).
    const auto success = std::count_if(rows.begin(), rows.end(), [](const std::string& r) {
      return Contains(r, "Download the img successfully!") && r.rfind("virtual-", 0) != 0;
    });
    EXPECT_EQ(static_cast<size_t>(success), c.progressStarts.size()) << output;
  }
}

}  // namespace
}  // namespace morvak::cli
