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
  std::vector<std::string> turnedAway;
  std::vector<bool> stopping;
  size_t tallies = 0;
  size_t summaries = 0;
  uint64_t largestPayload = 0;

  void Result(const UnitRef& unit, const HandsetOutcome& o) override { results.emplace_back(unit, o); }
  void TurnedAway(const UnitRef&, const std::string& line) override { turnedAway.push_back(line); }
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
  size_t stopped;
  std::chrono::milliseconds within;  // the session ends within this
  size_t turnedAway = 0;             // units that had passed, not flashed again
  bool reflash = false;
  std::optional<std::chrono::milliseconds> idleEnd;
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
  setup.reflash = c.reflash;
  setup.idleEnd = c.idleEnd;
  setup.recordPath = records.string();
  const Clock::time_point start = Clock::now();
  setup.stopRequests = [&c, start] {
    return static_cast<int>(std::count_if(c.stopsAt.begin(), c.stopsAt.end(),
                                          [start](auto at) { return Clock::now() - start >= at; }));
  };
  Reports reports;
  const StationEnd end = RunStationSession(std::move(setup), reports, reports);
  EXPECT_LT(Clock::now() - start, c.within);

  size_t count[3] = {};
  std::set<std::string> ids;
  for (const HandsetOutcome& o : end.outcomes) {
    ++count[static_cast<size_t>(o.outcome)];
    EXPECT_TRUE(o.started);
    EXPECT_FALSE(o.port.empty());
    if (!o.asicIdHex.empty()) ids.insert(o.asicIdHex);
  }
  EXPECT_EQ(count[static_cast<size_t>(RunOutcome::Succeeded)], c.passed);
  EXPECT_EQ(count[static_cast<size_t>(RunOutcome::Failed)], c.failed);
  EXPECT_EQ(count[static_cast<size_t>(RunOutcome::Stopped)], c.stopped);
  EXPECT_EQ(end.AllPassed(), c.failed + c.stopped == 0);
  EXPECT_EQ(reports.turnedAway.size(), c.turnedAway);
  EXPECT_EQ(end.idleEnded, c.idleEnd.has_value());
  EXPECT_EQ(end.stopRequests, static_cast<int>(c.stopsAt.size()));
  // One result, one record per run; every unit a handset of its own.
  EXPECT_EQ(reports.results.size(), end.outcomes.size());
  std::set<size_t> units;
  for (const auto& [unit, outcome] : reports.results) units.insert(unit.unit);
  EXPECT_EQ(units.size(), end.outcomes.size());
  if (c.rearm && !c.reflash) {
    EXPECT_EQ(ids.size(), end.outcomes.size());
  }
  std::ifstream in(records);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) {
    ++lines;
    // A record says how its run ended, and where and why when it did not pass.
    const bool passedLine = line.find("\"result\":\"succeeded\"") != std::string::npos;
    EXPECT_EQ(line.find("\"reason\":null") != std::string::npos, passedLine) << line;
  }
  EXPECT_EQ(lines, end.outcomes.size());
  EXPECT_EQ(reports.problems.size(), c.idleEnd ? 1u : 0u);
  EXPECT_EQ(reports.summaries, 1u);
  EXPECT_EQ(reports.tallies, c.rearm ? end.outcomes.size() : 0u);
  // A watching session says what to unplug after every run that did not pass.
  const auto unplugs = static_cast<size_t>(std::count_if(reports.portLines.begin(), reports.portLines.end(),
      [](const std::string& l) { return l.find("unplug") != std::string::npos; }));
  EXPECT_EQ(unplugs, c.rearm ? c.failed + c.stopped : 0u);
  EXPECT_EQ(reports.stopping.size(), std::min<size_t>(c.stopsAt.size(), 2));
  if (c.failed + c.stopped == 0 && c.passed > 0) {
    EXPECT_GT(reports.largestPayload, 0u);
  }
  std::filesystem::remove(records);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, StationTest,
    ::testing::Values(
        Case{"FixedPortsEachRunOnce", "count=3,flash=0", false, {}, {}, {}, 3, 0, 0, 10s, 0, false, {}},
        Case{"FixedPortsWithAFailingUnit", "count=2,flash=0,2:error=5@3", false, {}, {}, {}, 1, 1, 0, 10s, 0, false, {}},
        Case{"ReArmingFlashesHandsetAfterHandset", "count=2,flash=0,cycle=100", true, 6, {}, {}, 6, 0, 0, 10s, 0, false,
             {}},
        Case{"ReArmingWithAFailingUnit", "count=1,flash=0,cycle=100,error=5@3@2", true, 3, {}, {}, 2, 1, 0, 10s, 0, false,
             {}},
        Case{"AHungUnitEndsByTheReplyTimeout", "count=2,flash=0,2:hang=crc", false, {}, {}, 300ms, 1, 1, 0, 10s, 0, false,
             {}},
        // The first stop ends each run at its next write: stopped, not failed.
        Case{"StopEndsFixedRuns", "count=2", false, {}, {300ms}, {}, 0, 0, 2, 3s, 0, false, {}},
        // A read that never gets its answer goes on after the first stop;
        // the second ends it.
        Case{"InterruptEndsAPendingRead", "count=1,flash=0,hang=crc", false, {}, {300ms, 600ms}, {}, 0, 0, 1, 3s, 0, false,
             {}},
        // A watching session starts no run after the first stop and lets the
        // run going on end.
        Case{"StopEndsAWatchingSession", "count=1,cycle=100", true, {}, {1000ms}, {}, 1, 0, 0, 8s, 0, false, {}},
        // Handsets swapped faster than the station looks are each a new unit.
        Case{"FastSwapsAreNewUnits", "count=2,flash=0,cycle=1", true, 8, {}, {}, 8, 0, 0, 10s, 0, false, {}},
        // A unit that re-enumerates after it passed is not flashed again...
        Case{"APassedUnitIsNotFlashedAgain", "count=1,flash=0,cycle=200,reenumerate", true, 3, {}, {}, 3, 0, 0, 10s, 2,
             false, {}},
        // ... unless the operator asks for it.
        Case{"ReflashFlashesItAgain", "count=1,flash=0,cycle=200,reenumerate", true, 4, {}, {}, 4, 0, 0, 10s, 0, true, {}},
        // A watch with no handset ends once its wait has passed.
        Case{"NoHandsetEndsTheWatch", "count=1,appear=600000,cycle=100", true, {}, {}, {}, 0, 0, 0, 3s, 0, false, 300ms}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Once a record cannot be written, no further unit is flashed.
TEST(StationRecords, NoRecordNoRun) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / ("records-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const bool directory : {true, false}) {
    StationSetup setup;
    PortRequest request;
    request.virtualHandsets = true;
    request.faults = "count=2,flash=0,cycle=50";
    request.watch = true;
    std::string error;
    ASSERT_EQ(ChoosePorts(request, setup.ports, error), PortChoiceResult::kChosen) << error;
    setup.run.moduleDirectory = MORVAK_PROGRAM_DIR;
    setup.run.imagePath = MORVAK_DEMO_IMG;
    setup.rearm = true;
    setup.units = 8;
    // A directory is no record file; a file removed with its folder mid-session takes no more records.
    setup.recordPath = directory ? dir.string() : (dir / "gone" / "runs.jsonl").string();
    if (!directory) std::filesystem::create_directories(dir / "gone");
    const std::filesystem::path gone = dir / "gone";
    size_t results = 0;
    struct Counting : IRunReport, IStationReport {
      size_t* results;
      std::filesystem::path gone;
      std::vector<std::string> problems;
      void Result(const UnitRef&, const HandsetOutcome&) override {
        if (++*results == 1) std::filesystem::remove_all(gone);
      }
      void Problem(const std::string& text) override { problems.push_back(text); }
    } reports;
    reports.results = &results;
    reports.gone = directory ? std::filesystem::path() : gone;
    const StationEnd end = RunStationSession(std::move(setup), reports, reports);
    EXPECT_FALSE(end.recordsWritten);
    EXPECT_FALSE(end.AllPassed());
    // The directory is refused before any run; after the first record that
    // failed at most the runs going on then end.
    EXPECT_LE(end.outcomes.size(), directory ? 0u : 3u);
    ASSERT_FALSE(reports.problems.empty());
    EXPECT_NE(reports.problems.front().find(directory ? dir.filename().string() : "runs.jsonl"), std::string::npos)
        << reports.problems.front();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace morvak
