// Run records: the JSON line of a record, appending from parallel writers,
// after a torn line and onto a full file system, and refusing what is not a
// regular file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>  // mkfifo
#include <unistd.h>

#include "RunRecord.h"

namespace morvak {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

RunRecord FullRecord() {
  RunRecord r;
  r.started = std::chrono::system_clock::time_point{std::chrono::seconds(1709251199) + std::chrono::milliseconds(5)};
  r.port = "1-2.3";
  r.asicIdHex = "0a0b";
  r.imagePath = "/srv/images/\"new\".img";
  r.imageSha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  r.oneNand = true;
  r.rawImage = false;
  r.eraseReserved = true;
  r.crcEnable = false;
  r.outcome = RunOutcome::Failed;
  r.stage = "record 3";
  r.errorCode = 0x1B;
  r.reason = "the flash programmer reported an error: check the handset's flash, then replug it";
  r.lastLine = "Flash Firmware Error occurred:  code 5";
  r.elapsedSeconds = 12.3456;
  return r;
}

TEST(RunRecordTest, FormatsEveryFieldOnOneLine) {
  EXPECT_EQ(FormatRunRecord(FullRecord()),
            "{\"time\":\"2024-02-29T23:59:59.005Z\",\"port\":\"1-2.3\",\"asic_id\":\"0a0b\","
            "\"image\":\"/srv/images/\\\"new\\\".img\","
            "\"image_sha256\":\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\","
            "\"image_type\":\"img\",\"flash_type\":\"OneNAND\",\"erase_reserved\":true,\"crc_check\":false,"
            "\"result\":\"failed\",\"stage\":\"record 3\",\"error_code\":\"0x1B\","
            "\"reason\":\"the flash programmer reported an error: check the handset's flash, then replug it\","
            "\"last_line\":\"Flash Firmware Error occurred:  code 5\","
            "\"elapsed_seconds\":12.346}");
  RunRecord unknown;
  unknown.rawImage = true;
  unknown.outcome = RunOutcome::Succeeded;
  const std::string line = FormatRunRecord(unknown);
  EXPECT_NE(line.find("\"port\":null,\"asic_id\":null"), std::string::npos) << line;
  EXPECT_NE(line.find("\"image_sha256\":null,\"image_type\":\"raw\",\"flash_type\":\"NAND\""), std::string::npos)
      << line;
  EXPECT_NE(line.find("\"result\":\"succeeded\""), std::string::npos) << line;
}

TEST(RunRecordTest, ParallelWritersAppendWholeLines) {
  const std::string path = ::testing::TempDir() + "morvak-records-parallel-" + std::to_string(::getpid()) + ".jsonl";
  std::ofstream(path) << "{\"earlier\":true}\n";
  constexpr int kThreads = 8, kEach = 50;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t)
    writers.emplace_back([&, t] {
      RunRecord r = FullRecord();
      r.lastLine = std::string(3000, static_cast<char>('a' + t));  // longer than a small write
      for (int k = 0; k < kEach; ++k) {
        std::string error;
        EXPECT_TRUE(AppendRunRecord(path, r, error)) << error;
      }
    });
  for (std::thread& w : writers) w.join();
  const std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 1u + kThreads * kEach);
  EXPECT_EQ(lines[0], "{\"earlier\":true}");
  std::map<char, int> perWriter;
  for (size_t i = 1; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].rfind("{\"time\":", 0), 0u) << i;
    ASSERT_EQ(lines[i].back(), '}') << i;
    const size_t at = lines[i].find("\"last_line\":\"");
    ASSERT_NE(at, std::string::npos);
    const char c = lines[i][at + 13];
    EXPECT_NE(lines[i].find("\"last_line\":\"" + std::string(3000, c) + "\""), std::string::npos) << i;
    ++perWriter[c];
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(perWriter[static_cast<char>('a' + t)], kEach);
  std::filesystem::remove(path);
}

TEST(RunRecordTest, AFileThatCannotBeMadeIsAnError) {
  std::string error;
  EXPECT_FALSE(AppendRunRecord("/nonexistent-dir-of-morvak/records.jsonl", FullRecord(), error));
  EXPECT_NE(error.find("/nonexistent-dir-of-morvak/records.jsonl"), std::string::npos) << error;
}

std::string ScratchPath(const std::string& name) {
  return ::testing::TempDir() + "morvak-records-" + std::to_string(::getpid()) + "-" + name;
}

struct TornCase {
  const char* name;
  const char* before;  // the file's content before the record; nullptr: no file yet
  std::vector<std::string> lines;  // the lines read back before the record's own
};

class TornLineTest : public ::testing::TestWithParam<TornCase> {};

// The check makes a missing file and leaves an existing one as it is;
// whatever the file ends with, the record reads back as a line of its own
// and no blank line is made.
TEST_P(TornLineTest, TheRecordIsALineOfItsOwn) {
  const std::string path = ScratchPath(std::string("torn-") + GetParam().name);
  std::filesystem::remove(path);
  if (GetParam().before != nullptr) std::ofstream(path, std::ios::binary) << GetParam().before;
  std::string error;
  ASSERT_TRUE(CheckRecordTarget(path, error)) << error;
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  ASSERT_TRUE(AppendRunRecord(path, FullRecord(), error)) << error;
  std::vector<std::string> expected = GetParam().lines;
  expected.push_back(FormatRunRecord(FullRecord()));
  EXPECT_EQ(ReadLines(path), expected);
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, TornLineTest,
    ::testing::Values(TornCase{"Missing", nullptr, {}}, TornCase{"Empty", "", {}},
                      TornCase{"WholeLine", "{\"earlier\":true}\n", {"{\"earlier\":true}"}},
                      TornCase{"TornLine", "{\"earlier\":true}\n{\"time\":\"2026-",
                               {"{\"earlier\":true}", "{\"time\":\"2026-"}},
                      TornCase{"OnlyATornLine", "{\"ti", {"{\"ti"}}),
    [](const ::testing::TestParamInfo<TornCase>& p) { return std::string(p.param.name); });

struct NotRegularCase {
  const char* name;
  const char* path;  // nullptr: a FIFO made for the case
  const char* kind;
};

class NotRegularTest : public ::testing::TestWithParam<NotRegularCase> {};

// Refused at once by both calls, never opened: a FIFO without a reader would
// otherwise hold the caller until one came.
TEST_P(NotRegularTest, IsRefusedAtOnceByName) {
  const std::string path = GetParam().path == nullptr ? ScratchPath("fifo") : GetParam().path;
  if (GetParam().path == nullptr) {
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  }
  ::alarm(10);  // a hang ends the test process
  for (const bool append : {false, true}) {
    std::string error;
    EXPECT_FALSE(append ? AppendRunRecord(path, FullRecord(), error) : CheckRecordTarget(path, error)) << append;
    const std::string refusal = "cannot write the run record " + path + ": it is " + GetParam().kind + ", not a";
    EXPECT_EQ(error.rfind(refusal, 0), 0u) << error;
  }
  ::alarm(0);
  if (GetParam().path == nullptr) std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Files, NotRegularTest,
                         ::testing::Values(NotRegularCase{"Fifo", nullptr, "a FIFO"},
                                           NotRegularCase{"Directory", ".", "a directory"},
                                           NotRegularCase{"Device", "/dev/null", "a device"}),
                         [](const ::testing::TestParamInfo<NotRegularCase>& p) { return std::string(p.param.name); });

// The file-size limit stands in for a full disk: writes past it fail with
// EFBIG (SIGXFSZ ignored, as a full disk sends none), a write across it is
// cut short.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    ::signal(SIGXFSZ, m_oldHandler);
  }
 private:
  rlimit m_saved{};
  sighandler_t m_oldHandler = SIG_DFL;
};

struct FullCase {
  const char* name;
  rlim_t room;         // bytes the file may still grow by
  const char* reason;  // what the line says after the file's name
};

class FullFileSystemTest : public ::testing::TestWithParam<FullCase> {};

// A record that does not fit is false with a line naming the file; the next
// one, with room again, still reads back as a line of its own.
TEST_P(FullFileSystemTest, IsAnErrorAndTheNextRecordStandsAlone) {
  const std::string path = ScratchPath(std::string("full-") + GetParam().name);
  const std::string earlier = "{\"earlier\":true}\n";
  std::ofstream(path, std::ios::binary) << earlier;
  std::string error;
  {
    const FileSizeLimit limit(earlier.size() + GetParam().room);
    EXPECT_FALSE(AppendRunRecord(path, FullRecord(), error));
  }
  EXPECT_EQ(error.rfind("cannot write the run record " + path + ": " + GetParam().reason, 0), 0u) << error;
  ASSERT_TRUE(AppendRunRecord(path, FullRecord(), error)) << error;
  const std::vector<std::string> lines = ReadLines(path);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "{\"earlier\":true}");
  EXPECT_EQ(lines.back(), FormatRunRecord(FullRecord()));
  EXPECT_EQ(lines.size(), GetParam().room == 0 ? 2u : 3u);
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, FullFileSystemTest,
    ::testing::Values(FullCase{"NoRoom", 0, std::strerror(EFBIG)}, FullCase{"RoomForAPart", 10, "only 10 of "}),
    [](const ::testing::TestParamInfo<FullCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak
