// Waits that never end: a handset that never sends its ASIC ID, a loader or
// programmer that never answers, at every place a reply is due. "Stop
// flashing" leaves the pending read alone (the worker stays, the run does not
// end); ending the program interrupts it within a second, and the run ends
// failed with the read's own lines.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Format.h"
#include "ImageWriter.h"
#include "LinkTexts.h"
#include "RunTexts.h"
#include "SeededImage.h"
#include "SweepHarness.h"

namespace morvak {
namespace {

using testing::HandsetRun;
using testing::Lines;
using testing::OpKind;
using testing::ProgramDirectory;
using testing::Step;
using testing::SweepHarness;
using testing::SweepSubject;
using testing::SweepTally;

using Clock = std::chrono::steady_clock;

ImageDesc HangImage() { return SeededImage(4096, {{0x100000, 3000}, {0x300000, 900}}, 1, {1}); }

// The n-th read (1-based) of `step` with `index` in the clean run.
size_t NthRead(const SweepSubject& s, Step step, uint32_t index, int n) {
  for (size_t i = 0; i < s.log.size(); ++i) {
    const bool indexed = step == Step::Block || step == Step::Report;
    if (s.log[i].kind == OpKind::Read && s.steps[i].step == step && (!indexed || s.steps[i].index == index) && --n == 0)
      return i;
  }
  return s.log.size();
}

struct HangCase {
  std::string faults;
  size_t read;  // the read that never completes, in the clean run's log
};

class WaitForever : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir.Config(testing::kSmallNandSizes);
    std::string problem;
    m_img = m_dir.Path("hang.img");
    ASSERT_EQ(WriteImage(m_img, HangImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
    ASSERT_TRUE(m_harness.Record(m_img, m_subject));
  }

  // One hang: Stop leaves the worker in its read; ending the program ends it.
  std::string RunHang(const HangCase& c, bool tryRestart) {
    const SweepSubject& s = m_subject;
    HandsetRun r = m_harness.Prepare(c.faults);
    if (!SweepHarness::Start(r, s.image)) return "Start refused";
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (!r.handset->Hung() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string problem;
    const auto note = [&problem](const std::string& what) { problem += (problem.empty() ? "" : "; ") + what; };
    if (!r.handset->Hung()) note("the handset never reached its hang");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    r.run->RequestStop();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    if (!r.run->WorkerAlive()) note("Stop ended a pending read");
    // One set of run state: no second run while the worker is alive.
    if (tryRestart && r.run->StartWorker()) note("a second run started beside the hung one");
    const Clock::time_point shutdown = Clock::now();
    r.run->Shutdown();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - shutdown);
    if (took > std::chrono::seconds(1)) note("ending the program took " + std::to_string(took.count()) + " ms");
    if (c.read >= s.log.size()) {
      note("no such read in the clean run");
    } else {
      const std::string end = SweepHarness::CheckEnd(
          r, SweepHarness::WithTail(s, c.read, testing::FailureTail(s.steps[c.read], OpKind::Read, s.paths)));
      if (!end.empty()) note(end);
    }
    const std::string fresh = m_harness.CheckFreshRun(r, s);
    if (!fresh.empty()) note(fresh);
    return problem;
  }

  // The same hang with a reply time-out: the run ends by itself, with the
  // time-out's line and then exactly the lines of a read that failed there.
  std::string RunTimedOut(const HangCase& c) {
    const SweepSubject& s = m_subject;
    HandsetRun r = m_harness.Prepare(c.faults);
    const std::chrono::milliseconds timeout(100);
    r.run->m_replyTimeoutOverride = timeout;
    if (!SweepHarness::Start(r, s.image)) return "Start refused";
    if (c.read >= s.log.size()) return "no such read in the clean run";
    if (!SweepHarness::WaitEnded(r, std::chrono::seconds(5))) {
      r.run->Shutdown();
      return "the reply time-out did not end the run";
    }
    Lines tail = {Format(texts::kNoAnswerFormat, SecondsText(timeout).c_str())};
    for (std::string& line : testing::FailureTail(s.steps[c.read], OpKind::Read, s.paths)) tail.push_back(line);
    std::string problem = SweepHarness::CheckEnd(r, SweepHarness::WithTail(s, c.read, tail));
    problem += m_harness.CheckFreshRun(r, s);
    return problem;
  }

  std::vector<HangCase> EveryReplyPoint() const {
    const SweepSubject& s = m_subject;
    std::vector<HangCase> cases = {
        {"hang=asic", testing::FirstOpOf(s.steps, Step::AsicId)},
        {"hang=ping", NthRead(s, Step::Ping, 0, 1)},
        {"hang=ram", NthRead(s, Step::RamType, 0, 1)},
        {"hang=config:1", NthRead(s, Step::Config, 0, 1)},
        {"hang=config:2", NthRead(s, Step::Config, 0, 2)},
    };
    for (uint32_t k = 1; k <= s.blocks.size(); ++k) {
      cases.push_back({"hang=ack:" + std::to_string(k), NthRead(s, Step::Block, k - 1, 1)});
      cases.push_back({"hang=crc:" + std::to_string(k), NthRead(s, Step::Block, k - 1, 2)});
      cases.push_back({"hang=run:" + std::to_string(k), NthRead(s, Step::Report, k, 1)});
    }
    return cases;
  }

  ProgramDirectory m_dir{"wait-forever-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  SweepHarness m_harness{m_dir};
  std::string m_img;
  SweepSubject m_subject;
};

TEST_F(WaitForever, EveryReplyThatNeverComesHoldsUntilTheProgramEnds) {
  const SweepSubject& s = m_subject;
  // The programmer, the raw part and three records (the layout among them).
  ASSERT_EQ(s.blocks.size(), 5u);
  bool first = true;
  for (const HangCase& c : EveryReplyPoint()) {
    testing::CountCase(&SweepTally::hangs, c.faults, RunHang(c, first));
    first = false;
  }
}

TEST_F(WaitForever, EveryReplyThatNeverComesEndsTheRunAtTheReplyTimeout) {
  ASSERT_EQ(m_subject.blocks.size(), 5u);
  for (const HangCase& c : EveryReplyPoint())
    testing::CountCase(&SweepTally::hangs, c.faults + " (reply time-out)", RunTimedOut(c));
}

// Waiting for a handset that never shows up: Stop ends the wait at once, and
// so does the end of the program.
TEST_F(WaitForever, AHandsetThatNeverAppearsEndsOnStopAndOnShutdown) {
  for (const bool shutdown : {false, true}) {
    HandsetRun r = m_harness.Prepare("appear=86400000");
    ASSERT_TRUE(SweepHarness::Start(r, m_img));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    ASSERT_TRUE(r.run->WorkerAlive());
    EXPECT_EQ(r.handset->Attaches(), 0u);
    const Clock::time_point stopped = Clock::now();
    if (shutdown) {
      r.run->Shutdown();
    } else {
      r.run->RequestStop();
    }
    ASSERT_TRUE(SweepHarness::WaitEnded(r, std::chrono::seconds(1)));
    EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(200));
    testing::Expectation e;
    e.lines = {m_subject.lines[0], texts::kWaitingForDevice,
               Format(texts::kDownloadFileToDeviceFailed, m_subject.paths.boot.c_str())};
    std::string problem = SweepHarness::CheckEnd(r, e);
    problem += m_harness.CheckFreshRun(r, m_subject);
    testing::CountCase(&SweepTally::hangs, shutdown ? "shutdown while waiting" : "stop while waiting", problem);
  }
}

}  // namespace
}  // namespace morvak
