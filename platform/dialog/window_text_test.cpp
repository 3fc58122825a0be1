// A control gives back exactly the text it was given; what it shows is derived.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QtTest/QTest>
#include <memory>

#include "WindowText.h"

namespace morvak {
namespace {

std::unique_ptr<QWidget> MakeKind(int kind) {
  switch (kind) {
    case 0: return std::make_unique<QLineEdit>();
    case 1: {
      auto edit = std::make_unique<QPlainTextEdit>();
      edit->setReadOnly(true);
      return edit;
    }
    case 2: return std::make_unique<QLabel>();
    case 3: return std::make_unique<QPushButton>();
    default: return std::make_unique<QGroupBox>();
  }
}

class WindowTextTest : public ::testing::TestWithParam<std::tuple<int, std::string>> {};

TEST_P(WindowTextTest, RoundTripsByteForByte) {
  const auto& [kind, text] = GetParam();
  auto control = MakeKind(kind);
  SetWindowText(control.get(), "something else first");
  SetWindowText(control.get(), text);
  EXPECT_EQ(GetWindowText(control.get()), text);
}

INSTANTIATE_TEST_SUITE_P(
    KindsAndTexts, WindowTextTest,
    ::testing::Combine(::testing::Range(0, 5),
                       ::testing::Values(std::string(), std::string("line two\r\nline one\r\n"),
                                         std::string("\r\n"), std::string("/tmp/\xFF\xFEnot-utf8.img"),
                                         std::string("tab\there\xC2\xA0nbsp"), std::string(40000, 'x'),
                                         std::string("\xE5\x85\xB3\xE4\xBA\x8E"))));

TEST(WindowText, AMultiLineEditShowsLineEndsAsLineBreaks) {
  QPlainTextEdit edit;
  SetWindowText(&edit, "newest\r\nolder\r\n");
  EXPECT_EQ(edit.toPlainText(), QStringLiteral("newest\nolder\n"));
  EXPECT_EQ(edit.document()->blockCount(), 3);
}

TEST(WindowText, TextTypedByTheOperatorIsReadFromTheControl) {
  QLineEdit edit;
  SetWindowText(&edit, "set");
  EXPECT_EQ(edit.cursorPosition(), 0) << "a set text is shown from its start";
  edit.end(false);
  QTest::keyClicks(&edit, "!");
  EXPECT_EQ(GetWindowText(&edit), "set!");
  SetWindowText(&edit, "\xFF again");
  EXPECT_EQ(GetWindowText(&edit), "\xFF again");
}

class ShowsEndTest : public ::testing::TestWithParam<std::string> {};

// A path may hold what Qt takes for rich text in a tooltip; it is shown as it is.
TEST_P(ShowsEndTest, AnEditThatShowsItsEndHasItsTextAsTooltip) {
  QLineEdit edit;
  SetShowsEnd(&edit);
  SetWindowText(&edit, GetParam());
  const QString text = QString::fromStdString(GetParam());
  EXPECT_EQ(edit.cursorPosition(), text.size());
  QTextDocument shown;
  if (Qt::mightBeRichText(edit.toolTip()))
    shown.setHtml(edit.toolTip());
  else
    shown.setPlainText(edit.toolTip());
  EXPECT_EQ(shown.toPlainText(), text);
  EXPECT_EQ(GetWindowText(&edit), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Paths, ShowsEndTest,
                         ::testing::Values(std::string("/home/op/images/handset.img"),
                                           std::string("/tmp/<b>bold</b> &amp; more.img"), std::string()));

TEST(WindowText, AControlNeverSetGivesWhatItShows) {
  QPushButton button(QStringLiteral("shown"));
  EXPECT_EQ(GetWindowText(&button), "shown");
  EXPECT_EQ(GetWindowText(nullptr), "");
}

}  // namespace
}  // namespace morvak
