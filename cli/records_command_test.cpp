// morvak-cli records, in process: what it lists and totals of a record file
// with --since, --failed and --csv, the lines it leaves out, and its usage.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <fstream>

#include "CapturedStream.h"
#include "FieldText.h"
#include "RecordsCommand.h"

namespace morvak::cli {
namespace {

namespace fs = std::filesystem;

// Three ports; virtual-1 flashes two units in the first hour, 1-2.3 fails
// one the next day and the operator stops the next run there.
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
    "\"image\":\"/srv/img/a,b.raw\",\"image_sha256\":null,\"result\":\"failed\",\"stage\":\"record 3\","
    "\"error_code\":\"0x1B\",\"reason\":\"=the handset \\u202eanswered no more\",\"elapsed_seconds\":2.000}\n"
    "{\"time\":\"2026-12-11T09:00:00.000Z\",\"port\":\"1-2.3\"}\n"
    "{\"time\":\"2026-12-11T09:00:02.000Z\",\"port\":\"1-2.3\",\"asic_id\":\"bb01\",\"image\":\"/srv/img/a,b.raw\","
    "\"result\":\"stopped\",\"stage\":\"loader\",\"reason\":\"stopped by the operator\",\"elapsed_seconds\":1.000}\n";

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
        // 4 runs from 08:00 on the 10th to 09:00:03 on the 11th.
        ListCase{"All", {}, {"aa01", "aa02", "-", "bb01"}, "all 4 1 2 1 33.3% 0.2\n"},
        // The totals still count every run; a stopped run is not a failed one.
        ListCase{"FailedOnly", {"--failed"}, {"aa02", "-"}, "all 4 1 2 1 33.3% 0.2\n"},
        // From 08:30 on the 10th to 09:00:03 on the 11th.
        ListCase{"SinceUtc", {"--since", "2026-12-10T08:30:00Z"}, {"aa02", "-", "bb01"}, "all 3 0 2 1 0.0% 0.1\n"},
        ListCase{"SinceOffset", {"--since=2026-12-10T10:30:01+02:00"}, {"-", "bb01"}, "all 2 0 1 1 0.0% 2400.0\n"},
        ListCase{"FailedSince", {"--failed", "--since=2026-12-10T08:00:01Z"}, {"aa02", "-"}, "all 3 0 2 1 0.0% 0.1\n"},
        ListCase{"SinceLater", {"--since", "2027-01-01T00:00:00Z"}, {}, "all 0 0 0 0 - -\n"},
        ListCase{"SinceFarFuture", {"--since", "2263-01-01"}, {}, "all 0 0 0 0 - -\n"}),
    [](const ::testing::TestParamInfo<ListCase>& p) { return std::string(p.param.name); });

TEST(RecordsCommandTest, TextShowsTheImageNameAndTheStartOfItsDigestAndTotalsPerPort) {
  RecordFile file(kRecords);
  const Result r = Records({file.Path()});
  EXPECT_NE(r.out.find("TIME                      PORT       ASIC ID  RESULT     IMAGE     SHA-256       REASON\n"
                       "2026-12-10T08:00:00.000Z  virtual-1  aa01     succeeded  demo.img  0123456789ab  -\n"
                       "2026-12-10T08:30:00.000Z  virtual-1  aa02     failed     demo.img  0123456789ab  "
                       "Flash Firmware Error occurred:  code 5, \"bad\"\n"
                       "2026-12-11T09:00:00.000Z  1-2.3      -        failed     a,b.raw   -             "
                       "record 3: =the handset ?answered no more\n"
                       "2026-12-11T09:00:02.000Z  1-2.3      bb01     stopped    a,b.raw   -             "
                       "loader: stopped by the operator\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("PORT       RUNS  PASSED  FAILED  STOPPED  PASS RATE  UNITS/HOUR\n"
                       "1-2.3         2       0       1        1       0.0%      2400.0\n"
                       "virtual-1     2       1       1        0      50.0%         2.0\n"),
            std::string::npos)
      << r.out;
}

TEST(RecordsCommandTest, CsvQuotesWhatNeedsIt) {
  RecordFile file(kRecords);
  const Result r = Records({"--csv", file.Path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "time,port,asic_id,result,image,image_sha256,elapsed_seconds,last_line,stage,error_code,reason\n"
            "2026-12-10T08:00:00.000Z,virtual-1,aa01,succeeded,/srv/img/demo.img,0123456789abcdef0123,1800.000,ok,,,\n"
            "2026-12-10T08:30:00.000Z,virtual-1,aa02,failed,/srv/img/demo.img,0123456789abcdef0123,1800.000,"
            "\"Flash Firmware Error occurred:  code 5, \"\"bad\"\"\",,,\n"
            "2026-12-11T09:00:00.000Z,1-2.3,,failed,\"/srv/img/a,b.raw\",,2.000,,record 3,0x1B,"
            "'=the handset \\u202Eanswered no more\n"
            "2026-12-11T09:00:02.000Z,1-2.3,bb01,stopped,\"/srv/img/a,b.raw\",,1.000,,loader,,stopped by the operator\n"
            "\n"
            "port,runs,passed,failed,stopped,pass_rate,units_per_hour\n"
            "1-2.3,2,0,1,1,0.0,2400.0\n"
            "virtual-1,2,1,1,0,50.0,2.0\n"
            "all,4,1,2,1,33.3,0.2\n");
}

struct FieldCase {
  const char* text;
  const char* cell;  // in the text table
  const char* csv;
};

class FieldTextTest : public ::testing::TestWithParam<FieldCase> {};

// Nothing in a field can break a line, reorder what is shown, or run as a
// spreadsheet's formula.
TEST_P(FieldTextTest, ShowsAFieldAsTextOnly) {
  EXPECT_EQ(TableCell(GetParam().text), GetParam().cell) << GetParam().text;
  EXPECT_EQ(CsvField(GetParam().text), GetParam().csv) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldTextTest,
    ::testing::Values(FieldCase{"plain text", "plain text", "plain text"}, FieldCase{"", "-", ""},
                      FieldCase{" lead", " lead", "\" lead\""}, FieldCase{"a,\"b\"", "a,\"b\"", "\"a,\"\"b\"\"\""},
                      FieldCase{"two\nlines\r", "two?lines?", "two\\u000Alines\\u000D"},
                      FieldCase{"nul\x01\x1F\x7F", "nul???", "nul\\u0001\\u001F\\u007F"},
                      FieldCase{"=SUM(A1)", "=SUM(A1)", "'=SUM(A1)"}, FieldCase{"+1", "+1", "'+1"},
                      FieldCase{"-1,2", "-1,2", "\"'-1,2\""}, FieldCase{"@cmd", "@cmd", "'@cmd"},
                      FieldCase{"\t=1", "?=1", "'\\u0009=1"}, FieldCase{"\r", "?", "'\\u000D"},
                      FieldCase{"a=1", "a=1", "a=1"},
                      // C1 controls; U+00A0 and U+00E9 are text.
                      FieldCase{"\xC2\x85\xC2\x9B\xC2\xA0\xC3\xA9", "??\xC2\xA0\xC3\xA9", "\\u0085\\u009B\xC2\xA0\xC3\xA9"},
                      // Overrides, embeddings, isolates and marks; U+2014 and U+2070 are text.
                      FieldCase{"a\xE2\x80\xAE" "b\xE2\x80\xAA\xE2\x81\xA6\xE2\x81\xA9\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C",
                                "a?b??????", "a\\u202Eb\\u202A\\u2066\\u2069\\u200E\\u200F\\u061C"},
                      FieldCase{"\xE2\x80\x94\xE2\x81\xB0\xE2\x80\xAF", "\xE2\x80\x94\xE2\x81\xB0\xE2\x80\xAF",
                                "\xE2\x80\x94\xE2\x81\xB0\xE2\x80\xAF"},
                      // Cut-off UTF-8 stays as it is.
                      FieldCase{"\xE2\x80", "\xE2\x80", "\xE2\x80"}));

TEST(RecordsCommandTest, AFileThatCannotBeReadEndsWithStatus1) {
  const fs::path missing = fs::path(::testing::TempDir()) / "morvak-no-such-records.jsonl";
  Result r = Records({missing.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read the record file"), std::string::npos) << r.err;
  r = Records({::testing::TempDir()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
  RecordFile empty("\xEF\xBB\xBF");
  r = Records({empty.Path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty()) << r.err;
}

// A FIFO without a writer, or a device that never ends, is refused at once,
// before a byte is read.
TEST(RecordsCommandTest, AFileThatIsNotARegularFileIsRefused) {
  const fs::path fifo = fs::path(::testing::TempDir()) / ("morvak-records-fifo-" + std::to_string(::getpid()));
  fs::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo.string(), std::string("/dev/zero")}) {
    const auto start = std::chrono::steady_clock::now();
    const Result r = Records({path});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
    EXPECT_EQ(r.status, 1) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_NE(r.err.find("cannot read the record file " + path + ": not a regular file"), std::string::npos) << r.err;
  }
  fs::remove(fifo);
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
