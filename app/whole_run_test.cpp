// Whole runs through the window into the virtual handset: the pictures, the
// progress bar, the log (newest on top, every line exactly once), the
// programmer's error box, Stop, and closing the window during a run (the
// hung runs have their own table in hung_run_test.cpp).
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <functional>

#include "Format.h"
#include "LinkTexts.h"
#include "RegularFile.h"
#include "RunTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using Clock = std::chrono::steady_clock;
using WholeRun = WindowFixture;

std::vector<std::string> Reversed(std::vector<std::string> lines) {
  std::reverse(lines.begin(), lines.end());
  return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

TEST_F(WholeRun, ASuccessfulRunEndsWithTheSuccessPictureAndItsLinesNewestOnTop) {
  Open();
  const std::string image = Image();
  Choose(image);
  Click(IDC_START_FLASHING);
  EXPECT_FALSE(Enabled(IDC_START_FLASHING));
  EXPECT_TRUE(Enabled(IDC_STOP_FLASHING));
  EXPECT_TRUE(Shows(dlg->m_hBmpBusy));
  ASSERT_TRUE(WaitRunEnded());

  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  const std::vector<std::string> lines = LogLines();
  EXPECT_EQ(lines, Reversed(dlg->PostedLines())) << "every posted line shown once, newest on top";
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines.back(), "Read the input file:" + image);
  EXPECT_EQ(lines[6], texts::kWaitingForDevice);
  // The elapsed time counts whole calendar seconds: a short run that crosses
  // a second's boundary shows one.
  EXPECT_THAT(lines.front(), ::testing::AnyOf(std::string(texts::kImgSucceeded) + "00 Minutes, 00 Seconds",
                                              std::string(texts::kImgSucceeded) + "00 Minutes, 01 Seconds"));

  // The bar reached its range during the run (the run's own range is the
  // record count; the programmer reports ranges of its own) and stands at 0 after it.
  bool reached = false;
  for (const ProgressState& p : dlg->m_progressSeen) reached = reached || (p.upper > 0 && p.position == p.upper);
  EXPECT_TRUE(reached);
  EXPECT_EQ(dlg->m_progress->GetPos(), 0);

  // A picture of the window after the run, for people to look at.
  QDir().mkpath(QStringLiteral(MORVAK_SCREENSHOT_DIR));
  const QString shot = QStringLiteral(MORVAK_SCREENSHOT_DIR "/morvak-after-run.png");
  EXPECT_TRUE(dlg->grab().save(shot)) << shot.toStdString();
}

TEST_F(WholeRun, ProgrammerTextsBetweenTheRunsLinesAreEachShownOnceInOrder) {
  Open("texts=4");
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  const std::vector<std::string> posted = dlg->PostedLines();
  EXPECT_GT(posted.size(), 20u);
  EXPECT_EQ(LogLines(), Reversed(posted));
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
}

// A FIFO chosen as the image would hold the window's thread in Start until a
// writer came; it is refused at once, by name, and no run starts. A file name
// with a line feed cannot make a line of its own.
TEST_F(WholeRun, StartRefusesAFifoAtOnceAndNamesEscaped) {
  Open();
  const std::string fifo = dir.Path("pipe\nDownload the img successfully!.img");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Choose(fifo);
  const auto started = Clock::now();
  Click(IDC_START_FLASHING);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));
  EXPECT_EQ(LogLines(), std::vector<std::string>{Format(texts::kNotRegularFile, ShownPath(fifo).c_str())});
  EXPECT_NE(TopLine().find("pipe\\nDownload"), std::string::npos);
  EXPECT_FALSE(dlg->WorkerAlive());
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
}

TEST_F(WholeRun, ADroppedRawImageIsFlashedAsRaw) {
  Open();
  RawDesc raw;
  raw.size = 4096;  // the raw part, as the configuration gives it
  std::string problem;
  ASSERT_EQ(WriteRaw(dir.Path("image.raw"), raw, problem), IMAGE_WRITE_OK) << problem;
  Choose(dir.Path("image.raw"));
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_THAT(TopLine(), ::testing::AnyOf(std::string(texts::kRawSucceeded) + "00 Minutes, 00 Seconds",
                                          std::string(texts::kRawSucceeded) + "00 Minutes, 01 Seconds"));
}

TEST_F(WholeRun, AFaultOfTheHandsetEndsWithTheFailurePicture) {
  Open("ram-refuse");
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
  EXPECT_EQ(LogLines(), Reversed(dlg->PostedLines()));
  EXPECT_EQ(TopLine(), texts::kInitDdrFailed);
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
}

TEST_F(WholeRun, AProgrammerErrorShowsABoxThatHoldsTheRunUntilClosed) {
  Open("error=5@2");
  Choose(Image());
  QString text;
  bool aliveWhileOpen = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !text.isEmpty()) return;
    text = box->text();
    QTimer::singleShot(150, box, [&, box] {
      aliveWhileOpen = dlg->WorkerAlive();
      box->accept();
    });
  });
  watcher.start(10);
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_EQ(text, QStringLiteral("Flash Firmware Error occurred:  code 5"));
  EXPECT_TRUE(aliveWhileOpen);
  EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
}

TEST_F(WholeRun, StopDuringTheTransferGivesStartBackAtOnceAndTheRunFails) {
  Open("speed=2");  // about a second for the image's largest record
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitUntil([&] { return !dlg->m_progressSeen.empty(); }));
  Click(IDC_STOP_FLASHING);
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  EXPECT_EQ(dlg->m_link.m_device.m_bAbort.load(), 1);
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
  const std::vector<std::string> lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), texts::kWriteFailed), lines.end());
  EXPECT_EQ(dlg->m_progress->GetPos(), 0) << "the image step's last act";
}

TEST_F(WholeRun, StopBeforeTheHandsetIsThereEndsTheWait) {
  Open("appear=60000");
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitUntil([&] { return StartsWith(Log(), texts::kWaitingForDevice); }));
  const auto stopped = Clock::now();
  Click(IDC_STOP_FLASHING);
  ASSERT_TRUE(WaitRunEnded(3000));
  RecordProperty("stop_to_end_ms", std::to_string(MsSince(stopped)));
  EXPECT_LT(MsSince(stopped), 1000.0);
  EXPECT_EQ(TopLine(), "Download file to device failed:" + dir.Path("file/2ND.nb0"));
  EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
}

TEST_F(WholeRun, StartIsRefusedWhileAStoppedRunIsStillBlockedAndClosingEndsIt) {
  Open("hang=run:2");
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitUntil([&] { return handset->Hung(); }));
  Click(IDC_STOP_FLASHING);  // a pending read is not interrupted by Stop
  ASSERT_TRUE(Enabled(IDC_START_FLASHING));
  QTest::qWait(50);
  ASSERT_TRUE(dlg->WorkerAlive());
  const size_t before = LogLines().size();
  Click(IDC_START_FLASHING);
  EXPECT_EQ(TopLine(), Format(texts::kRunStillWaitingFormat, "60 seconds")) << "a read with the default time-out";
  EXPECT_EQ(LogLines().size(), before + 1) << "the run's log is kept";
  EXPECT_TRUE(dlg->WorkerAlive());

  const auto closing = Clock::now();
  dlg->close();
  dlg->Destroy();
  RecordProperty("close_ms", std::to_string(MsSince(closing)));
  EXPECT_LT(MsSince(closing), 1000.0);
  EXPECT_FALSE(dlg->WorkerAlive());
}

TEST_F(WholeRun, ClosingTheWindowWhileTheErrorBoxIsOpenEndsTheProgramToo) {
  Open("error=5@2");
  Choose(Image());
  Clock::time_point closing{};
  QTimer::singleShot(0, dlg.get(), [&] { Click(IDC_START_FLASHING); });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr && closing == Clock::time_point{}) {
      closing = Clock::now();
      dlg->close();  // as the window manager's close would
    }
  });
  poll.start(5);
  QTimer::singleShot(8000, dlg.get(), [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    dlg->close();
  });
  QuestionAnswers answers(QMessageBox::Yes);  // "Stop the run and close?", over the error box
  dlg->DoModal();
  EXPECT_EQ(answers.asked.size(), 1u);
  ASSERT_NE(closing, Clock::time_point{}) << "no error box came";
  EXPECT_LT(MsSince(closing), 1000.0);
  EXPECT_FALSE(dlg->WorkerAlive());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WholeRun, ASecondRunStartsAfreshAndSucceedsToo) {
  Open();
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitRunEnded());
  dlg->PostMessage(WM_PROGRESS_POS, 2, 0);  // as another sender might
  Drain();
  Click(IDC_START_FLASHING);
  EXPECT_EQ(dlg->m_progress->GetPos(), 2) << "the bar stays until the run posts a range";
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_EQ(LogLines().size(), 8u) << "Start cleared the first run's lines";
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  EXPECT_EQ(handset->Attaches(), 2u);
}

}  // namespace
}  // namespace morvak
