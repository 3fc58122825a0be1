// The fault sweep: whole runs into the virtual handset, cut at every transfer
// boundary of a clean run and inside every payload, stopped after every
// transfer, and with each fault of the handset on its own. Every case must end
// with the lines of its step, the failure picture, nothing left allocated, in
// bounded time, and a good run must follow on a fresh handset.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "Format.h"
#include "ImageWriter.h"
#include "LinkTexts.h"
#include "RunTexts.h"
#include "SeededImage.h"
#include "SweepHarness.h"

namespace morvak {
namespace {

using testing::Expectation;
using testing::Lines;
using testing::LoggedOp;
using testing::OpKind;
using testing::OpStep;
using testing::ProgramDirectory;
using testing::Step;
using testing::SweepHarness;
using testing::SweepSubject;
using testing::SweepTally;
using testing::Tally;

// Small, but with every kind of record: the layout, one longer than a
// transfer (two writes of its payload) and one without data.
ImageDesc SweepImage() {
  // A record without data before the layout would fail Start's layout scan.
  return SeededImage(4096, {{0x100000, 5000}, {0x300000, 70000}, {0x200000, 0}, {0x400000, 77}}, 1, {2, 3});
}

class SummaryEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    const SweepTally& t = Tally();
    std::printf(
        "fault sweep: %d cases (%d cuts, %d stops, %d faults, %d hangs), %d ended as expected "
        "(%d succeeded by design: nothing or only CMD_END_TRANSFER was lost; %d recovered from the fault), %.1f s\n",
        t.cases, t.cuts, t.stops, t.faults, t.hangs, t.correct, t.succeeded, t.recovered, t.seconds);
    ::testing::Test::RecordProperty("fault_sweep_cases", t.cases);
    ::testing::Test::RecordProperty("fault_sweep_correct", t.correct);
  }
};
[[maybe_unused]] ::testing::Environment* const g_summary = ::testing::AddGlobalTestEnvironment(new SummaryEnvironment);

class FaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir.Config(testing::kSmallNandSizes);
    // Longer than a transfer, so the loader too goes out in two writes.
    m_dir.WriteFile("file/2ND.nb0", std::string(70000, '\x5A'));
    std::string problem;
    m_img = m_dir.Path("sweep.img");
    ASSERT_EQ(WriteImage(m_img, SweepImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
    m_raw = m_dir.Path("sweep.raw");
    RawDesc raw;
    raw.size = 4096;
    ASSERT_EQ(WriteRaw(m_raw, raw, problem), IMAGE_WRITE_OK) << problem;
    m_started = std::chrono::steady_clock::now();
  }
  void TearDown() override {
    Tally().seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
  }

  SweepSubject Subject(const std::string& image) {
    SweepSubject s;
    EXPECT_TRUE(m_harness.Record(image, s)) << "the clean run of " << image << " failed";
    return s;
  }

  // Cut points: the start, the end of every write, and points inside every write.
  static std::set<uint64_t> CutPoints(const SweepSubject& s) {
    std::set<uint64_t> cuts = {0};
    for (const LoggedOp& op : s.log) {
      if (op.kind != OpKind::Write) continue;
      cuts.insert(op.offset + op.length);
      if (op.length >= 2) cuts.insert(op.offset + op.length / 2);
      if (op.length > 16) {
        cuts.insert(op.offset + 1);
        cuts.insert(op.offset + op.length - 1);
      }
    }
    return cuts;
  }

  void SweepCuts(const SweepSubject& s) {
    for (const uint64_t cut : CutPoints(s)) {
      const size_t failing = testing::FirstOpFailingAtCut(s.log, cut);
      const std::string label = "disconnect=" + std::to_string(cut) + " (" +
                                (failing < s.log.size() ? testing::StepName(s.steps[failing].step) : "past the end") +
                                ")";
      const Expectation expected = SweepHarness::AtFailingOp(s, failing);
      if (expected.succeeds) ++Tally().succeeded;
      testing::CountCase(&SweepTally::cuts, label, m_harness.RunCase(s, "disconnect=" + std::to_string(cut), expected));
    }
  }

  void SweepStops(const SweepSubject& s) {
    for (size_t after = 0; after < s.log.size(); ++after) {
      const size_t failing = testing::FirstWriteAfter(s.log, after);
      const std::string label = "stop after transfer " + std::to_string(after) + " (" +
                                testing::StepName(s.steps[after].step) + ")";
      const Expectation expected = SweepHarness::AtFailingOp(s, failing);
      if (expected.succeeds) ++Tally().succeeded;
      testing::CountCase(&SweepTally::stops, label,
                         m_harness.RunCase(s, "", expected, [after](testing::HandsetRun& r) {
                           testing::RecordingRun* run = r.run.get();
                           r.log->afterOp = [run, after](size_t index) {
                             if (index == after) run->RequestStop();
                           };
                         }));
    }
  }

  ProgramDirectory m_dir{"fault-sweep-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  SweepHarness m_harness{m_dir};
  std::string m_img;
  std::string m_raw;
  std::chrono::steady_clock::time_point m_started;
};

TEST_F(FaultSweep, TheModelKnowsEveryTransferOfACleanRun) {
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(s.log.empty());
  // The programmer, the raw part and four records with data.
  EXPECT_EQ(s.blocks.size(), 6u);
  EXPECT_EQ(s.steps.front().step, Step::Open);
  EXPECT_EQ(s.steps.back().step, Step::EndTransfer);
  uint32_t runs = 0;
  for (const auto& step : s.steps)
    if (step.step == Step::Run) runs = step.index;
  EXPECT_EQ(runs, 6u);
  // The record of 70,000 bytes and the loader go out in two writes each.
  int payloadWrites = 0;
  for (size_t i = 0; i < s.log.size(); ++i)
    if (s.log[i].kind == OpKind::Write && s.log[i].length == 65536) ++payloadWrites;
  EXPECT_EQ(payloadWrites, 2);
}

TEST_F(FaultSweep, CutAtEveryBoundaryAndInsideEveryPayloadOfAnImgRun) {
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(HasFailure());
  SweepCuts(s);
}

TEST_F(FaultSweep, CutAtEveryBoundaryAndInsideEveryPayloadOfARawRun) {
  const SweepSubject s = Subject(m_raw);
  ASSERT_FALSE(HasFailure());
  SweepCuts(s);
}

// Without checksum queries every block is one exchange shorter.
TEST_F(FaultSweep, CutAtEveryBoundaryOfAnImgRunWithChecksumsOff) {
  m_dir.Config(std::string(testing::kSmallNandSizes) + "[LURRA_PARAMS]\nCRCEnable=0\n");
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(HasFailure());
  for (const OpStep& step : s.steps) ASSERT_NE(step.step, Step::Unknown);
  SweepCuts(s);
}

// Stop refuses every later write and leaves reads alone, so the run fails at
// the first write after the stop, with that write's lines; a stop after the
// last report refuses only CMD_END_TRANSFER, whose result the run ignores.
TEST_F(FaultSweep, StopAfterEveryTransferOfAnImgRun) {
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(HasFailure());
  SweepStops(s);
}

TEST_F(FaultSweep, StopAfterEveryTransferOfARawRun) {
  const SweepSubject s = Subject(m_raw);
  ASSERT_FALSE(HasFailure());
  SweepStops(s);
}

struct FaultCase {
  std::string faults;
  Step step;          // where the run fails
  uint32_t index;     // of the block or run
  Lines tail;         // its last lines
  bool box = false;
};

TEST_F(FaultSweep, EachFaultOfTheHandsetOnItsOwn) {
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(HasFailure());
  const std::string bootLine = Format(texts::kDownloadFileToDeviceFailed, s.paths.boot.c_str());
  std::vector<FaultCase> cases = {
      {"asic-fail", Step::AsicId, 0, {texts::kAsicIdFailed, bootLine}},
      {"ping-bad", Step::Ping, 0, {texts::kNotRecognized, texts::kBootCodeNotRunning, bootLine}},
      {"ram-refuse", Step::RamType, 0, {texts::kRamTypeFailed, texts::kInitDdrFailed}},
      {"crc-bad=4", Step::Block, 0,
       {texts::kCrcFailure, Format(texts::kDownloadTheFileFailed, s.paths.programmer.c_str())}},
      {"crc-bad=9", Step::Block, 0,
       {texts::kCrcFailure, Format(texts::kDownloadTheFileFailed, s.paths.programmer.c_str())}},
      {"config-refuse=a", Step::Config, 0, {texts::kConfigFailed}},
      {"config-refuse=b", Step::Config, 0, {texts::kConfigFailed}},
  };
  // Every run command can end in an error report, with any 32-bit code.
  const int32_t codes[] = {5, -1, 0, 2147483647, -2147483647 - 1, 9100};
  for (uint32_t run = 1; run <= 6; ++run) {
    const int32_t code = codes[run - 1];
    cases.push_back({"error=" + std::to_string(code) + "@" + std::to_string(run), Step::Report, run,
                     {Format(texts::kFirmwareErrorFormat, code), testing::ReportStepLine(run)}, true});
  }
  for (const FaultCase& c : cases) {
    const size_t at = testing::FirstOpOf(s.steps, c.step, c.index);
    ASSERT_LT(at, s.steps.size()) << c.faults;
    testing::CountCase(&SweepTally::faults, c.faults,
                       m_harness.RunCase(s, c.faults, SweepHarness::WithTail(s, at, c.tail, c.box)));
  }
}

// Checksum answers that are wrong fewer than four times in a row are retried,
// and a late handset or a slow link only take longer: these runs succeed.
TEST_F(FaultSweep, FaultsARunRecoversFrom) {
  const SweepSubject s = Subject(m_img);
  ASSERT_FALSE(HasFailure());
  for (const char* faults : {"crc-bad=1", "crc-bad=3", "appear=30", "speed=100"}) {
    ++Tally().recovered;
    testing::CountCase(&SweepTally::faults, faults,
                       m_harness.RunCase(s, faults, SweepHarness::AtFailingOp(s, s.log.size())));
  }
}

}  // namespace
}  // namespace morvak
