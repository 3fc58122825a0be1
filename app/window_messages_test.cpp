// The window's handling of the run's messages, whoever posts them: the status
// log, field exchange, the progress bar, the pictures, the Stop button, and
// the values between the eight, which do nothing.
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct Messages : WindowFixture {
  void SetUp() override {
    WindowFixture::SetUp();
    Open();
  }
  void Post(uint32_t message, uintptr_t wParam = 0) {
    dlg->PostMessage(message, wParam, 0);
    Drain();
  }
  void Line(const std::string& text) {
    dlg->OnStatusLine(text);
    Drain();
  }
};

TEST_F(Messages, EachLineGoesOnTopEndedByCrLf) {
  Line("first");
  Line("second");
  EXPECT_EQ(Log(), "second\r\nfirst\r\n");
  EXPECT_EQ(dlg->m_strStatusLog, "second\r\nfirst\r\n");
  Line("");
  EXPECT_EQ(Log(), "\r\nsecond\r\nfirst\r\n") << "an empty text adds an empty line";
}

TEST_F(Messages, LinesPostedFasterThanTheWindowReadsThemAreEachShownOnce) {
  for (int i = 0; i < 200; ++i) dlg->OnStatusLine("line " + std::to_string(i));
  Drain();
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(lines[static_cast<size_t>(199 - i)], "line " + std::to_string(i));
}

TEST_F(Messages, AStatusMessageWithoutALineShowsThePendingLineAgain) {
  Line("carried");
  Post(WM_STATUS_LINE);
  EXPECT_EQ(Log(), "carried\r\ncarried\r\n");
}

TEST_F(Messages, EveryLinePutsTheRadioChoiceBack) {
  QTest::mouseClick(dlg->GetDlgItemAs<QRadioButton>(IDC_ONENAND), Qt::LeftButton);
  ASSERT_TRUE(dlg->IsDlgButtonChecked(IDC_ONENAND));
  EXPECT_EQ(dlg->m_nFlashType, 0) << "the field changes only by exchange";
  Line("a line during the run");
  EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_NAND));
  EXPECT_FALSE(dlg->IsDlgButtonChecked(IDC_ONENAND));
}

TEST_F(Messages, SyncFieldsOneTakesTheControlsZeroShowsTheFields) {
  QTest::mouseClick(dlg->GetDlgItemAs<QRadioButton>(IDC_ONENAND), Qt::LeftButton);
  dlg->SetDlgItemText(IDC_IMAGE_PATH, "/typed/in.img");
  Post(WM_SYNC_FIELDS, 1);
  EXPECT_EQ(dlg->m_nFlashType, 1);
  EXPECT_EQ(dlg->m_strImagePath, "/typed/in.img");

  dlg->m_nFlashType = 0;
  dlg->m_strImagePath = "/from/the/field.img";
  dlg->m_strStatusLog = "kept\r\n";
  Post(WM_SYNC_FIELDS, 0);
  EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_NAND));
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "/from/the/field.img");
  EXPECT_EQ(Log(), "kept\r\n");
}

TEST_F(Messages, SyncFieldsKeepsTheLogExactly) {
  Line("with a\ttab and \xFF byte");
  Line("second");
  const std::string before = dlg->m_strStatusLog;
  Post(WM_SYNC_FIELDS, 1);
  EXPECT_EQ(dlg->m_strStatusLog, before);
}

TEST_F(Messages, ProgressRangeAndPosition) {
  Post(WM_PROGRESS_RANGE, 4);
  EXPECT_EQ(dlg->m_progress->GetUpper(), 4);
  EXPECT_EQ(dlg->m_progress->GetPos(), 0);
  Post(WM_PROGRESS_POS, 3);
  EXPECT_EQ(dlg->m_progress->GetPos(), 3);
  Post(WM_PROGRESS_POS, 9);
  EXPECT_EQ(dlg->m_progress->GetPos(), 4);
  Post(WM_PROGRESS_RANGE, 0);
  EXPECT_EQ(dlg->m_progress->GetUpper(), 0);
  EXPECT_EQ(dlg->m_progress->GetPos(), 0);
  EXPECT_NE(dlg->m_progress->minimum(), dlg->m_progress->maximum()) << "an empty bar, not a busy one";
}

TEST_F(Messages, TheOutcomeMessagesShowTheirPictures) {
  Post(WM_RUN_FAILED);
  EXPECT_TRUE(Shows(dlg->m_hBmpFailure));
  Post(WM_RUN_SUCCEEDED);
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
}

TEST_F(Messages, DisableAndEnableStopChangeOnlyTheStopButton) {
  Post(WM_ENABLE_STOP);
  EXPECT_TRUE(Enabled(IDC_STOP_FLASHING));
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  Post(WM_DISABLE_STOP);
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_EQ(Log(), "");
}

// Everything a message could change, to see that one changed nothing.
struct WindowState {
  std::string log, path, fieldLog;
  bool nand, onenand, start, stop;
  int upper, position;
  qint64 picture;
  friend bool operator==(const WindowState&, const WindowState&) = default;
};

TEST_F(Messages, TheValuesBetweenTheEightAndAroundThemDoNothing) {
  Line("a line");
  Post(WM_PROGRESS_RANGE, 10);
  Post(WM_PROGRESS_POS, 5);
  Post(WM_RUN_FAILED);
  Post(WM_ENABLE_STOP);
  // Controls and fields differ, so that an exchange either way would show.
  QTest::mouseClick(dlg->GetDlgItemAs<QRadioButton>(IDC_ONENAND), Qt::LeftButton);
  dlg->m_strImagePath = "/field/only.img";
  auto state = [this] {
    return WindowState{Log(), dlg->GetDlgItemText(IDC_IMAGE_PATH), dlg->m_strStatusLog,
                       dlg->IsDlgButtonChecked(IDC_NAND), dlg->IsDlgButtonChecked(IDC_ONENAND),
                       Enabled(IDC_START_FLASHING), Enabled(IDC_STOP_FLASHING), dlg->m_progress->GetUpper(),
                       dlg->m_progress->GetPos(), dlg->m_picStatus->pixmap().cacheKey()};
  };
  const WindowState before = state();
  int tried = 0;
  for (uint32_t m = WM_SYNC_FIELDS - 3; m <= WM_ENABLE_STOP + 3; ++m) {
    if (m >= WM_SYNC_FIELDS && m <= WM_ENABLE_STOP && (m - WM_SYNC_FIELDS) % 5 == 0) continue;
    for (uintptr_t wParam : {uintptr_t{0}, uintptr_t{1}, uintptr_t{7}}) Post(m, wParam);
    ++tried;
    EXPECT_TRUE(state() == before) << "message " << m << " changed the window";
  }
  EXPECT_EQ(tried, 34);
  EXPECT_EQ(dlg->m_strImagePath, "/field/only.img");
  EXPECT_EQ(dlg->m_nFlashType, 0);
}

TEST_F(Messages, StopSetsBothFlagsAndGivesStartBackWithoutALine) {
  Line("running");
  Post(WM_ENABLE_STOP);
  dlg->EnableDlgItem(IDC_START_FLASHING, false);
  dlg->SetImage(dlg->m_picStatus, dlg->m_hBmpBusy);
  Click(IDC_STOP_FLASHING);
  EXPECT_EQ(dlg->m_link.m_bCancelWait.load(), 1);
  EXPECT_EQ(dlg->m_link.m_device.m_bAbort.load(), 1);
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_EQ(Log(), "running\r\n");
  EXPECT_TRUE(Shows(dlg->m_hBmpBusy)) << "Stop does not change the picture";
}

}  // namespace
}  // namespace morvak
