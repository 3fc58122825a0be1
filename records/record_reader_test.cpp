// Reading run records back: the lines the writer makes read as they were
// written, lines that are no record say why, times in every form an operator
// gives them, and the totals per port.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "IsoTime.h"
#include "RecordReader.h"
#include "RecordTotals.h"
#include "RunRecord.h"

namespace morvak {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::system_clock;

system_clock::time_point At(int64_t unixSeconds, int64_t ms = 0) {
  return system_clock::time_point{seconds(unixSeconds) + milliseconds(ms)};
}

// A fixed zone two hours east of UTC, without clock changes, for the test's span.
class FixedZone {
 public:
  FixedZone() {
    const char* tz = std::getenv("TZ");
    m_had = tz != nullptr;
    if (m_had) m_old = tz;
    ::setenv("TZ", "XYZ-2", 1);
    ::tzset();
  }
  ~FixedZone() {
    if (m_had) {
      ::setenv("TZ", m_old.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  bool m_had = false;
  std::string m_old;
};

TEST(RecordReaderTest, AWrittenRecordReadsBackWhole) {
  RunRecord written;
  written.started = At(1796889600, 123);  // 2026-12-10T08:00:00.123Z
  written.port = "virtual-2";
  written.asicIdHex = "56484e4401";
  written.imagePath = "/srv/images/\"new\",\n.img";
  written.imageSha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  written.outcome = RunOutcome::Succeeded;
  written.lastLine = "caf\xc3\xa9 \xf0\x9f\x93\xb1 \t done";
  written.elapsedSeconds = 12.5;
  RecordEntry read;
  std::string why;
  ASSERT_TRUE(ParseRecordLine(FormatRunRecord(written), read, why)) << why;
  EXPECT_EQ(read.started, written.started);
  EXPECT_EQ(read.time, "2026-12-10T08:00:00.123Z");
  EXPECT_EQ(read.port, written.port);
  EXPECT_EQ(read.asicId, written.asicIdHex);
  EXPECT_EQ(read.image, written.imagePath);
  EXPECT_EQ(read.imageSha256, written.imageSha256);
  EXPECT_EQ(read.outcome, RunOutcome::Succeeded);
  EXPECT_EQ(read.lastLine, written.lastLine);
  EXPECT_DOUBLE_EQ(read.elapsedSeconds, 12.5);
  EXPECT_EQ(read.Ended(), written.started + milliseconds(12500));

  RunRecord unknown;  // nothing known but the time and the result: nulls read as empty
  unknown.started = At(0);
  ASSERT_TRUE(ParseRecordLine(FormatRunRecord(unknown), read, why)) << why;
  EXPECT_TRUE(read.port.empty() && read.asicId.empty() && read.imageSha256.empty());
  EXPECT_EQ(read.outcome, RunOutcome::Failed);
}

struct LineCase {
  const char* name;
  const char* line;
  const char* why;  // empty for a record; else the reason must hold this
};

class RecordLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(RecordLineTest, ReadsARecordOrSaysWhyNot) {
  RecordEntry entry;
  entry.port = "untouched";
  std::string why;
  const bool read = ParseRecordLine(GetParam().line, entry, why);
  if (std::string(GetParam().why).empty()) {
    EXPECT_TRUE(read) << why;
    return;
  }
  EXPECT_FALSE(read);
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
  EXPECT_EQ(entry.port, "untouched");
}

#define REC(fields) "{\"time\":\"2026-12-10T08:00:00Z\",\"result\":\"failed\"" fields "}"

INSTANTIATE_TEST_SUITE_P(
    Lines, RecordLineTest,
    ::testing::Values(
        LineCase{"Minimal", REC(""), ""},
        LineCase{"FieldsItDoesNotKnow", REC(",\"operator\":{\"id\":[1,2.5e3,{\"x\":null}]},\"ok\":true"), ""},
        LineCase{"Blanks", "  { \"result\" : \"succeeded\" , \"time\" : \"2026-12-10T08:00:00Z\" }  ", ""},
        LineCase{"EscapesAndSurrogates", REC(",\"port\":\"a\\u00e9\\ud83d\\udcf1\\/\\\"\\\\\""), ""},
        LineCase{"LoneSurrogate", REC(",\"port\":\"\\udc00\""), ""},
        LineCase{"NotJson", "Flash Firmware Error occurred", "not a JSON object"},
        LineCase{"Torn", "{\"time\":\"2026-12-10T08:00:00Z\",\"resu", "cut off"},
        LineCase{"TwoObjects", REC("") REC(""), "more after"},
        LineCase{"Array", "[1,2]", "not a JSON object"},
        LineCase{"NoTime", "{\"result\":\"failed\"}", "no \"time\""},
        LineCase{"TimeNotATime", "{\"time\":\"yesterday\",\"result\":\"failed\"}", "ISO 8601"},
        LineCase{"TimeANumber", "{\"time\":1796889600,\"result\":\"failed\"}", "\"time\" is not a string"},
        LineCase{"NoResult", "{\"time\":\"2026-12-10T08:00:00Z\"}", "no \"result\""},
        LineCase{"OtherResult", "{\"time\":\"2026-12-10T08:00:00Z\",\"result\":\"ok\"}", "is not \"succeeded\""},
        LineCase{"PortANumber", REC(",\"port\":3"), "\"port\" is not a string"},
        LineCase{"ElapsedNegative", REC(",\"elapsed_seconds\":-1"), "elapsed_seconds"},
        LineCase{"ElapsedAString", REC(",\"elapsed_seconds\":\"5\""), "elapsed_seconds"},
        LineCase{"NameTwice", REC(",\"port\":\"a\",\"port\":\"b\""), "twice"},
        LineCase{"RawControlCharacter", REC(",\"port\":\"a\tb\""), "not JSON"},
        LineCase{"BadEscape", REC(",\"port\":\"\\x41\""), "not JSON"},
        LineCase{"LeadingZero", REC(",\"elapsed_seconds\":01"), "no ',' or '}'"},
        LineCase{"TooDeep", REC(",\"x\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"), "not JSON"}),
    [](const ::testing::TestParamInfo<LineCase>& p) { return std::string(p.param.name); });

struct TimeCase {
  const char* text;
  std::optional<Instant> expected;  // in the fixed zone UTC+2 where local
};

class IsoTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(IsoTimeTest, ReadsTheTimeInItsZone) {
  FixedZone zone;
  EXPECT_EQ(ParseIsoTime(GetParam().text), GetParam().expected) << GetParam().text;
}

// 2026-12-10T08:00:00Z is 1796889600.
INSTANTIATE_TEST_SUITE_P(
    Texts, IsoTimeTest,
    ::testing::Values(TimeCase{"2026-12-10T08:00:00Z", At(1796889600)},
                      TimeCase{"2026-12-10T08:00:00.123Z", At(1796889600, 123)},
                      TimeCase{"2026-12-10T08:00:00.1234567891Z", At(1796889600, 123) + std::chrono::nanoseconds(456789)},
                      TimeCase{"2026-12-10T08:00Z", At(1796889600)},
                      TimeCase{"2026-12-10T09:30:00+01:30", At(1796889600)},
                      TimeCase{"2026-12-10T03:00:00-0500", At(1796889600)},
                      TimeCase{"2026-12-10T10:00:00+02", At(1796889600)},
                      TimeCase{"2026-12-10T10:00:00", At(1796889600)},  // local: UTC+2
                      TimeCase{"2026-12-10 10:00:00", At(1796889600)},
                      TimeCase{"2026-12-10", At(1796889600 - 10 * 3600)},
                      TimeCase{"2024-02-29T00:00:00Z", At(1709164800)},
                      // Past the end of a nanosecond count in 64 bits (2262-04-11T23:47:16.854775807Z).
                      TimeCase{"2262-04-11T23:47:16.854775808Z", Instant{9223372036, 854775808}},
                      TimeCase{"2300-01-01T00:00:00Z", Instant{10413792000, 0}},
                      TimeCase{"9999-12-31T23:59:59.999999999Z", Instant{253402300799, 999999999}},
                      TimeCase{"9999-12-31T23:59:59", Instant{253402300799 - 7200, 0}},
                      TimeCase{"9999-12-31", Instant{253402214400 - 7200, 0}},
                      TimeCase{"1970-01-01T00:00:00Z", Instant{0, 0}},
                      TimeCase{"1970-01-01T01:00:00.5+02:00", Instant{-3600, 500000000}},
                      TimeCase{"2026-02-29", std::nullopt},
                      TimeCase{"2026-12-10T24:00:00Z", std::nullopt},
                      TimeCase{"2026-12-10T08:60Z", std::nullopt},
                      TimeCase{"2026-12-10T08:00:00.Z", std::nullopt},
                      TimeCase{"2026-12-10T08:00:00+1", std::nullopt},
                      TimeCase{"2026-12-10T08:00:00+01:", std::nullopt},
                      TimeCase{"2026-12-10T08", std::nullopt},
                      TimeCase{"2026-12-10T", std::nullopt},
                      TimeCase{"26-12-10", std::nullopt},
                      TimeCase{"2026-12-10Z", std::nullopt},
                      TimeCase{"2026-12-10T08:00:00Z ", std::nullopt},
                      TimeCase{"", std::nullopt}));

RecordEntry Rec(const char* port, int64_t start, double elapsed, bool succeeded,
               RunOutcome otherwise = RunOutcome::Failed) {
  RecordEntry r;
  r.port = port;
  r.started = At(start);
  r.elapsedSeconds = elapsed;
  r.outcome = succeeded ? RunOutcome::Succeeded : otherwise;
  return r;
}

// Times compare in their order across every year a record can have, and a
// run's end stays in order however long it took.
TEST(IsoTimeTest, TimesCompareInTheirOrder) {
  const char* ordered[] = {"1970-01-01T00:00:00Z",           "2026-12-10T08:00:00.123Z",
                           "2262-04-11T23:47:16.854775807Z", "2262-04-11T23:47:16.854775808Z",
                           "2263-01-01T00:00:00Z",           "9999-12-31T23:59:59.999999998Z",
                           "9999-12-31T23:59:59.999999999Z"};
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    const auto earlier = ParseIsoTime(ordered[i]);
    const auto later = ParseIsoTime(ordered[i + 1]);
    ASSERT_TRUE(earlier && later) << ordered[i];
    EXPECT_LT(*earlier, *later) << ordered[i] << " / " << ordered[i + 1];
  }
  const Instant last = *ParseIsoTime("9999-12-31T23:59:59.75Z");
  EXPECT_EQ(AddSeconds(last, 0.5), (Instant{253402300800, 250000000}));
  EXPECT_GT(AddSeconds(last, 1e300), last);
  EXPECT_DOUBLE_EQ((AddSeconds(last, 7200.25) - last).count(), 7200.25);
}

TEST(RecordTotalsTest, CountsPerPortInNaturalOrderOverTheTimeTheRunsTook) {
  // Port virtual-10 runs 3 units back to back in 30 minutes: 6 per hour.
  const std::vector<RecordEntry> runs = {
      Rec("virtual-10", 1200, 600, true), Rec("virtual-2", 0, 60, false), Rec("virtual-10", 0, 600, true),
      Rec("virtual-10", 600, 600, false), Rec("", 300, 10, true),         Rec("virtual-2", 3540, 60, true),
      Rec("virtual-2", 1800, 5, false, RunOutcome::Stopped),
  };
  const RecordSummary summary = TotalRecords(runs);
  ASSERT_EQ(summary.ports.size(), 3u);
  EXPECT_EQ(summary.ports[0].port, "");
  EXPECT_EQ(summary.ports[1].port, "virtual-2");
  EXPECT_EQ(summary.ports[2].port, "virtual-10");
  const RecordTotals& ten = summary.ports[2];
  EXPECT_EQ(ten.runs, 3u);
  EXPECT_EQ(ten.passed, 2u);
  EXPECT_EQ(ten.failed, 1u);
  EXPECT_NEAR(*ten.PassRate(), 66.667, 0.001);
  EXPECT_NEAR(*ten.UnitsPerHour(), 6.0, 1e-9);
  // virtual-2: three runs from 0:00 to 1:00.
  EXPECT_NEAR(*summary.ports[1].UnitsPerHour(), 3.0, 1e-9);
  // One run of 10 s: 360 per hour.
  EXPECT_NEAR(*summary.ports[0].UnitsPerHour(), 360.0, 1e-9);
  // A stopped run is a run, but neither passed nor failed.
  EXPECT_EQ(summary.ports[1].runs, 3u);
  EXPECT_EQ(summary.ports[1].failed, 1u);
  EXPECT_EQ(summary.ports[1].stopped, 1u);
  EXPECT_NEAR(*summary.ports[1].PassRate(), 50.0, 1e-9);
  EXPECT_EQ(summary.all.runs, 7u);
  EXPECT_EQ(summary.all.passed, 4u);
  EXPECT_EQ(summary.all.failed, 2u);
  EXPECT_EQ(summary.all.stopped, 1u);
  EXPECT_NEAR(*summary.all.UnitsPerHour(), 7.0, 1e-9);

  // No runs, or none that took time: no rate.
  EXPECT_FALSE(TotalRecords({}).all.PassRate());
  EXPECT_FALSE(TotalRecords({}).all.UnitsPerHour());
  EXPECT_FALSE(TotalRecords({Rec("a", 5, 0, true)}).all.UnitsPerHour());
}

TEST(RecordTotalsTest, PortsInNaturalOrder) {
  const std::vector<std::string> ordered = {"", "1-2", "1-2.3", "1-10", "1-10.1", "2-1", "virtual-1",
                                            "virtual-2", "virtual-09", "virtual-10"};
  for (size_t i = 0; i < ordered.size(); ++i)
    for (size_t j = 0; j < ordered.size(); ++j)
      EXPECT_EQ(PortBefore(ordered[i], ordered[j]), i < j) << ordered[i] << " / " << ordered[j];
}

#define LINE(asic) "{\"time\":\"2026-12-10T08:00:00Z\",\"result\":\"failed\",\"asic_id\":\"" asic "\"}"

struct FileCase {
  const char* name;
  std::string bytes;
  // What is read, in order: "3 aa" a record of line 3 with ASIC ID aa, "3! why" a malformed line 3.
  std::vector<std::string> read;
};

class RecordFileTest : public ::testing::TestWithParam<FileCase> {};

std::vector<std::string> ReadAll(const RecordFile& file) {
  std::vector<std::string> read;
  std::string error;
  const RecordSink sink{[&](const RecordEntry& r) { read.push_back(std::to_string(r.line) + " " + r.asicId); },
                        [&](const MalformedRecord& m) { read.push_back(std::to_string(m.line) + "! " + m.why); }};
  EXPECT_TRUE(file.Read(sink, error)) << error;
  return read;
}

class TempFile {
 public:
  explicit TempFile(const std::string& bytes)
      : m_path(std::filesystem::path(::testing::TempDir()) / ("morvak-reader-" + std::to_string(::getpid()))) {
    std::ofstream(m_path, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove(m_path); }
  std::string Path() const { return m_path.string(); }

 private:
  std::filesystem::path m_path;
};

TEST_P(RecordFileTest, ReadsEveryLineItCanAndNamesTheRest) {
  TempFile temp(GetParam().bytes);
  RecordFile file;
  std::string error;
  ASSERT_TRUE(file.Open(temp.Path(), error)) << error;
  EXPECT_EQ(ReadAll(file), GetParam().read);
  EXPECT_EQ(ReadAll(file), GetParam().read);  // a second reading reads the same
}

const std::string kLong(kRecordLineLimit, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, RecordFileTest,
    ::testing::Values(
        FileCase{"LineEnds", LINE("a") "\r\n\n  \t\r\n" LINE("b"), {"1 a", "4 b"}},
        FileCase{"ByteOrderMark", "\xEF\xBB\xBF" LINE("a") "\n" LINE("b") "\n", {"1 a", "2 b"}},
        // A mark anywhere else is no part of a record; what follows it is.
        FileCase{"ByteOrderMarkLater", LINE("a") "\n\xEF\xBB\xBF" LINE("b") "\n", {"1 a", "2! not a JSON object", "2 b"}},
        FileCase{"TornThenGlued",
                 "{\"time\":\"2026-12-10T08:00:00Z\",\"last_line\":\"Flash{" LINE("b") "\n" LINE("c"),
                 {"1! cut off: the line ends inside the object", "1 b", "2 c"}},
        FileCase{"TwoWholeRecordsGlued", LINE("a") LINE("b") "\n", {"1 a", "1 b"}},
        FileCase{"GluedToSomethingElse", "Flash Firmware Error occurred" LINE("b") "\n",
                 {"1! not a JSON object", "1 b"}},
        FileCase{"NothingWholeAfterABrace", "{\"time\":{\"a\":1\n", {"1! cut off: the line ends inside the object"}},
        FileCase{"LineTooLong", LINE("a") "\n" + kLong + "x\n" + LINE("c") "\n",
                 {"1 a", "2! longer than 1 MiB", "3 c"}},
        FileCase{"LastLineTooLong", LINE("a") "\n" + kLong + "xx", {"1 a", "2! longer than 1 MiB"}},
        // A record as long as a line may be, over several of the reader's chunks.
        FileCase{"LongestRecord",
                 "{\"time\":\"2026-12-10T08:00:00Z\",\"result\":\"failed\",\"asic_id\":\"z\",\"last_line\":\"" +
                     std::string(kRecordLineLimit - 90, 'y') + "\"}\r\n" LINE("b"),
                 {"1 z", "2 b"}}),
    [](const ::testing::TestParamInfo<FileCase>& p) { return std::string(p.param.name); });

TEST(RecordFileTest, ReadsTheBytesTheFileHeldWhenOpened) {
  TempFile temp(LINE("a") "\n{\"time\":\"2026-12-10T08:00:00Z\",\"res");
  RecordFile file;
  std::string error;
  ASSERT_TRUE(file.Open(temp.Path(), error)) << error;
  std::ofstream(temp.Path(), std::ios::binary | std::ios::app) << "ult\":\"failed\"}\n" LINE("c") "\n";
  const std::vector<std::string> read{"1 a", "2! cut off: the line ends inside the object"};
  EXPECT_EQ(ReadAll(file), read);
  EXPECT_EQ(ReadAll(file), read);
}

}  // namespace
}  // namespace morvak
