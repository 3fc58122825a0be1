// The engine below every front end, in process, on virtual benches: a fixed
// set of ports, a watching session re-arming its ports, failing and hung
// units, the operator's stop and the interrupt of pending reads, with what
// each reports and records.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "PortChoice.h"
#include "Station.h"

namespace morvak {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the session reported, as a front end sees it.
struct Reports : IRunReport, IStationReport {
  std::vector<std::pair<UnitRef, HandsetOutcome>> results;
  std::vector<std::string> portLines;
  std::vector<std::string> problems;
  std::vector<bool> stopping;
  size_t tallies = 0;
  size_t summaries = 0;
  uint64_t largestPayload = 0;

  void Result(const UnitRef& unit, const HandsetOutcome& o) override { results.emplace_back(unit, o); }
  void Payload(const UnitRef&, uint64_t sent, uint64_t) override { largestPayload = std::max(largestPayload, sent); }
  void PortLine(const PortRef& port, const RunEvent& event) override { portLines.push_back(port.name + " " + event.text); }
  void Problem(const std::string& text) override { problems.push_back(text); }
  void Stopping(bool endingReads) override { stopping.push_back(endingReads); }
  void Tally(const RecordTotals&) override { ++tallies; }
  void Summary(const std::vector<HandsetOutcome>&) override { ++summaries; }
};

struct Case {
  const char* name;
  const char* bench;  // the virtual handsets' fault text
  bool rearm;
  std::optional<uint64_t> units;
  std::vector<std::chrono::milliseconds> stopsAt;  // the operator's stop requests, from the start
  std::optional<std::chrono::milliseconds> replyTimeout;
  size_t passed;
  size_t failed;
  std::chrono::milliseconds within;  // the session ends within this
};

class StationTest : public ::testing::TestWithParam<Case> {};

TEST_P(StationTest, RunsReportsAndRecordsEveryUnit) {
  const Case& c = GetParam();
  const std::filesystem::path records =
      std::filesystem::path(::testing::TempDir()) / ("station-" + std::to_string(::getpid()) + ".jsonl");
  std::filesystem::remove(records);
  StationSetup setup;
  PortRequest request;
  request.virtualHandsets = true;
  request.faults = c.bench;
  request.watch = c.rearm;
  std::string error;
  ASSERT_EQ(ChoosePorts(request, setup.ports, error), PortChoiceResult::kChosen) << error;
  setup.run.moduleDirectory = MORVAK_PROGRAM_DIR;
  setup.run.imagePath = MORVAK_DEMO_IMG;
  setup.run.replyTimeout = c.replyTimeout;
  setup.rearm = c.rearm;
  setup.units = c.units;
  setup.recordPath = records.string();
  const Clock::time_point start = Clock::now();
  setup.stopRequests = [&c, start] {
    return static_cast<int>(std::count_if(c.stopsAt.begin(), c.stopsAt.end(),
                                          [start](auto at) { return Clock::now() - start >= at; }));
  };
  Reports reports;
  const StationEnd end = RunStationSession(std::move(setup), reports, reports);
  EXPECT_LT(Clock::now() - start, c.within);

  size_t passed = 0;
  std::set<std::string> ids;
  for (const HandsetOutcome& o : end.outcomes) {
    passed += o.succeeded ? 1 : 0;
    EXPECT_TRUE(o.started);
    EXPECT_FALSE(o.port.empty());
    if (!o.asicIdHex.empty()) ids.insert(o.asicIdHex);
  }
  EXPECT_EQ(passed, c.passed);
  EXPECT_EQ(end.outcomes.size() - passed, c.failed);
  EXPECT_EQ(end.AllPassed(), c.failed == 0);
  EXPECT_EQ(end.stopRequests, static_cast<int>(c.stopsAt.size()));
  // One result, one record per run; every unit a handset of its own.
  EXPECT_EQ(reports.results.size(), end.outcomes.size());
  std::set<size_t> units;
  for (const auto& [unit, outcome] : reports.results) units.insert(unit.unit);
  EXPECT_EQ(units.size(), end.outcomes.size());
  if (c.rearm) {
    EXPECT_EQ(ids.size(), end.outcomes.size());
  }
  std::ifstream in(records);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  EXPECT_EQ(lines, end.outcomes.size());
  EXPECT_TRUE(reports.problems.empty()) << reports.problems.front();
  EXPECT_EQ(reports.summaries, 1u);
  EXPECT_EQ(reports.tallies, c.rearm ? end.outcomes.size() : 0u);
  // A watching session says what to unplug after every failure.
  const auto unplugs = static_cast<size_t>(std::count_if(reports.portLines.begin(), reports.portLines.end(),
      [](const std::string& l) { return l.find("unplug") != std::string::npos; }));
  EXPECT_EQ(unplugs, c.rearm ? c.failed : 0u);
  EXPECT_EQ(reports.stopping.size(), std::min<size_t>(c.stopsAt.size(), 2));
  if (c.failed == 0) {
    EXPECT_GT(reports.largestPayload, 0u);
  }
  std::filesystem::remove(records);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, StationTest,
    ::testing::Values(
        Case{"FixedPortsEachRunOnce", "count=3,flash=0", false, {}, {}, {}, 3, 0, 10s},
        Case{"FixedPortsWithAFailingUnit", "count=2,flash=0,2:error=5@3", false, {}, {}, {}, 1, 1, 10s},
        Case{"ReArmingFlashesHandsetAfterHandset", "count=2,flash=0,cycle=100", true, 6, {}, {}, 6, 0, 10s},
        Case{"ReArmingWithAFailingUnit", "count=1,flash=0,cycle=100,error=5@3@2", true, 3, {}, {}, 2, 1, 10s},
        Case{"AHungUnitEndsByTheReplyTimeout", "count=2,flash=0,2:hang=crc", false, {}, {}, 300ms, 1, 1, 10s},
        // The first stop ends each run at its next write.
        Case{"StopEndsFixedRuns", "count=2", false, {}, {300ms}, {}, 0, 2, 3s},
        // A read that never gets its answer goes on after the first stop;
        // the second ends it.
        Case{"InterruptEndsAPendingRead", "count=1,flash=0,hang=crc", false, {}, {300ms, 600ms}, {}, 0, 1, 3s},
        // A watching session starts no run after the first stop and lets the
        // run going on end.
        Case{"StopEndsAWatchingSession", "count=1,cycle=100", true, {}, {1000ms}, {}, 1, 0, 8s}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace morvak
