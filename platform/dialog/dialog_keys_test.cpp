// Enter and Esc as in a dialog box: Enter presses the focused push button,
// stays in a control that wants it, presses the default button, or else ends
// the dialog as OK (fields taken from the controls); Esc cancels. Tab walks
// the tab stops in template order.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "dialog_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct KeysTest : ::testing::Test {
  SampleDialog dialog;
  void SetUp() override {
    dialog.Create();
    dialog.show();
    dialog.activateWindow();
  }
  void Press(int id, Qt::Key key) {
    QWidget* w = dialog.GetDlgItem(id);
    w->setFocus();
    QTest::keyClick(w, key);
  }
};

TEST_F(KeysTest, EnterOnAFieldEndsTheDialogAsOkWithTheFieldsTaken) {
  dialog.SetDlgItemText(ID_NAME, "/from/the/control.img");
  Press(ID_NAME, Qt::Key_Return);
  EXPECT_EQ(dialog.m_oks, 1);
  EXPECT_EQ(dialog.result(), IDOK);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.m_strName, "/from/the/control.img");
}

TEST_F(KeysTest, EnterOnARadioButtonOrCheckBoxEndsItToo) {
  Press(ID_OPTION, Qt::Key_Enter);
  EXPECT_EQ(dialog.m_oks, 1);
}

TEST_F(KeysTest, EnterInAControlThatWantsItDoesNothing) {
  Press(ID_LOG, Qt::Key_Return);
  EXPECT_EQ(dialog.m_oks, 0);
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(KeysTest, EnterOnAPushButtonPressesIt) {
  Press(ID_GO, Qt::Key_Return);
  EXPECT_EQ(dialog.m_commands, (std::vector<int>{ID_GO}));
  EXPECT_EQ(dialog.m_oks, 0);
}

TEST_F(KeysTest, EscCancels) {
  Press(ID_NAME, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), IDCANCEL);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.m_oks, 0);
}

TEST(DialogKeys, WithADefaultButtonEnterPressesThat) {
  DialogTemplate t = SampleTemplate();
  t.controls.push_back({77, ControlKind::PushButton, "ok", {150, 70, 40, 14}, ControlStyle::DefaultButton});
  SampleDialog dialog(t);
  dialog.Create();
  dialog.show();
  EXPECT_TRUE(dialog.GetDlgItemAs<QPushButton>(77)->isDefault());
  EXPECT_FALSE(dialog.GetDlgItemAs<QPushButton>(ID_GO)->isDefault());
  dialog.GetDlgItem(ID_NAME)->setFocus();
  QTest::keyClick(dialog.GetDlgItem(ID_NAME), Qt::Key_Return);
  EXPECT_EQ(dialog.m_commands, (std::vector<int>{77}));
  EXPECT_EQ(dialog.m_oks, 0);
}

TEST(DialogKeys, TabWalksTheTabStopsInTemplateOrder) {
  SampleDialog dialog;
  dialog.Create();
  std::vector<QWidget*> chain;
  QWidget* w = dialog.GetDlgItem(ID_NAME);
  for (int i = 0; i < 5; ++i) {
    chain.push_back(w);
    w = w->nextInFocusChain();
    while (w->focusPolicy() == Qt::NoFocus || (w->focusPolicy() & Qt::TabFocus) == 0) w = w->nextInFocusChain();
  }
  EXPECT_EQ(chain, (std::vector<QWidget*>{dialog.GetDlgItem(ID_NAME), dialog.GetDlgItem(ID_LOG),
                                          dialog.GetDlgItem(ID_OPTION), dialog.GetDlgItem(ID_OTHER_GROUP),
                                          dialog.GetDlgItem(ID_GO)}));
  EXPECT_EQ(dialog.GetDlgItem(ID_FIRST)->focusPolicy(), Qt::ClickFocus) << "no tab stop";
}

}  // namespace
}  // namespace morvak
