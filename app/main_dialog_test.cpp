// The main window as it opens: every control at its place with its text and
// style, the tab order, no default button, the first state, the remembered
// path, and the ways of closing.
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "ImagePathSetting.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct ControlRow {
  int id;
  const char* kind;  // Qt class of the control
  const char* text;
  QRect position;  // dialog units
  bool tabStop;
};

// The window's controls as the window's design gives them, in template order.
const std::vector<ControlRow>& DesignedControls() {
  static const std::vector<ControlRow> rows = {
      {-1, "QGroupBox", "select file", {14, 48, 362, 85}, false},
      {-1, "QLabel", "Flashing file:", {20, 65, 57, 8}, false},
      {1004, "QLineEdit", "", {81, 63, 206, 14}, true},
      {1005, "QPushButton", "browser...", {295, 63, 71, 14}, true},
      {1006, "QPushButton", "Start flashing", {22, 82, 258, 45}, true},
      {1007, "QPushButton", "Stop flashing", {293, 83, 74, 20}, true},
      {1008, "QPushButton", "Close Windows", {293, 107, 74, 20}, true},
      {1009, "QProgressBar", "", {14, 139, 362, 14}, false},
      {-1, "QGroupBox", "Status Infomation", {15, 155, 361, 83}, false},
      {1010, "QPlainTextEdit", "", {20, 169, 317, 63}, true},
      {1014, "QLabel", "", {341, 169, 28, 59}, false},
      {-1, "QGroupBox", "Download Type Select", {14, 10, 362, 32}, false},
      {1015, "QRadioButton", "NAND", {65, 25, 32, 10}, false},
      {1016, "QRadioButton", "OneNAND", {169, 25, 44, 10}, false},
      {1017, "QCheckBox", "Erase Reserved region", {269, 24, 100, 10}, true},
  };
  return rows;
}

using MainDialog = WindowFixture;

TEST_F(MainDialog, EveryControlStandsAtItsPlaceWithItsTextAndKind) {
  Open();
  ASSERT_EQ(dlg->ControlCount(), DesignedControls().size());
  const DialogBaseUnits base = dlg->BaseUnits();
  for (size_t i = 0; i < DesignedControls().size(); ++i) {
    const ControlRow& row = DesignedControls()[i];
    QWidget* w = dlg->ControlAt(i);
    EXPECT_EQ(dlg->SpecAt(i).id, row.id) << i;
    EXPECT_TRUE(w->inherits(row.kind)) << i << " is a " << w->metaObject()->className();
    EXPECT_EQ(w->geometry(), MapDialogRect(row.position, base)) << i;
    if (row.id != 1004 && row.id != 1010 && std::string(row.kind) != "QProgressBar") {
      EXPECT_EQ(GetWindowText(w), row.text) << i;
    }
    EXPECT_EQ((w->focusPolicy() & Qt::TabFocus) != 0, row.tabStop) << i;
  }
}

TEST_F(MainDialog, TheWindowHasItsFixedSizeAndStyle) {
  Open();
  const DialogBaseUnits base = dlg->BaseUnits();
  EXPECT_EQ(dlg->size(), QSize(MulDiv(390, base.x, 4), MulDiv(250, base.y, 8)));
  EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
  EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(dlg->acceptDrops());
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Morvak"));
  EXPECT_FALSE(dlg->windowIcon().isNull());
}

TEST_F(MainDialog, TheFieldsAreReadOnlyAndTheLogScrollsVertically) {
  Open();
  auto* path = dlg->GetDlgItemAs<QLineEdit>(IDC_IMAGE_PATH);
  ASSERT_NE(path, nullptr);
  EXPECT_TRUE(path->isReadOnly());
  EXPECT_TRUE(path->hasFrame());
  auto* log = dlg->GetDlgItemAs<QPlainTextEdit>(IDC_STATUS_LOG);
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(dlg->m_picStatus->alignment().testFlag(Qt::AlignHCenter));
  EXPECT_TRUE(dlg->m_picStatus->alignment().testFlag(Qt::AlignVCenter));
}

TEST_F(MainDialog, TabWalksTheTabStopsInTemplateOrder) {
  Open();
  std::vector<int> order;
  QWidget* w = dlg->GetDlgItem(IDC_IMAGE_PATH);
  for (int i = 0; i < 8; ++i) {
    const size_t index = dlg->IndexOf(w);
    if (index < dlg->ControlCount()) order.push_back(dlg->SpecAt(index).id);
    do {
      w = w->nextInFocusChain();
    } while ((w->focusPolicy() & Qt::TabFocus) == 0 || dlg->IndexOf(w) >= dlg->ControlCount());
  }
  EXPECT_EQ(order, (std::vector<int>{1004, 1005, 1006, 1007, 1008, 1010, 1017, 1004}));
}

TEST_F(MainDialog, NoPushButtonIsADefaultButtonAndNoneIsOk) {
  Open();
  for (size_t i = 0; i < dlg->ControlCount(); ++i) {
    EXPECT_NE(dlg->SpecAt(i).id, IDOK);
    if (auto* b = qobject_cast<QPushButton*>(dlg->ControlAt(i))) {
      EXPECT_FALSE(b->isDefault()) << dlg->SpecAt(i).id;
      EXPECT_FALSE(b->autoDefault()) << dlg->SpecAt(i).id;
    }
  }
}

TEST_F(MainDialog, BeforeItOpensNoFlashTypeIsChosen) {
  CFlashToolDlg dialog;
  EXPECT_EQ(dialog.m_nFlashType, -1);
  EXPECT_TRUE(dialog.m_strImagePath.empty());
  EXPECT_TRUE(dialog.m_strStatusLog.empty());
}

TEST_F(MainDialog, OpensIdleWithNandCheckedAndTheSuccessPicture) {
  Open();
  EXPECT_EQ(dlg->m_nFlashType, 0);
  EXPECT_EQ(dlg->m_bRawImage, 0);
  EXPECT_EQ(dlg->m_link.m_pOwner, static_cast<IRunEvents*>(dlg.get()));
  EXPECT_TRUE(dlg->IsDlgButtonChecked(IDC_NAND));
  EXPECT_FALSE(dlg->IsDlgButtonChecked(IDC_ONENAND));
  EXPECT_FALSE(dlg->IsDlgButtonChecked(IDC_ERASE_RESERVED));
  EXPECT_EQ(dlg->m_btnEraseReserved, dlg->GetDlgItem(IDC_ERASE_RESERVED));
  EXPECT_EQ(dlg->m_progress, dlg->GetDlgItem(IDC_PROGRESS));
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "");
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(dlg->m_progress->GetPos(), 0);
  EXPECT_EQ(dlg->m_progress->GetUpper(), 100);
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_TRUE(Enabled(IDC_BROWSE));
  EXPECT_TRUE(Enabled(IDC_CLOSE_WINDOWS));
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  EXPECT_EQ(dlg->m_hBmpSuccess.size(), QSize(37, 46));
  EXPECT_EQ(dlg->m_hBmpFailure.size(), QSize(37, 46));
  EXPECT_EQ(dlg->m_hBmpBusy.size(), QSize(26, 32));
}

TEST_F(MainDialog, ARememberedPathIsShownAsStoredEvenIfTheFileIsGone) {
  WriteImagePathSetting("/no/such/dir/old image.img");
  Open();
  EXPECT_EQ(dlg->m_strImagePath, "/no/such/dir/old image.img");
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "/no/such/dir/old image.img");
}

std::string FileText(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

enum class CloseWay { CloseWindows, Esc, CloseBox, EnterOnPath };

class CloseWayTest : public WindowFixture, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CloseWayTest, EveryWayOfClosingEndsTheDialogAndRemembersThePath) {
  WriteImagePathSetting("/old/choice.img");
  Open();
  Choose("/new/choice.raw");
  switch (GetParam()) {
    case CloseWay::CloseWindows: Click(IDC_CLOSE_WINDOWS); break;
    case CloseWay::Esc: QTest::keyClick(dlg->GetDlgItem(IDC_IMAGE_PATH), Qt::Key_Escape); break;
    case CloseWay::CloseBox: dlg->close(); break;
    case CloseWay::EnterOnPath:
      dlg->GetDlgItem(IDC_IMAGE_PATH)->setFocus();
      QTest::keyClick(dlg->GetDlgItem(IDC_IMAGE_PATH), Qt::Key_Return);
      break;
  }
  EXPECT_FALSE(dlg->isVisible());
  const bool asOk = GetParam() == CloseWay::CloseWindows || GetParam() == CloseWay::EnterOnPath;
  EXPECT_EQ(dlg->result(), asOk ? IDOK : IDCANCEL);
  dlg->Destroy();
  EXPECT_EQ(ReadImagePathSetting(), "/new/choice.raw");
  const std::string ini = FileText(profile.IniPath());
  EXPECT_NE(ini.find("[LURRA_lg]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ImageFilePath=/new/choice.raw"), std::string::npos) << ini;
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseWayTest,
                         ::testing::Values(CloseWay::CloseWindows, CloseWay::Esc, CloseWay::CloseBox,
                                           CloseWay::EnterOnPath));

TEST_F(MainDialog, EnterInTheLogDoesNotCloseTheWindow) {
  Open();
  dlg->GetDlgItem(IDC_STATUS_LOG)->setFocus();
  QTest::keyClick(dlg->GetDlgItem(IDC_STATUS_LOG), Qt::Key_Return);
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainDialog, AnEmptyPathLeavesTheStoredOneAndAChoiceWithoutARunIsRemembered) {
  WriteImagePathSetting("/kept.img");
  Open();
  Choose("");
  dlg->Destroy();
  EXPECT_EQ(ReadImagePathSetting(), "/kept.img");

  Open();
  EXPECT_EQ(dlg->m_strImagePath, "/kept.img");
  Choose("/never/flashed.img");
  dlg.reset();  // a window that goes away without being closed saves too
  Open();
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "/never/flashed.img");
}

TEST_F(MainDialog, WithNoProfileThePathFieldOpensEmpty) {
  Open();
  EXPECT_TRUE(dlg->m_strImagePath.empty());
  dlg->Destroy();
  EXPECT_TRUE(FileText(profile.IniPath()).find("ImageFilePath") == std::string::npos);
}

}  // namespace
}  // namespace morvak
