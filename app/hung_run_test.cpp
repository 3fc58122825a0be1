// Waits that never end, from the window: a handset that never shows up, one
// whose boot ROM never sends the ASIC ID, a loader that never answers the
// ping, a programmer that never reports, a checksum that never comes. Stop
// refuses every later write but does not interrupt a pending read, so a run
// blocked in a read goes on while Start is given back; closing the window
// ends such a run (once the operator has said yes), joins its worker within a
// second and records it as failed.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "Format.h"
#include "LinkTexts.h"
#include "RunTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct HangRow {
  const char* name;
  const char* faults;
  bool blocksInARead;  // false: the wait for the handset, which Stop ends
};

class HungRun : public WindowFixture, public ::testing::WithParamInterface<HangRow> {
 protected:
  void SetUp() override {
    std::string config = kSmallConfig;
    config.insert(std::strlen("[LURRA_PARAMS]\n"), "RecordFile=records.jsonl\n");
    dir.Config(config);
  }
  // The run has reached the wait that never ends.
  bool Hanging() const {
    return GetParam().blocksInARead ? handset->Hung() : TopLine() == texts::kWaitingForDevice;
  }
  std::vector<std::string> Records() const {
    std::vector<std::string> lines;
    std::ifstream in(dir.Path("records.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void ExpectOneFailedRecord() const {
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find("\"result\":\"stopped\""), std::string::npos) << records[0];
    EXPECT_NE(records[0].find("\"port\":\"virtual-1\""), std::string::npos) << records[0];
  }
};

TEST_P(HungRun, StopRefusesWritesButLeavesAPendingReadAlone) {
  Open(GetParam().faults);
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitUntil([&] { return Hanging(); }));
  QTest::qWait(20);  // into the wait itself
  const std::vector<std::string> before = LogLines();
  const auto stopped = Clock::now();
  Click(IDC_STOP_FLASHING);
  // The wait for the handset takes the cancel request back when it sees it, so
  // only a run blocked in a read is sure to show the flag still set.
  if (GetParam().blocksInARead) {
    EXPECT_EQ(dlg->m_link.m_bCancelWait.load(), 1);
  }
  EXPECT_EQ(dlg->m_link.m_device.m_bAbort.load(), 1) << "every later write fails";
  EXPECT_TRUE(Enabled(IDC_START_FLASHING)) << "Start is given back at once";
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));

  if (!GetParam().blocksInARead) {
    // The wait for the handset ends: the run fails with the loader's line.
    ASSERT_TRUE(WaitRunEnded(3000));
    EXPECT_EQ(dlg->m_link.m_bCancelWait.load(), 0) << "the wait took the request";
    RecordProperty("stop_to_end_ms", std::to_string(MsSince(stopped)));
    EXPECT_LT(MsSince(stopped), 1000.0);
    EXPECT_EQ(TopLine(), Format(texts::kDownloadFileToDeviceFailed, dir.Path("file/2ND.nb0").c_str()));
    EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
    ExpectOneFailedRecord();
    return;
  }
  // The pending read goes on: the run neither ends nor says anything, and the
  // picture stays the hourglass.
  QTest::qWait(300);
  EXPECT_TRUE(dlg->WorkerAlive());
  EXPECT_TRUE(handset->Hung());
  EXPECT_EQ(LogLines(), before);
  EXPECT_TRUE(Shows(dlg->m_hBmpBusy));
  EXPECT_TRUE(Records().empty()) << "the run has not ended";
  // One set of run state: a second Start is refused while the first worker lives.
  Click(IDC_START_FLASHING);
  EXPECT_EQ(TopLine(), Format(texts::kRunStillWaitingFormat, "60 seconds")) << "a read with the default time-out";
  EXPECT_TRUE(dlg->WorkerAlive());

  const auto closing = Clock::now();
  dlg->close();
  dlg->Destroy();
  const double closeMs = MsSince(closing);
  RecordProperty("close_after_stop_ms", std::to_string(closeMs));
  EXPECT_LT(closeMs, 1000.0);
  EXPECT_FALSE(dlg->WorkerAlive());
  ExpectOneFailedRecord();
}

TEST_P(HungRun, ClosingTheWindowEndsTheProgramWithinASecond) {
  Open(GetParam().faults);
  Choose(Image());
  Clock::time_point closing{};
  QTimer::singleShot(0, dlg.get(), [&] { Click(IDC_START_FLASHING); });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (Hanging() && closing == Clock::time_point{}) {
      closing = Clock::now();
      dlg->close();  // as the caption's close box does
    }
  });
  poll.start(5);
  const auto guard = Clock::now();
  QTimer::singleShot(8000, dlg.get(), [&] { dlg->close(); });  // never hang the test
  QuestionAnswers answers(QMessageBox::Yes);  // "Stop the run and close?"
  dlg->DoModal();
  EXPECT_EQ(answers.asked.size(), 1u);
  ASSERT_NE(closing, Clock::time_point{}) << "the run never hung, after " << MsSince(guard) << " ms";
  const double closeMs = MsSince(closing);
  RecordProperty("close_ms", std::to_string(closeMs));
  std::printf("%s: dialog ended and worker joined %.1f ms after close\n", GetParam().name, closeMs);
  EXPECT_LT(closeMs, 1000.0);
  EXPECT_TRUE(dlg->Ended());
  EXPECT_FALSE(dlg->WorkerAlive());
  // The run ended by closing is recorded, with the last line it posted.
  ExpectOneFailedRecord();
  const std::vector<std::string> records = Records();
  const std::vector<std::string> posted = dlg->PostedLines();
  ASSERT_FALSE(records.empty());
  ASSERT_FALSE(posted.empty());
  EXPECT_NE(records[0].find("\"last_line\":\"" + posted.back() + "\""), std::string::npos) << records[0];
}

INSTANTIATE_TEST_SUITE_P(Hangs, HungRun,
                         ::testing::Values(HangRow{"HandsetNeverAppears", "appear=86400000", false},
                                           HangRow{"AsicIdNeverComes", "hang=asic", true},
                                           HangRow{"LoaderNeverAnswersThePing", "hang=ping", true},
                                           HangRow{"ProgrammerNeverReports", "hang=run", true},
                                           HangRow{"ChecksumNeverAnswered", "hang=crc:3", true}),
                         [](const ::testing::TestParamInfo<HangRow>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak
