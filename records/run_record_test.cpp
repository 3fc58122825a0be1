// Run records: the JSON line of a record and appending from parallel writers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace morvak
