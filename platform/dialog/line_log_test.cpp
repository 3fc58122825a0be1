// The log text with cheap lines on top, and the multi-line edit that shows it:
// the same text as a plain string built line by line would be, byte for byte,
// and in the control the same display as the whole text set afresh, while a
// line on top changes the control by that line alone.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest/QTest>
#include <functional>

#include "DataExchange.h"
#include "LineLog.h"
#include "MultiLineEdit.h"
#include "WindowText.h"
#include "dialog_test_support.h"

namespace morvak {
namespace {

// One step on a log and on the plain string it stands for.
struct Step {
  char op;  // 'p' put on top, 'a' assign, 'c' clear, 'k' go on with a copy
  std::string text;
};

struct ScriptRow {
  const char* name;
  std::vector<Step> steps;
};

const std::vector<ScriptRow>& Scripts() {
  static const std::vector<ScriptRow> rows = {
      {"Lines", {{'p', "first"}, {'p', "second"}, {'p', ""}, {'p', "fourth"}}},
      {"OnAnAssignedBase", {{'a', "kept\r\nno line end"}, {'p', "on top"}, {'p', "and more"}}},
      {"LineEndsInsideLines", {{'p', "a\r\nb"}, {'p', "ends in cr\r"}, {'p', "\n starts with lf"}, {'p', "\r\n"}}},
      {"NotUtf8", {{'p', "\xFF\xFE bytes"}, {'p', "cut \xE5\x85"}, {'p', "\xE5\x85\xB3 whole"}}},
      {"AssignAndClearInBetween", {{'p', "one"}, {'a', "base\r\n"}, {'p', "two"}, {'c', ""}, {'p', "three"}}},
      {"ACopyGoesOn", {{'p', "one"}, {'k', ""}, {'p', "two"}, {'k', ""}, {'p', "three"}}},
  };
  return rows;
}

class LineLogScript : public ::testing::TestWithParam<ScriptRow> {};

// Runs the script, calling `check` after every step with the log and its model.
void RunScript(const ScriptRow& row, const std::function<void(const LineLog&, const std::string&)>& check) {
  LineLog log;
  std::string model;
  check(log, model);
  for (const Step& s : row.steps) {
    switch (s.op) {
      case 'p':
        log.PutOnTop(s.text);
        model = s.text + "\r\n" + model;
        break;
      case 'a':
        log = s.text;
        model = s.text;
        break;
      case 'c':
        log.clear();
        model.clear();
        break;
      default: {
        LineLog copy = log;
        log = std::move(copy);
      }
    }
    check(log, model);
  }
}

TEST_P(LineLogScript, HoldsWhatThePlainStringWouldHold) {
  RunScript(GetParam(), [](const LineLog& log, const std::string& model) {
    EXPECT_EQ(log.Text(), model);
    EXPECT_TRUE(log == model);
    EXPECT_EQ(log.size(), model.size());
    EXPECT_EQ(log.empty(), model.empty());
    if (!model.empty()) {
      std::string changed = model;
      changed.back() = static_cast<char>(changed.back() ^ 1);
      EXPECT_FALSE(log == changed);
      EXPECT_FALSE(log == model.substr(1));
    }
  });
}

TEST_P(LineLogScript, AnEditShowingItLooksAsIfTheWholeTextWereSetAfresh) {
  CMultiLineEdit edit;
  edit.setReadOnly(true);
  RunScript(GetParam(), [&](const LineLog& log, const std::string& model) {
    edit.ShowLog(log);
    QPlainTextEdit fresh;
    fresh.setPlainText(MultiLineDisplayText(model));
    EXPECT_EQ(edit.Text(), model);
    EXPECT_EQ(GetWindowText(&edit), model);
    EXPECT_EQ(edit.toPlainText(), fresh.toPlainText());
    EXPECT_EQ(edit.document()->blockCount(), fresh.document()->blockCount());
    EXPECT_TRUE(edit.Shows(log));
    EXPECT_EQ(edit.textCursor().position(), 0) << "shown from the newest line";
  });
}

INSTANTIATE_TEST_SUITE_P(Scripts, LineLogScript, ::testing::ValuesIn(Scripts()),
                         [](const ::testing::TestParamInfo<ScriptRow>& p) { return std::string(p.param.name); });

// Characters the control's document lost in its changes: a line on top loses none.
struct Removals {
  int removed = 0;
  int changes = 0;
  explicit Removals(CMultiLineEdit& edit) {
    QObject::connect(edit.document(), &QTextDocument::contentsChange, [this](int, int charsRemoved, int) {
      removed += charsRemoved;
      ++changes;
    });
  }
};

TEST(MultiLineEdit, ALineOnTopOfTheLogShownIsAddedAloneHoweverLongTheLog) {
  CMultiLineEdit edit;
  LineLog log(std::string(100000, 'x'));
  for (int i = 0; i < 1000; ++i) log.PutOnTop("line " + std::to_string(i));
  edit.ShowLog(log);
  Removals changes(edit);
  log.PutOnTop("newest");
  log.PutOnTop("newer still");
  edit.ShowLog(log);
  EXPECT_EQ(changes.removed, 0);
  EXPECT_EQ(changes.changes, 2);
  EXPECT_EQ(edit.document()->firstBlock().text(), QStringLiteral("newer still"));
  edit.ShowLog(log);
  EXPECT_EQ(changes.changes, 2) << "the same state again changes nothing";
}

TEST(MultiLineEdit, CopiesThatWentTheirOwnWaysAreEachShownRight) {
  CMultiLineEdit edit;
  LineLog a;
  a.PutOnTop("common");
  edit.ShowLog(a);
  LineLog b = a;
  a.PutOnTop("only in a");
  b.PutOnTop("only in b");
  for (const LineLog* log : {&a, &b, &a}) {
    edit.ShowLog(*log);
    EXPECT_EQ(edit.Text(), log->Text());
  }
  EXPECT_NE(a.Lineage(), b.Lineage());
}

TEST(MultiLineEdit, TypingOverItIsReadBackAndTheNextShowPutsTheLogBack) {
  CMultiLineEdit edit;
  LineLog log;
  log.PutOnTop("line");
  edit.ShowLog(log);
  edit.moveCursor(QTextCursor::End);
  QTest::keyClicks(&edit, "typed");
  EXPECT_TRUE(edit.TypedOver());
  EXPECT_FALSE(edit.Shows(log));
  EXPECT_EQ(edit.Text(), "line\r\ntyped");
  log.PutOnTop("next");
  edit.ShowLog(log);
  EXPECT_EQ(edit.Text(), "next\r\nline\r\n");
  EXPECT_EQ(edit.toPlainText(), QStringLiteral("next\nline\n"));
}

// The sample dialog with its log bound as a log.
class LogDialog : public testing::SampleDialog {
 public:
  LineLog m_log;
  void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, testing::ID_LOG, m_log); }
};

TEST(LineLogExchange, SavingLeavesAShownLogAloneAndTakesAnyOtherText) {
  LogDialog dialog;
  dialog.Create();
  dialog.m_log.PutOnTop("\xFF not utf-8");
  dialog.UpdateData(false);
  const uint64_t lineage = dialog.m_log.Lineage();
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_log.Lineage(), lineage) << "the field is what the control shows: untouched";
  EXPECT_EQ(dialog.m_log.Text(), "\xFF not utf-8\r\n");

  dialog.SetDlgItemText(testing::ID_LOG, "set\r\nelsewhere");
  dialog.UpdateData(true);
  EXPECT_EQ(dialog.m_log.Text(), "set\r\nelsewhere");
  dialog.m_log.PutOnTop("top");
  dialog.UpdateData(false);
  EXPECT_EQ(dialog.GetDlgItemText(testing::ID_LOG), "top\r\nset\r\nelsewhere");
}

}  // namespace
}  // namespace morvak
