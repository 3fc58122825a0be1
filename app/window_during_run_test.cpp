// The window while a run is going on: the keyboard focus moves between Start
// and Stop, never to "Close Windows", and every way of closing asks first.
#include <QCloseEvent>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <set>

#include "LinkTexts.h"
#include "UiTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

enum class StartBy { SpaceKey, Mouse };

// What comes after Start: the run ends by itself; Space on Stop, answered
// Yes; or Space and Return on Stop (stray keys), answered by the Return key.
enum class Then { RunEnds, SpaceYes, StrayKeys };

struct FocusRow {
  const char* name;
  StartBy start;
  Then then;
};

class RunFocus : public WindowFixture, public ::testing::WithParamInterface<FocusRow> {};

TEST_P(RunFocus, StopHasTheFocusDuringARunAndStartAfterIt) {
  const FocusRow& row = GetParam();
  // The handset shows up late enough for the focus to be looked at mid-run.
  Open(row.then == Then::SpaceYes ? "appear=60000" : "appear=300");
  Choose(Image());
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  if (row.start == StartBy::SpaceKey) {
    Button(IDC_START_FLASHING)->setFocus();
    QTest::keyClick(Button(IDC_START_FLASHING), Qt::Key_Space);
  } else {
    Click(IDC_START_FLASHING);
  }
  ASSERT_TRUE(dlg->WorkerAlive());
  EXPECT_EQ(dlg->focusWidget(), Button(IDC_STOP_FLASHING));
  if (row.then == Then::SpaceYes) {
    QuestionAnswers answers(QMessageBox::Yes);
    QTest::keyClick(Button(IDC_STOP_FLASHING), Qt::Key_Space);
    EXPECT_EQ(answers.asked, std::vector<std::string>{texts::kStopRunByKey});
    EXPECT_EQ(dlg->focusWidget(), Button(IDC_START_FLASHING)) << "Stop gives Start back at once";
  }
  if (row.then == Then::StrayKeys) {
    // Each key asks; the operator's next stray Return answers the default, No.
    std::vector<std::string> asked;
    QTimer returnKey;
    QObject::connect(&returnKey, &QTimer::timeout, [&asked] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked.push_back(box->text().toStdString());
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    returnKey.start(10);
    QTest::keyClick(Button(IDC_STOP_FLASHING), Qt::Key_Space);
    QTest::keyClick(Button(IDC_STOP_FLASHING), Qt::Key_Return);
    EXPECT_EQ(asked, (std::vector<std::string>{texts::kStopRunByKey, texts::kStopRunByKey}));
    EXPECT_EQ(dlg->m_link.m_device.m_bAbort.load(), 0);
  }
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_EQ(dlg->focusWidget(), Button(IDC_START_FLASHING));
  EXPECT_TRUE(dlg->isVisible());
  if (row.then != Then::SpaceYes) {
    EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RunFocus,
                         ::testing::Values(FocusRow{"SpaceThenTheRunEnds", StartBy::SpaceKey, Then::RunEnds},
                                           FocusRow{"MouseThenTheRunEnds", StartBy::Mouse, Then::RunEnds},
                                           FocusRow{"SpaceThenStopBySpaceYes", StartBy::SpaceKey, Then::SpaceYes},
                                           FocusRow{"StrayKeysLeaveTheRunGoing", StartBy::Mouse, Then::StrayKeys}),
                         [](const ::testing::TestParamInfo<FocusRow>& row) { return std::string(row.param.name); });

enum class CloseWay { CloseWindows, EnterOnPath, Esc, CloseBoxOrAltF4, SystemMenuClose };

struct CloseRow {
  const char* name;
  CloseWay way;
  bool yes;
};

class ClosingDuringARun : public WindowFixture, public ::testing::WithParamInterface<CloseRow> {
 protected:
  void CloseBy(CloseWay way) {
    switch (way) {
      case CloseWay::CloseWindows: Click(IDC_CLOSE_WINDOWS); break;
      case CloseWay::EnterOnPath:
        dlg->GetDlgItem(IDC_IMAGE_PATH)->setFocus();
        QTest::keyClick(dlg->GetDlgItem(IDC_IMAGE_PATH), Qt::Key_Return);
        break;
      case CloseWay::Esc:
        QTest::keyClick(dlg->focusWidget() != nullptr ? dlg->focusWidget() : dlg.get(), Qt::Key_Escape);
        break;
      case CloseWay::CloseBoxOrAltF4: {
        // Both reach the window as the window system's request to close it.
        QCloseEvent request;
        QCoreApplication::sendEvent(dlg->windowHandle(), &request);
        break;
      }
      case CloseWay::SystemMenuClose: dlg->OnSysCommand(SC_CLOSE, 0); break;
    }
  }
};

TEST_P(ClosingDuringARun, AsksFirstAndIdleAsksNothing) {
  const CloseRow& row = GetParam();
  Open("appear=500");
  Choose(Image());
  Click(IDC_START_FLASHING);
  ASSERT_TRUE(WaitUntil([&] { return TopLine() == texts::kWaitingForDevice; }));
  QuestionAnswers answers(row.yes ? QMessageBox::Yes : QMessageBox::No);
  const auto closing = Clock::now();
  CloseBy(row.way);
  EXPECT_EQ(answers.asked, std::vector<std::string>{texts::kStopRunAndClose});

  if (row.yes) {
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->Ended());
    dlg->Destroy();  // as DoModal does once the dialog has ended
    EXPECT_LT(MsSince(closing), 1000.0);
    EXPECT_FALSE(dlg->WorkerAlive());
    return;
  }
  // "No": the run goes on untouched and ends as it would have.
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->Ended());
  EXPECT_EQ(dlg->m_link.m_bCancelWait.load(), 0);
  EXPECT_EQ(dlg->m_link.m_device.m_bAbort.load(), 0);
  EXPECT_TRUE(Enabled(IDC_STOP_FLASHING));
  ASSERT_TRUE(WaitRunEnded());
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  // Idle, the same way closes at once.
  CloseBy(row.way);
  EXPECT_EQ(answers.asked.size(), 1u);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(dlg->Ended());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosingDuringARun,
    ::testing::Values(CloseRow{"CloseWindowsYes", CloseWay::CloseWindows, true},
                      CloseRow{"CloseWindowsNo", CloseWay::CloseWindows, false},
                      CloseRow{"EnterOnPathYes", CloseWay::EnterOnPath, true},
                      CloseRow{"EnterOnPathNo", CloseWay::EnterOnPath, false}, CloseRow{"EscYes", CloseWay::Esc, true},
                      CloseRow{"EscNo", CloseWay::Esc, false},
                      CloseRow{"CloseBoxOrAltF4Yes", CloseWay::CloseBoxOrAltF4, true},
                      CloseRow{"CloseBoxOrAltF4No", CloseWay::CloseBoxOrAltF4, false},
                      CloseRow{"SystemMenuCloseYes", CloseWay::SystemMenuClose, true},
                      CloseRow{"SystemMenuCloseNo", CloseWay::SystemMenuClose, false}),
    [](const ::testing::TestParamInfo<CloseRow>& row) { return std::string(row.param.name); });

// While the image goes out the caption and the progress bar's tooltip show
// the share, the rate and the time left; the bar itself moves as the handset
// reports. After the run the caption is the title again.
TEST_F(WindowFixture, TheCaptionShowsTheTransferAndThenTheTitleAgain) {
  Open("flash=2");
  Choose(Image());
  const QString title = dlg->windowTitle();
  Click(IDC_START_FLASHING);
  bool rateShown = false;
  bool tooltipShown = false;
  WaitUntil(
      [&] {
        const QString caption = dlg->windowTitle();
        rateShown = rateShown || (caption.startsWith(title + QString::fromUtf8(" \u2014 ")) &&
                                  caption.contains(QLatin1String(" MB/s")));
        tooltipShown = tooltipShown || dlg->m_progress->toolTip().contains(QLatin1String(" sent"));
        return !dlg->WorkerAlive();
      },
      20000);
  ASSERT_TRUE(WaitRunEnded());
  ASSERT_EQ(TopLine().rfind("Download the img successfully!", 0), 0u) << TopLine();
  EXPECT_TRUE(rateShown);
  EXPECT_TRUE(tooltipShown);
  EXPECT_EQ(dlg->windowTitle(), title);
  EXPECT_TRUE(dlg->m_progress->toolTip().isEmpty());
  std::set<int> positions;
  for (const ProgressState& p : dlg->m_progressSeen)
    if (p.position > 0) positions.insert(p.position);
  EXPECT_GE(positions.size(), 3u);
}

}  // namespace
}  // namespace morvak
