// The console as a station (flash --watch), run as a process on virtual
// benches: its result lines, tally, summary and exit status, --units, a
// handset left plugged in and Ctrl-C (the engine's own tests check each
// unit's record and identity). The benches swap their handsets
// more slowly than the station looks (cycle=150 against its 50 ms), as an
// operator's hands would. Every run is bounded by timeout(1),
// so that a station that never ends fails its case instead of hanging.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace morvak {
namespace {

using namespace clitest;

struct WatchCase {
  const char* name;
  std::string options;  // after "flash --watch"
  // timeout(1)'s signal and seconds: KILL ends a hung station (the case
  // fails), INT is the operator's Ctrl-C.
  std::string signal;
  const char* seconds;
  int status;
  size_t results;
  // The port whose unit fails and its place among that port's results (1
  // for its first); empty: none fails.
  std::string failedPort;
  size_t failedUnit;
};

void PrintTo(const WatchCase& c, std::ostream* os) { *os << c.name; }

// The result lines of a station's text output, "[PORT] passed: ..." or
// "[PORT] FAILED: ...", in the order shown.
std::vector<std::string> ResultLines(const std::string& output) {
  std::vector<std::string> results;
  for (const std::string& line : SplitLines(output)) {
    const size_t close = line.find("] ");
    if (line.rfind('[', 0) != 0 || close == std::string::npos) continue;
    const std::string rest = line.substr(close + 2);
    if (rest.rfind("passed: ASIC ID ", 0) == 0 || rest.rfind("FAILED: ASIC ID ", 0) == 0) results.push_back(line);
  }
  return results;
}

std::string PortOf(const std::string& resultLine) { return resultLine.substr(1, resultLine.find(']') - 1); }

class WatchSessionTest : public ::testing::TestWithParam<WatchCase> {};

TEST_P(WatchSessionTest, EachUnitHasOneResult) {
  const WatchCase& c = GetParam();
  const Outcome o = RunCli("--preserve-status -s " + c.signal + " -k 5 " + c.seconds + " " + Quote(MORVAK_CLI_PATH) +
                               " flash --watch " + c.options + " " + Quote(MORVAK_DEMO_IMG),
                           "timeout");
  ASSERT_EQ(o.status, c.status) << o.output;
  const std::vector<std::string> results = ResultLines(o.output);
  ASSERT_EQ(results.size(), c.results) << o.output;

  // Which unit failed: the failedUnit-th result of its port, and no other.
  std::map<std::string, size_t> seen;
  size_t failures = 0;
  for (const std::string& line : results) {
    const size_t nth = ++seen[PortOf(line)];
    if (line.find("] FAILED: ") == std::string::npos) continue;
    ++failures;
    EXPECT_EQ(PortOf(line), c.failedPort) << line;
    EXPECT_EQ(nth, c.failedUnit) << line;
  }
  EXPECT_EQ(failures, c.failedPort.empty() ? 0u : 1u) << o.output;
  if (c.results > 0) {
    const std::string tally = "tally: " + std::to_string(c.results - failures) + " passed, " +
                              std::to_string(failures) + " failed, ";
    EXPECT_NE(o.output.find(tally), std::string::npos) << o.output;
    EXPECT_EQ(LastLine(o.output), std::to_string(c.results) + " handsets: " + std::to_string(c.results - failures) +
                                      " succeeded, " + std::to_string(failures) + " failed");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stations, WatchSessionTest,
    ::testing::Values(
        // error=C@K@U: the third unit of port 2 fails at its 2nd run command.
        WatchCase{"ThirdUnitOfPortTwoFails", "--units 8 --virtual-handset=count=2,cycle=150,2:error=5@2@3", "KILL",
                  "60", 1, 8, "virtual-2", 3},
        // Without cycle= the handsets stay: each is flashed once, and the
        // station waits until Ctrl-C, then ends with no run failed and Ctrl-C's status.
        WatchCase{"HandsetLeftPluggedInIsFlashedOnce", "--virtual-handset=count=2", "INT", "2", 130, 2, "", 0},
        WatchCase{"NoUnitsIsBadUsage", "--units=0 --virtual-handset", "KILL", "60", 2, 0, "", 0}),
    [](const ::testing::TestParamInfo<WatchCase>& param) { return std::string(param.param.name); });

TEST(WatchSessionJsonTest, EveryRunHasAResultAndATally) {
  const Outcome o = RunCli("--preserve-status -s KILL 60 " + Quote(MORVAK_CLI_PATH) +
                               " flash --watch --json --units 4 --virtual-handset=count=2,cycle=150 " +
                               Quote(MORVAK_DEMO_IMG),
                           "timeout");
  ASSERT_EQ(o.status, 0) << o.output;
  size_t results = 0, tallies = 0;
  for (const std::string& line : SplitLines(o.output)) {
    results += line.find("\"event\":\"result\"") != std::string::npos ? 1u : 0u;
    tallies += line.find("\"event\":\"tally\"") != std::string::npos ? 1u : 0u;
  }
  EXPECT_EQ(results, 4u);
  EXPECT_EQ(tallies, 4u);
  EXPECT_NE(LastLine(o.output).find("\"handsets\":4,\"succeeded\":4,\"failed\":0"), std::string::npos) << o.output;
}

}  // namespace
}  // namespace morvak
