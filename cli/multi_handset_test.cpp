// Several handsets at once on the console, run as a process on the demo
// image: parallel runs at a link limit, one handset failing among four, the
// summary, the blocks every handset received, run records and JSON events.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "HandsetContent.h"
#include "Sha256.h"
#include "cli_test_support.h"

namespace morvak {
namespace {

using namespace clitest;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The rows of the summary table, by port: the result column and the last line.
std::map<std::string, std::pair<std::string, std::string>> SummaryRows(const std::string& output) {
  std::map<std::string, std::pair<std::string, std::string>> rows;
  const std::vector<std::string> lines = SplitLines(output);
  const auto header = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("PORT ", 0) == 0; });
  if (header == lines.end()) return rows;
  const size_t resultAt = header->find("RESULT"), timeAt = header->find("TIME"), lineAt = header->find("LAST LINE");
  for (auto it = header + 1; it != lines.end() && it->size() > lineAt && it->rfind("virtual-", 0) == 0; ++it) {
    std::string result = it->substr(resultAt, timeAt - resultAt);
    result.erase(result.find_last_not_of(' ') + 1);
    rows[it->substr(0, it->find(' '))] = {result, it->substr(lineAt)};
  }
  return rows;
}

double SecondsToFlash(const std::string& faults, Outcome* outcome = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = RunCli("flash " + Quote("--virtual-handset=" + faults) + " " + Quote(MORVAK_DEMO_IMG));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(o.status, 0) << o.output;
  if (outcome != nullptr) *outcome = o;
  return seconds;
}

std::string ExpectedBlocks() { return ReadText(std::string(MORVAK_DEMO_BLOCKS_DIR) + "/demo.img.blocks"); }

TEST(MultiHandsetTest, FourHandsetsFlashInParallelInLittleMoreThanTheTimeOfOne) {
  // The best of three of each, so that a moment's load on the machine does
  // not decide the figure.
  double one = 1e9, four = 1e9;
  Outcome last;
  for (int attempt = 0; attempt < 3; ++attempt) {
    one = std::min(one, SecondsToFlash("speed=20"));
    four = std::min(four, SecondsToFlash("count=4,speed=20", &last));
  }
  const double ratio = four / one;
  RecordProperty("one_handset_s", std::to_string(one));
  RecordProperty("four_handsets_s", std::to_string(four));
  RecordProperty("ratio", std::to_string(ratio));
  std::printf("demo image at 20 MB/s: one handset %.3f s, four in parallel %.3f s, ratio %.2f\n", one, four, ratio);
  // Run one after another the four would take four times as long. The
  // sanitizers multiply the CPU time of every byte handled, so that four
  // handsets on two cores wait for the CPU, not for their links: there the
  // figure measures the sanitizer, and only the normal builds check it.
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(ratio, 1.5);
#endif
  const auto rows = SummaryRows(last.output);
  ASSERT_EQ(rows.size(), 4u) << last.output;
  for (const auto& [port, row] : rows) {
    EXPECT_EQ(row.first, "succeeded") << port;
    EXPECT_EQ(row.second.rfind("Download the img successfully!", 0), 0u) << port;
  }
  EXPECT_EQ(LastLine(last.output), "4 handsets: 4 succeeded, 0 failed");
}

TEST(MultiHandsetTest, EveryHandsetReceivedTheWholeImage) {
  Scratch scratch;
  const std::string blocks = scratch.Path("blocks");
  const Outcome o = RunCli("flash --virtual-handset=count=4 --record-blocks " + Quote(blocks) + " " +
                           Quote(MORVAK_DEMO_IMG));
  ASSERT_EQ(o.status, 0) << o.output;
  const std::string expected = ExpectedBlocks();
  ASSERT_FALSE(expected.empty());
  for (int k = 1; k <= 4; ++k) {
    const std::string got = ReadText(blocks + ".virtual-" + std::to_string(k));
    ASSERT_EQ(got.rfind("DATA_PROGRAM 0x10000000 ", 0), 0u) << k << ": " << got;
    EXPECT_EQ(got.substr(got.find('\n') + 1), expected) << k;
  }
}

// Every line of a handset's run carries its port, in the order of that run.
TEST(MultiHandsetTest, EveryLineNamesItsHandset) {
  const Outcome o = RunCli("flash --virtual-handset=count=3 " + Quote(MORVAK_DEMO_IMG));
  ASSERT_EQ(o.status, 0) << o.output;
  std::map<std::string, std::vector<std::string>> perHandset;
  for (const std::string& line : SplitLines(o.output)) {
    if (line.empty() || line.rfind("PORT", 0) == 0) break;  // the summary begins
    ASSERT_EQ(line.front(), '[') << line;
    perHandset[line.substr(1, line.find(']') - 1)].push_back(line.substr(line.find(']') + 2));
  }
  ASSERT_EQ(perHandset.size(), 3u);
  const Outcome single = RunCli("flash --virtual-handset " + Quote(MORVAK_DEMO_IMG));
  std::vector<std::string> alone = SplitLines(single.output);
  for (auto& [port, lines] : perHandset) {
    // The elapsed time at the end may differ by a second.
    ASSERT_EQ(lines.size(), alone.size()) << port;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1),
              std::vector<std::string>(alone.begin(), alone.end() - 1))
        << port;
  }
}

struct OneFailsCase {
  const char* name;
  const char* faults;    // the K:FAULT items
  const char* failing;   // the port that fails
  const char* lastLine;  // its last line
};

class OneOfFourFailsTest : public ::testing::TestWithParam<OneFailsCase> {};

TEST_P(OneOfFourFailsTest, TheOthersSucceedAndTheExitStatusIs1) {
  const OneFailsCase& c = GetParam();
  const Outcome o = RunCli("flash " + Quote(std::string("--virtual-handset=count=4,speed=50,") + c.faults) + " " +
                           Quote(MORVAK_DEMO_IMG));
  EXPECT_EQ(o.status, 1) << o.output;
  EXPECT_TRUE(Contains(o.output, "[" + std::string(c.failing) + "] " + c.lastLine)) << o.output;
  const auto rows = SummaryRows(o.output);
  ASSERT_EQ(rows.size(), 4u) << o.output;
  for (const auto& [port, row] : rows) {
    if (port == c.failing) {
      EXPECT_EQ(row.first, "failed");
      EXPECT_EQ(row.second.rfind(c.lastLine, 0), 0u) << row.second;
    } else {
      EXPECT_EQ(row.first, "succeeded") << port;
    }
  }
  EXPECT_EQ(LastLine(o.output), "4 handsets: 3 succeeded, 1 failed");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OneOfFourFailsTest,
    ::testing::Values(OneFailsCase{"RamRefused", "2:ram-refuse", "virtual-2", "Init the DDR failed"},
                      OneFailsCase{"ProgrammerError", "4:error=5@3", "virtual-4", "Message handler failed"},
                      OneFailsCase{"ConfigRefused", "1:config-refuse=b", "virtual-1",
                                   "Download the configration info failed!"},
                      OneFailsCase{"NoAsicId", "3:asic-fail", "virtual-3", "Download file to device failed:"},
                      // A handset's own fault takes the place of the one given for all,
                      // which comes too late in the run to matter.
                      OneFailsCase{"OwnFaultReplacesCommonOne", "error=5@99,2:error=5@2", "virtual-2",
                                   "Message handler failed!"}),
    [](const ::testing::TestParamInfo<OneFailsCase>& p) { return std::string(p.param.name); });

// A copy of the program with a file/ folder of its own, so that its
// configuration can name a record file.
class OwnProgram {
 public:
  explicit OwnProgram(const Scratch& scratch, const std::string& config) : m_dir(scratch.Path("program")) {
    fs::create_directories(m_dir + "/file");
    for (const char* name : {"2ND.nb0", "NANDOUT.nb0", "OneNANDOUT.nb0"})
      fs::copy_file(std::string(MORVAK_FILE_DIR) + "/" + name, m_dir + "/file/" + name);
    std::ofstream(m_dir + "/file/LURRA.ini") << config;
    fs::copy_file(MORVAK_CLI_PATH, Program());
  }
  std::string Program() const { return m_dir + "/morvak-cli"; }
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }

 private:
  std::string m_dir;
};

TEST(RunRecordCliTest, ALineForEveryHandsetOfARun) {
  Scratch scratch;
  const std::string records = scratch.Path("records.jsonl");
  const Outcome o = RunCli("flash --virtual-handset=count=4,3:ram-refuse --record " + Quote(records) + " " +
                           Quote(MORVAK_DEMO_IMG));
  ASSERT_EQ(o.status, 1) << o.output;
  std::string sha, error;
  ASSERT_TRUE(Sha256OfFile(MORVAK_DEMO_IMG, sha, error)) << error;
  const std::vector<std::string> lines = SplitLines(ReadText(records));
  ASSERT_EQ(lines.size(), 4u) << ReadText(records);
  // Each run's record is appended as the run ends: in the order they ended.
  for (int k = 1; k <= 4; ++k) {
    const std::string port = "\"port\":\"virtual-" + std::to_string(k) + "\"";
    const auto at = std::find_if(lines.begin(), lines.end(), [&port](const std::string& l) { return Contains(l, port); });
    ASSERT_NE(at, lines.end()) << port;
    const std::string& line = *at;
    // Every port's handset is a unit of its own.
    uint8_t id[VIRTUAL_ASIC_ID_SIZE];
    VirtualAsicId(id, k == 1 ? BenchUnit{} : BenchUnit{static_cast<uint32_t>(k), 1});
    EXPECT_EQ(line.rfind("{\"time\":\"", 0), 0u) << line;
    EXPECT_TRUE(Contains(line, "\"port\":\"virtual-" + std::to_string(k) + "\",\"asic_id\":\"" + HexOf(id, sizeof id)))
        << line;
    EXPECT_TRUE(Contains(line, "\"image\":\"" + std::string(MORVAK_DEMO_IMG) + "\",\"image_sha256\":\"" + sha +
                                   "\",\"image_type\":\"img\",\"flash_type\":\"NAND\",\"erase_reserved\":false"))
        << line;
    EXPECT_TRUE(Contains(line, k == 3 ? "\"result\":\"failed\"" : "\"result\":\"succeeded\"")) << line;
    EXPECT_TRUE(Contains(line, k == 3 ? "\"last_line\":\"Init the DDR failed\""
                                      : "\"last_line\":\"Download the img successfully!"))
        << line;
    EXPECT_TRUE(Contains(line, "\"elapsed_seconds\":")) << line;
  }
  // A second run appends.
  ASSERT_EQ(RunCli("flash --virtual-handset --record " + Quote(records) + " " + Quote(MORVAK_DEMO_IMG)).status, 0);
  EXPECT_EQ(SplitLines(ReadText(records)).size(), 5u);
}

TEST(RunRecordCliTest, RecordFileOfTheConfigurationAndTheOptionInItsPlace) {
  Scratch scratch;
  OwnProgram program(scratch, "[LURRA_PARAMS]\nRecordFile=records.jsonl\n");
  const std::string image = scratch.CopyOf(MORVAK_DEMO_IMG, "demo.img");
  ASSERT_EQ(RunCli("flash --virtual-handset=count=2 " + Quote(image), program.Program()).status, 0);
  EXPECT_EQ(SplitLines(ReadText(program.Path("records.jsonl"))).size(), 2u);
  const std::string other = scratch.Path("other.jsonl");
  ASSERT_EQ(RunCli("flash --virtual-handset --record " + Quote(other) + " " + Quote(image), program.Program()).status,
            0);
  EXPECT_EQ(SplitLines(ReadText(program.Path("records.jsonl"))).size(), 2u);
  EXPECT_EQ(SplitLines(ReadText(other)).size(), 1u);
  // A record that cannot be written fails the command before any run, with its own status.
  const Outcome o = RunCli("flash --virtual-handset --record " + Quote(scratch.Path("no/such/dir.jsonl")) + " " +
                           Quote(image), program.Program());
  EXPECT_EQ(o.status, 74) << o.output;
  EXPECT_TRUE(Contains(o.output, "cannot open the run record")) << o.output;
  EXPECT_FALSE(Contains(o.output, "Read the input file")) << o.output;
}

TEST(RunRecordCliTest, NoRecordUnlessAsked) {
  Scratch scratch;
  OwnProgram program(scratch, "[LURRA_PARAMS]\nCRCEnable=1\n");
  const std::string image = scratch.CopyOf(MORVAK_DEMO_IMG, "demo.img");
  ASSERT_EQ(RunCli("flash --virtual-handset " + Quote(image), program.Program()).status, 0);
  std::vector<std::string> made;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.Path("")))
    made.push_back(fs::relative(entry.path(), scratch.Path("")).string());
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"demo.img", "program", "program/file", "program/file/2ND.nb0",
                                            "program/file/LURRA.ini", "program/file/NANDOUT.nb0",
                                            "program/file/OneNANDOUT.nb0", "program/morvak-cli"}));
}

TEST(JsonCliTest, EveryLineIsAnEventWithTimeAndPort) {
  const Outcome o = RunCli("flash --json --virtual-handset=count=2,2:error=7@2 " + Quote(MORVAK_DEMO_IMG));
  ASSERT_EQ(o.status, 1) << o.output;
  const std::vector<std::string> lines = SplitLines(o.output);
  ASSERT_GT(lines.size(), 10u);
  std::map<std::string, int> results;
  for (const std::string& line : lines) {
    ASSERT_EQ(line.rfind("{\"time\":\"", 0), 0u) << line;
    ASSERT_EQ(line.back(), '}') << line;
    EXPECT_EQ(line.find('\t'), std::string::npos);
    if (Contains(line, "\"event\":\"result\"")) {
      const size_t at = line.find("\"port\":");
      ++results[line.substr(at, line.find(',', at) - at)];
    }
  }
  EXPECT_EQ(results["\"port\":\"virtual-1\""], 1);
  EXPECT_EQ(results["\"port\":\"virtual-2\""], 1);
  EXPECT_TRUE(Contains(o.output, "\"port\":\"virtual-2\",\"event\":\"status\",\"text\":\"Flash Firmware Error occurred:  code 7\""))
      << o.output;
  EXPECT_TRUE(Contains(o.output, "\"port\":\"virtual-2\",\"event\":\"message_box\",\"text\":\"Flash Firmware Error occurred:  code 7\""))
      << o.output;
  EXPECT_TRUE(Contains(o.output, "\"port\":\"virtual-1\",\"event\":\"progress_range\",\"range\":5}")) << o.output;
  EXPECT_TRUE(Contains(o.output, "\"port\":\"virtual-1\",\"event\":\"progress\",\"position\":5}")) << o.output;
  EXPECT_TRUE(Contains(lines.back(), "\"port\":null,\"event\":\"summary\",\"handsets\":2,\"succeeded\":1,\"failed\":1,\"stopped\":0}"))
      << lines.back();
}

}  // namespace
}  // namespace morvak
