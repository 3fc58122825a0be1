// Run records from the window: when file/LURRA.ini names a record file, every
// run the window started appends one line with its result and its last line;
// without one nothing is written; a record that cannot be written gets a line
// of its own and leaves the run's result as it was.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Format.h"
#include "JsonLine.h"
#include "RunTexts.h"
#include "UiTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
namespace fs = std::filesystem;

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of a string member of a record line (records here hold no escapes).
std::string Member(const std::string& record, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const size_t at = record.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t begin = at + key.size();
  return record.substr(begin, record.find('"', begin) - begin);
}

std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct RecordRow {
  const char* name;
  const char* recordLine;  // put into [LURRA_PARAMS]; empty for none
  const char* faults;
  bool succeeds;
  const char* lastLine;  // the run's last line; the elapsed time follows a success line
  bool written;
};

class WindowRecord : public WindowFixture, public ::testing::WithParamInterface<RecordRow> {
 protected:
  void SetUp() override {
    std::string config = kSmallConfig;
    config.insert(std::strlen("[LURRA_PARAMS]\n"), GetParam().recordLine);
    dir.Config(config);
  }
  std::string RecordPath() const { return dir.Path("records.jsonl"); }
};

TEST_P(WindowRecord, ARunInTheWindowIsRecordedAsConfigured) {
  const RecordRow& row = GetParam();
  Open(row.faults);
  const std::string image = Image();
  Choose(image);
  const std::vector<std::string> before = Listing(dir.Directory());
  const std::string earliest = FormatUtcTime(std::chrono::system_clock::now());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  const std::string latest = FormatUtcTime(std::chrono::system_clock::now());

  EXPECT_TRUE(Shows(row.succeeds ? dlg->m_hBmpSuccess : dlg->m_hBmpFailure)) << "the record leaves the result alone";
  const std::vector<std::string> posted = dlg->PostedLines();
  ASSERT_FALSE(posted.empty());
  const std::string lastLine = posted.back();
  EXPECT_EQ(lastLine.rfind(row.lastLine, 0), 0u) << lastLine;

  if (!row.written) {
    EXPECT_EQ(Listing(dir.Directory()), before) << "nothing is written anywhere beside the program";
    if (*row.recordLine != '\0') {
      // The record's own line on top, the run's lines below it unchanged.
      const std::vector<std::string> lines = LogLines();
      ASSERT_EQ(lines.size(), posted.size() + 1);
      const std::string reason = "cannot open the run record " + dir.Path("no/such/folder/records.jsonl") +
                                 ": " + std::strerror(ENOENT);
      EXPECT_EQ(lines.front(), Format(texts::kRunRecordNotWritten, reason.c_str()));
      EXPECT_EQ(lines[1], lastLine);
    } else {
      EXPECT_EQ(TopLine(), lastLine);
    }
    return;
  }
  EXPECT_EQ(TopLine(), lastLine) << "a written record adds no line";
  const std::vector<std::string> records = FileLines(RecordPath());
  ASSERT_EQ(records.size(), 1u);
  const std::string& record = records[0];
  EXPECT_EQ(Member(record, "result"), row.succeeds ? "succeeded" : "failed") << record;
  EXPECT_EQ(Member(record, "last_line"), lastLine) << record;
  EXPECT_EQ(Member(record, "image"), image) << record;
  // The time is when the worker was started: between the click and the end.
  const std::string time = Member(record, "time");
  EXPECT_LE(earliest, time);
  EXPECT_LE(time, latest);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowRecord,
    ::testing::Values(
        RecordRow{"Success", "RecordFile=records.jsonl\n", "", true, texts::kImgSucceeded, true},
        RecordRow{"Failure", "RecordFile=records.jsonl\n", "ram-refuse", false, texts::kInitDdrFailed, true},
        RecordRow{"NoRecordFile", "", "", true, texts::kImgSucceeded, false},
        RecordRow{"Unwritable", "RecordFile=no/such/folder/records.jsonl\n", "", true, texts::kImgSucceeded, false},
        RecordRow{"UnwritableFailure", "RecordFile=no/such/folder/records.jsonl\n", "ram-refuse", false,
                  texts::kInitDdrFailed, false}),
    [](const ::testing::TestParamInfo<RecordRow>& p) { return std::string(p.param.name); });

struct WindowRecords : WindowFixture {
  void SetUp() override {
    std::string config = kSmallConfig;
    config.insert(std::strlen("[LURRA_PARAMS]\n"), "RecordFile=records.jsonl\n");
    dir.Config(config);
  }
};

TEST_F(WindowRecords, EachRunAddsOneRecordAndOtherSendersOutcomesNone) {
  Open();
  // An outcome posted by another sender is no run of this window.
  dlg->PostMessage(WM_RUN_SUCCEEDED, 0, 0);
  dlg->PostMessage(WM_RUN_FAILED, 0, 0);
  Drain();
  EXPECT_FALSE(fs::exists(dir.Path("records.jsonl")));

  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  dlg->PostMessage(WM_RUN_FAILED, 0, 0);  // after the run: still no run
  Drain();
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  const std::vector<std::string> records = FileLines(dir.Path("records.jsonl"));
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& r : records) EXPECT_EQ(Member(r, "result"), "succeeded") << r;
}

TEST_F(WindowRecords, AStartRefusedByItsChecksIsNoRun) {
  Open();
  Choose(dir.Path("missing.img"));
  Click(IDC_START_FLASHING);
  Drain();
  EXPECT_EQ(TopLine(), "open file failed:" + dir.Path("missing.img"));
  dlg->PostMessage(WM_RUN_FAILED, 0, 0);
  Drain();
  EXPECT_FALSE(fs::exists(dir.Path("records.jsonl")));
}

}  // namespace
}  // namespace morvak
