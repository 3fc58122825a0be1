// morvak-cli records, in process: what it lists and totals of a record file
// with --since, --failed and --csv, the lines it leaves out, and its usage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CapturedStream.h"
#include "RecordsCommand.h"

namespace morvak::cli {
namespace {

namespace fs = std::filesystem;

// Three ports; virtual-1 flashes two units in the first hour, 1-2.3 fails
// one the next day.
constexpr const char* kRecords =
    "{\"time\":\"2026-12-10T08:00:00.000Z\",\"port\":\"virtual-1\",\"asic_id\":\"aa01\","
    "\"image\":\"/srv/img/demo.img\",\"image_sha256\":\"0123456789abcdef0123\",\"result\":\"succeeded\","
    "\"last_line\":\"ok\",\"elapsed_seconds\":1800.000}\n"
    "not a record at all\n"
    "{\"time\":\"2026-12-10T08:30:00.000Z\",\"port\":\"virtual-1\",\"asic_id\":\"aa02\","
    "\"image\":\"/srv/img/demo.img\",\"image_sha256\":\"0123456789abcdef0123\",\"result\":\"failed\","
    "\"last_line\":\"Flash Firmware Error occurred:  code 5, \\\"bad\\\"\",\"elapsed_seconds\":1800.000}\r\n"
    "\n"
    "{\"time\":\"2026-12-11T09:00:00.000Z\",\"port\":\"1-2.3\",\"asic_id\":null,"
    "\"image\":\"/srv/img/a,b.raw\",\"image_sha256\":null,\"result\":\"failed\",\"elapsed_seconds\":2.000}\n"
    "{\"time\":\"2026-12-11T09:00:00.000Z\",\"port\":\"1-2.3\"}\n";

class RecordFile {
 public:
  explicit RecordFile(const char* text)
      : m_path(fs::path(::testing::TempDir()) / ("morvak-records-" + std::to_string(::getpid()) + ".jsonl")) {
    std::ofstream(m_path, std::ios::binary) << text;
  }
  ~RecordFile() { fs::remove(m_path); }
  std::string Path() const { return m_path.string(); }

 private:
  fs::path m_path;
};

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result Records(std::vector<std::string> args) {
  std::string error;
  const auto options = ParseRecordsOptions(args, error);
  if (!options) return {2, "", error};
  clitest::Captured out, err;
  const int status = RunRecords(*options, out.File(), err.File());
  return {status, out.Text(), err.Text()};
}

struct ListCase {
  const char* name;
  std::vector<std::string> options;
  std::vector<std::string> listed;   // the ASIC IDs listed, "-" for none, in order
  const char* allTotals;             // the totals' "all" row, blanks between cells made one
};

class RecordsListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(RecordsListTest, ListsAndTotalsTheRunsAsked) {
  RecordFile file(kRecords);
  std::vector<std::string> args = GetParam().options;
  args.push_back(file.Path());
  const Result r = Records(args);
  ASSERT_EQ(r.status, 0) << r.err;
  // The malformed lines: the text and the line without a result.
  EXPECT_NE(r.err.find("2 lines are not a run record and left out: line 2 (not a JSON object), line 6 (no \"result\")"),
            std::string::npos)
      << r.err;
  std::vector<std::string> listed;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  for (std::getline(lines, line); !line.empty(); std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string time, port, asic;
    fields >> time >> port >> asic;
    listed.push_back(asic);
  }
  EXPECT_EQ(listed, GetParam().listed) << r.out;
  std::string allRow = r.out.substr(r.out.rfind("\nall ") + 1);
  for (size_t at; (at = allRow.find("  ")) != std::string::npos;) allRow.erase(at, 1);
  EXPECT_EQ(allRow, GetParam().allTotals) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Options, RecordsListTest,
    ::testing::Values(
        // 4 runs from 08:00 on the 10th to 09:00:02 on the 11th.
        ListCase{"All", {}, {"aa01", "aa02", "-"}, "all 3 1 2 33.3% 0.1\n"},
        // The totals still count every run.
        ListCase{"FailedOnly", {"--failed"}, {"aa02", "-"}, "all 3 1 2 33.3% 0.1\n"},
        // From 08:30 on the 10th to 09:00:02 on the 11th.
        ListCase{"SinceUtc", {"--since", "2026-12-10T08:30:00Z"}, {"aa02", "-"}, "all 2 0 2 0.0% 0.1\n"},
        ListCase{"SinceOffset", {"--since=2026-12-10T10:30:01+02:00"}, {"-"}, "all 1 0 1 0.0% 1800.0\n"},
        ListCase{"FailedSince", {"--failed", "--since=2026-12-10T08:00:01Z"}, {"aa02", "-"}, "all 2 0 2 0.0% 0.1\n"},
        ListCase{"SinceLater", {"--since", "2027-01-01T00:00:00Z"}, {}, "all 0 0 0 - -\n"}),
    [](const ::testing::TestParamInfo<ListCase>& p) { return std::string(p.param.name); });

TEST(RecordsCommandTest, TextShowsTheImageNameAndTheStartOfItsDigestAndTotalsPerPort) {
  RecordFile file(kRecords);
  const Result r = Records({file.Path()});
  EXPECT_NE(r.out.find("2026-12-10T08:00:00.000Z  virtual-1  aa01     succeeded  demo.img  0123456789ab\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("PORT       RUNS  PASSED  FAILED  PASS RATE  UNITS/HOUR\n"
                       "1-2.3         1       0       1       0.0%      1800.0\n"
                       "virtual-1     2       1       1      50.0%         2.0\n"),
            std::string::npos)
      << r.out;
}

TEST(RecordsCommandTest, CsvQuotesWhatNeedsIt) {
  RecordFile file(kRecords);
  const Result r = Records({"--csv", file.Path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "time,port,asic_id,result,image,image_sha256,elapsed_seconds,last_line\n"
            "2026-12-10T08:00:00.000Z,virtual-1,aa01,succeeded,/srv/img/demo.img,0123456789abcdef0123,1800.000,ok\n"
            "2026-12-10T08:30:00.000Z,virtual-1,aa02,failed,/srv/img/demo.img,0123456789abcdef0123,1800.000,"
            "\"Flash Firmware Error occurred:  code 5, \"\"bad\"\"\"\n"
            "2026-12-11T09:00:00.000Z,1-2.3,,failed,\"/srv/img/a,b.raw\",,2.000,\n"
            "\n"
            "port,runs,passed,failed,pass_rate,units_per_hour\n"
            "1-2.3,1,0,1,0.0,1800.0\n"
            "virtual-1,2,1,1,50.0,2.0\n"
            "all,3,1,2,33.3,0.1\n");
  EXPECT_EQ(CsvField(" lead"), "\" lead\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvField("plain text"), "plain text");
}

TEST(RecordsCommandTest, AFileThatCannotBeReadEndsWithStatus1) {
  const fs::path missing = fs::path(::testing::TempDir()) / "morvak-no-such-records.jsonl";
  Result r = Records({missing.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read the record file"), std::string::npos) << r.err;
  r = Records({::testing::TempDir()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
  RecordFile empty("");
  r = Records({empty.Path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty()) << r.err;
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* says;
};

class RecordsUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(RecordsUsageTest, IsRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(ParseRecordsOptions(GetParam().args, error));
  EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Args, RecordsUsageTest,
    ::testing::Values(UsageCase{"NoFile", {"--csv"}, "needs a FILE"},
                      UsageCase{"TwoFiles", {"a", "b"}, "exactly one FILE"},
                      UsageCase{"SinceWithoutTime", {"a", "--since"}, "needs a value"},
                      UsageCase{"SinceNotATime", {"a", "--since", "yesterday"}, "not a time"},
                      UsageCase{"SinceNoDay", {"a", "--since=2026-02-30"}, "not a time"},
                      UsageCase{"UnknownOption", {"a", "--all"}, "unknown option --all"},
                      UsageCase{"FileAfterDashes", {"--", "a", "b"}, "exactly one FILE"}),
    [](const ::testing::TestParamInfo<UsageCase>& p) { return std::string(p.param.name); });

TEST(RecordsCommandTest, AFileNamedLikeAnOptionAfterTwoDashes) {
  std::string error;
  const auto options = ParseRecordsOptions({"--failed", "--", "--csv"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->file, "--csv");
  EXPECT_TRUE(options->failedOnly);
  EXPECT_FALSE(options->csv);
}

}  // namespace
}  // namespace morvak::cli
