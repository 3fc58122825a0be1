// Field exchange: text both ways, radio groups as an index with -1 for none,
// group marks deciding where a group ends, and the order of the bindings.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QRadioButton>
#include <QtTest/QTest>

#include "WindowText.h"
#include "dialog_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct DataExchangeTest : ::testing::Test {
  SampleDialog dialog;
  void SetUp() override { dialog.Create(); }
  void Check(int id, bool checked) { dialog.CheckDlgButton(id, checked); }
};

TEST_F(DataExchangeTest, TextGoesToTheControlsAndBackUnchanged) {
  dialog.m_strName = "/home/op/\xFFimage.img";
  dialog.m_strLog = "second\r\nfirst\r\n";
  dialog.UpdateData(false);
  EXPECT_EQ(dialog.GetDlgItemText(ID_LOG), "second\r\nfirst\r\n");
  dialog.m_strName.clear();
  dialog.m_strLog.clear();
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_strName, "/home/op/\xFFimage.img");
  EXPECT_EQ(dialog.m_strLog, "second\r\nfirst\r\n");
}

struct RadioRow {
  std::vector<int> checked;
  int expected;
};

class RadioSaveTest : public DataExchangeTest, public ::testing::WithParamInterface<RadioRow> {};

TEST_P(RadioSaveTest, GivesTheIndexWithinTheGroup) {
  for (int id : {ID_FIRST, ID_SECOND, ID_THIRD}) Check(id, false);
  for (int id : GetParam().checked) Check(id, true);
  dialog.m_nChoice = 99;
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_nChoice, GetParam().expected);
}

// The check box between the second and third radio buttons takes no index.
INSTANTIATE_TEST_SUITE_P(Rows, RadioSaveTest,
                         ::testing::Values(RadioRow{{}, -1}, RadioRow{{ID_FIRST}, 0}, RadioRow{{ID_SECOND}, 1},
                                           RadioRow{{ID_THIRD}, 2}, RadioRow{{ID_OPTION}, -1},
                                           RadioRow{{ID_OTHER_GROUP}, -1}));

TEST_F(DataExchangeTest, LoadingAnIndexChecksThatButtonOnly) {
  for (int value : {0, 1, 2, -1, 3, 0}) {
    dialog.m_nChoice = value;
    dialog.m_nOther = 0;
    dialog.UpdateData(false);
    EXPECT_EQ(dialog.IsDlgButtonChecked(ID_FIRST), value == 0) << value;
    EXPECT_EQ(dialog.IsDlgButtonChecked(ID_SECOND), value == 1) << value;
    EXPECT_EQ(dialog.IsDlgButtonChecked(ID_THIRD), value == 2) << value;
    EXPECT_TRUE(dialog.IsDlgButtonChecked(ID_OTHER_GROUP)) << "another group is its own";
  }
}

TEST_F(DataExchangeTest, TheCheckBoxInsideTheGroupIsLeftAlone) {
  Check(ID_OPTION, true);
  dialog.m_nChoice = 1;
  dialog.UpdateData(false);
  EXPECT_TRUE(dialog.IsDlgButtonChecked(ID_OPTION));
  dialog.m_nChoice = -1;
  dialog.UpdateData(false);
  EXPECT_TRUE(dialog.IsDlgButtonChecked(ID_OPTION));
}

TEST_F(DataExchangeTest, ClickingARadioButtonUnchecksOnlyItsOwnGroup) {
  dialog.show();
  dialog.m_nChoice = 0;
  dialog.m_nOther = 0;
  dialog.UpdateData(false);
  QTest::mouseClick(dialog.GetDlgItemAs<QRadioButton>(ID_THIRD), Qt::LeftButton);
  EXPECT_FALSE(dialog.IsDlgButtonChecked(ID_FIRST));
  EXPECT_TRUE(dialog.IsDlgButtonChecked(ID_THIRD));
  EXPECT_TRUE(dialog.IsDlgButtonChecked(ID_OTHER_GROUP));
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_nChoice, 2);
  EXPECT_EQ(dialog.m_nOther, 0);
}

TEST_F(DataExchangeTest, BindingsRunInTheOrderDoDataExchangeGives) {
  for (bool save : {true, false}) {
    std::vector<int> trace;
    CDataExchange dx(&dialog, save);
    dx.m_pTrace = &trace;
    dialog.DoDataExchange(&dx);
    EXPECT_EQ(trace, (std::vector<int>{ID_NAME, ID_LOG, ID_FIRST, ID_OTHER_GROUP}));
  }
}

TEST_F(DataExchangeTest, AControlBindingFindsTheControlById) {
  CProgressCtrl* bar = nullptr;
  CDataExchange dx(&dialog, false);
  DDX_Control(&dx, ID_BAR, bar);
  EXPECT_EQ(bar, dialog.GetDlgItem(ID_BAR));
  QRadioButton* wrongKind = nullptr;
  DDX_Control(&dx, ID_BAR, wrongKind);
  EXPECT_EQ(wrongKind, nullptr);
}

}  // namespace
}  // namespace morvak
