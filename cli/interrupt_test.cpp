// Ctrl-C on the console, with the built morvak-cli as a process and real
// SIGINTs: the first acts as "Stop flashing" (the run ends at its next write,
// a pending read goes on), the second ends every pending read, so that every
// run ends with its lines and records, and the program with status 130.
// SIGTERM, SIGHUP, SIGQUIT and an output nobody reads any more end a station
// the same way, each with its own status.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// morvak-cli as a child process, its stdout and stderr in one pipe (of
// `pipeBytes`, or the system's size), stdin empty, its virtual handsets
// writing at once.
class CliProcess {
 public:
  explicit CliProcess(const std::vector<std::string>& args, int pipeBytes = 0) {
    int fds[2];
    if (pipe(fds) != 0) return;
    if (pipeBytes > 0) fcntl(fds[1], F_SETPIPE_SZ, pipeBytes);
    m_pid = fork();
    if (m_pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      dup2(fds[1], STDERR_FILENO);
      close(fds[0]);
      close(fds[1]);
      std::freopen("/dev/null", "r", stdin);
      // The thread sanitizer sleeps a second at every exit to catch late
      // races; here the time to exit is what is measured.
      const char* tsan = std::getenv("TSAN_OPTIONS");
      const std::string options = std::string(tsan != nullptr ? tsan : "") + " atexit_sleep_ms=0";
      setenv("TSAN_OPTIONS", options.c_str(), 1);
      std::vector<char*> argv;
      std::string path = MORVAK_CLI_PATH;
      argv.push_back(path.data());
      std::vector<std::string> copies = args;
      for (std::string& a : copies) {
        a = morvak::clitest::InstantFlash(a);
        argv.push_back(a.data());
      }
      argv.push_back(nullptr);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    m_out = fds[0];
  }
  ~CliProcess() {
    if (m_pid > 0 && !m_ended) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  bool Started() const { return m_pid > 0 && m_out >= 0; }
  void Interrupt() const { Send(SIGINT); }
  void Send(int signal) const { kill(m_pid, signal); }
  // The reader goes away: every later write of the program's fails.
  void CloseOutput() {
    close(m_out);
    m_out = -1;
  }
  const std::string& Output() const { return m_output; }

  // Reads what the program printed until `text` has appeared; false after `limit`.
  bool WaitFor(const std::string& text, milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (m_output.find(text) == std::string::npos) {
      if (Clock::now() >= deadline || !Pump(deadline)) return m_output.find(text) != std::string::npos;
    }
    return true;
  }
  // Waits for the program to end, reading its output unless `read` is
  // false; its exit status, or -1 when it has not ended within `limit` (or
  // ended by a signal).
  int WaitExit(milliseconds limit, bool read = true) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
      int status = 0;
      const pid_t done = waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid) {
        m_ended = true;
        while (Pump(Clock::now() + milliseconds(50))) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (Clock::now() >= deadline) return -1;
      if (read && m_out >= 0)
        Pump(std::min(deadline, Clock::now() + milliseconds(5)));
      else
        std::this_thread::sleep_for(milliseconds(5));
    }
  }
  bool Alive() {
    if (m_ended) return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) m_ended = true;
    return !m_ended;
  }

 private:
  // Takes what is there to read by `deadline`; false at the end of the output.
  bool Pump(Clock::time_point deadline) {
    if (m_out < 0) return false;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    pollfd fd{m_out, POLLIN, 0};
    const int ready = poll(&fd, 1, static_cast<int>(left > 0 ? left : 0));
    if (ready <= 0) return ready == 0 || errno == EINTR;
    char buffer[4096];
    const ssize_t n = read(m_out, buffer, sizeof buffer);
    if (n <= 0) return false;
    m_output.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t m_pid = -1;
  int m_out = -1;
  bool m_ended = false;
  std::string m_output;
};

std::string LastLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const size_t cut = text.rfind('\n');
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

// A reply that never comes: the first Ctrl-C cannot end the pending read,
// the second ends it, and the run ends with its step's lines.
struct HangCase {
  const char* name;
  const char* faults;
  const char* reached;  // printed just before the hang
  int settleMs;         // time for the run to reach its hang after that line
  const char* lastLine;
};

class HangInterruptTest : public ::testing::TestWithParam<HangCase> {};

TEST_P(HangInterruptTest, FirstCtrlCStopsTheSecondEndsAtOnce) {
  const HangCase& c = GetParam();
  CliProcess cli({"flash", std::string("--virtual-handset=") + c.faults, MORVAK_DEMO_IMG});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitFor(c.reached, milliseconds(10000))) << cli.Output();
  std::this_thread::sleep_for(milliseconds(c.settleMs));
  ASSERT_TRUE(cli.Alive()) << cli.Output();

  cli.Interrupt();
  ASSERT_TRUE(cli.WaitFor("Stopping", milliseconds(2000))) << cli.Output();
  // Stop leaves the pending read alone: the program is still there.
  EXPECT_EQ(cli.WaitExit(milliseconds(400)), -1) << cli.Output();
  ASSERT_TRUE(cli.Alive());

  const Clock::time_point second = Clock::now();
  cli.Interrupt();
  EXPECT_EQ(cli.WaitExit(milliseconds(2000)), 130) << cli.Output();
  EXPECT_LT(Clock::now() - second, milliseconds(1000));
  EXPECT_EQ(LastLine(cli.Output()).rfind(c.lastLine, 0), 0u) << cli.Output();
}

INSTANTIATE_TEST_SUITE_P(
    Hangs, HangInterruptTest,
    ::testing::Values(HangCase{"NoAsicId", "hang=asic", "Loading Secondary Boot Code", 50, "Download file to device failed:"},
                      HangCase{"LoaderNeverAnswersThePing", "hang=ping", "Loading Secondary Boot Code", 150,
                               "Download file to device failed:"},
                      HangCase{"ProgrammerNeverReportsItsStart", "hang=run", "Downloading the out file:", 150,
                               "It is an invalide return value"},
                      HangCase{"ProgrammerNeverReportsARecord", "hang=run:4", "Downloading the out file:", 400,
                               "Message handler failed"}),
    [](const ::testing::TestParamInfo<HangCase>& p) { return std::string(p.param.name); });

// Where the run can notice the stop, one Ctrl-C is enough: the run ends
// failed with its step's line and status 130.
struct StopCase {
  const char* name;
  const char* faults;
  const char* reached;
  int settleMs;
  const char* lastLine;  // the output's last line starts with this
  const char* contains;  // somewhere in the output
};

class StopInterruptTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopInterruptTest, OneCtrlCEndsTheRunFailed) {
  const StopCase& c = GetParam();
  CliProcess cli({"flash", std::string("--virtual-handset=") + c.faults, MORVAK_DEMO_IMG});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitFor(c.reached, milliseconds(10000))) << cli.Output();
  std::this_thread::sleep_for(milliseconds(c.settleMs));
  ASSERT_TRUE(cli.Alive()) << cli.Output();
  const Clock::time_point first = Clock::now();
  cli.Interrupt();
  EXPECT_EQ(cli.WaitExit(milliseconds(3000)), 130) << cli.Output();
  EXPECT_LT(Clock::now() - first, milliseconds(1500));
  // The stop notice comes first: the run notices the stop only once the
  // program has passed it on.
  const std::string& out = cli.Output();
  EXPECT_NE(out.find("Stopping"), std::string::npos) << out;
  EXPECT_EQ(LastLine(out).rfind(c.lastLine, 0), 0u) << out;
  EXPECT_NE(out.find(c.contains), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StopInterruptTest,
    ::testing::Values(StopCase{"WhileWaitingForTheHandset", "appear=86400000", "Waiting for USB device to connect", 50,
                               "Download file to device failed:", "2ND.nb0"},
                      // At 1 MB/s the image takes seconds: the next write is refused.
                      StopCase{"DuringTheTransfer", "speed=1", "Downloading the out file:", 600,
                               "Download the file to device failed:", "Error: couldn't write USB data"}),
    [](const ::testing::TestParamInfo<StopCase>& p) { return std::string(p.param.name); });

// A station with a run going on, ended from outside: every run that started
// ends with its record, the summary is written (where it can be read), and
// the status says what ended it. Port 2's handset writes at 1 MB/s, so that
// its run is mid-transfer when the station is ended.
struct EndCase {
  const char* name;
  std::vector<int> signals;  // sent 20 ms apart; none: the reader goes away
  int status;
};

class StationEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(StationEndTest, EveryRunThatStartedIsRecorded) {
  const EndCase& c = GetParam();
  const morvak::clitest::Scratch scratch;
  const std::string records = scratch.Path("records.jsonl");
  CliProcess cli({"flash", "--watch", "--record", records, "--virtual-handset=count=2,cycle=200,2:speed=1",
                  MORVAK_DEMO_IMG});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitFor("[virtual-2] Downloading the out file:", milliseconds(10000))) << cli.Output();
  if (c.signals.empty()) cli.CloseOutput();
  for (const int signal : c.signals) {
    cli.Send(signal);
    std::this_thread::sleep_for(milliseconds(20));
  }
  ASSERT_EQ(cli.WaitExit(milliseconds(5000)), c.status) << cli.Output();

  const std::vector<std::string> lines = morvak::clitest::SplitLines(morvak::clitest::ReadText(records));
  size_t slowPort = 0;
  for (const std::string& line : lines) slowPort += line.find("\"port\":\"virtual-2\"") != std::string::npos ? 1u : 0u;
  EXPECT_EQ(slowPort, 1u) << "the run cut short is recorded";
  if (c.signals.empty()) return;  // nothing more could be read
  size_t results = 0;
  for (const std::string& line : morvak::clitest::SplitLines(cli.Output()))
    results +=
        line.find("] passed: ASIC ID ") != std::string::npos || line.find("] FAILED: ASIC ID ") != std::string::npos ||
                line.find("] stopped: ASIC ID ") != std::string::npos
            ? 1u
            : 0u;
  EXPECT_EQ(results, lines.size()) << cli.Output();
  EXPECT_EQ(LastLine(cli.Output()).rfind(std::to_string(lines.size()) + " handsets: ", 0), 0u) << cli.Output();
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StationEndTest,
    ::testing::Values(EndCase{"Terminated", {SIGTERM}, 143}, EndCase{"HungUp", {SIGHUP}, 129},
                      EndCase{"Quit", {SIGQUIT}, 131},
                      // The third press comes too soon to quit at once: it is the same hurry.
                      EndCase{"CtrlCThreeTimesInHaste", {SIGINT, SIGINT, SIGINT}, 130},
                      EndCase{"OutputClosed", {}, 141}),
    [](const ::testing::TestParamInfo<EndCase>& p) { return std::string(p.param.name); });

// A station stuck in a write to an output nobody reads cannot end its runs:
// a third Ctrl-C quits at once, but only 2 s or more after the second.
TEST(StuckStationTest, ALateThirdCtrlCQuitsAtOnce) {
#if defined(__SANITIZE_THREAD__)
  // The thread sanitizer delivers a signal only at its own points of
  // synchronisation, late and at no time a test of its timing can bound.
  GTEST_SKIP() << "signal timing under the thread sanitizer";
#endif
  CliProcess cli({"flash", "--watch", "--json", "--virtual-handset=count=2,cycle=100", MORVAK_DEMO_IMG}, 4096);
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitFor("\"event\":\"status\"", milliseconds(10000))) << cli.Output();
  std::this_thread::sleep_for(milliseconds(1000));  // the pipe fills
  for (int press = 0; press < 3; ++press) {
    cli.Interrupt();
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_EQ(cli.WaitExit(milliseconds(2000), false), -1) << "a third press within 2 s is ignored";
  const Clock::time_point late = Clock::now();
  cli.Interrupt();
  EXPECT_EQ(cli.WaitExit(milliseconds(1000), false), 130);
  EXPECT_LT(Clock::now() - late, milliseconds(500));
}

}  // namespace
