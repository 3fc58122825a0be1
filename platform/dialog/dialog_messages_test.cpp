// Posted messages (any thread, posting order, lines carried with them), the
// stand-in system menu, and dropped files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QtTest/QTest>
#include <map>
#include <thread>

#include "DroppedFileNames.h"
#include "dialog_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

TEST(PostedMessages, FromManyThreadsEachSendersOrderIsKeptAndNoneIsLost) {
  SampleDialog dialog;
  dialog.Create();
  constexpr int kThreads = 4;
  constexpr int kEach = 400;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t)
    senders.emplace_back([&dialog, t] {
      for (int i = 0; i < kEach; ++i) {
        if (i % 3 == 0)
          dialog.PostLine(2000 + static_cast<uint32_t>(t), std::to_string(i));
        else
          dialog.PostMessage(2000 + static_cast<uint32_t>(t), static_cast<uintptr_t>(i), -t);
      }
    });
  for (int i = 0; i < kEach; ++i) dialog.PostMessage(3000, static_cast<uintptr_t>(i), 0);
  for (std::thread& s : senders) s.join();
  QApplication::processEvents();
  QApplication::sendPostedEvents(&dialog);

  ASSERT_EQ(dialog.m_posted.size(), static_cast<size_t>((kThreads + 1) * kEach));
  std::map<uint32_t, int> next;
  for (const Posted& p : dialog.m_posted) {
    int& expected = next[p.message];
    const int seen = p.line ? std::stoi(*p.line) : static_cast<int>(p.wParam);
    EXPECT_EQ(seen, expected) << "sender " << p.message;
    if (p.line) {
      EXPECT_EQ(p.wParam, 0u);
    } else if (p.message != 3000) {
      EXPECT_EQ(p.lParam, -static_cast<intptr_t>(p.message - 2000));
    }
    expected = seen + 1;
  }
}

TEST(PostedMessages, ALineTravelsWithItsMessageAndOthersCarryNone) {
  SampleDialog dialog;
  dialog.Create();
  dialog.PostLine(1129, "");
  dialog.PostLine(1129, "with\r\nbreak");
  dialog.PostMessage(1129, 0, 0);
  QApplication::sendPostedEvents(&dialog);
  ASSERT_EQ(dialog.m_posted.size(), 3u);
  EXPECT_EQ(dialog.m_posted[0].line, std::optional<std::string>(""));
  EXPECT_EQ(dialog.m_posted[1].line, std::optional<std::string>("with\r\nbreak"));
  EXPECT_FALSE(dialog.m_posted[2].line.has_value());
}

TEST(PostedMessages, MessagesPostedToADialogThatGoesAwayAreDropped) {
  auto dialog = std::make_unique<SampleDialog>();
  dialog->Create();
  dialog->PostMessage(1124, 1, 0);
  dialog.reset();
  QApplication::sendPostedEvents();  // must not reach the deleted dialog
  SUCCEED();
}

TEST(SystemMenu, HoldsMinimizeAndCloseAndTheDialogsOwnCommands) {
  SampleDialog dialog(SampleTemplate(DialogStyle::SystemMenu | DialogStyle::MinimizeBox));
  dialog.Create();
  QMenu* menu = dialog.GetSystemMenu();
  ASSERT_NE(menu, nullptr);
  CDialog::AppendMenuSeparator(menu);
  CDialog::AppendMenuItem(menu, 0x10, "about(&A)...");
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(actions[0]->data().toUInt(), SC_MINIMIZE);
  EXPECT_EQ(actions[1]->data().toUInt(), SC_CLOSE);
  EXPECT_TRUE(actions[2]->isSeparator());
  EXPECT_EQ(actions[3]->text(), QStringLiteral("about(&A)..."));
  actions[3]->trigger();
  EXPECT_EQ(dialog.m_sysCommands, (std::vector<unsigned>{0x10}));
}

TEST(SystemMenu, ADialogWithoutOneHasNone) {
  SampleDialog dialog(SampleTemplate(0));
  dialog.Create();
  EXPECT_EQ(dialog.GetSystemMenu(), nullptr);
}

QMimeData* Urls(const QList<QUrl>& urls) {
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

TEST(DroppedFiles, OnlyLocalFilesInTheDragsOrder) {
  std::unique_ptr<QMimeData> data(Urls({QUrl::fromLocalFile("/a/one.img"), QUrl("https://example.com/x.img"),
                                        QUrl::fromLocalFile("/b/two.raw"), QUrl::fromLocalFile("/c/dir")}));
  EXPECT_EQ(DroppedFileNames(*data), (std::vector<std::string>{"/a/one.img", "/b/two.raw", "/c/dir"}));
  QMimeData text;
  text.setText("/a/one.img");
  EXPECT_TRUE(DroppedFileNames(text).empty());
}

void Drop(QWidget& target, QMimeData* data, bool* enterAccepted) {
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  *enterAccepted = enter.isAccepted();
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &drop);
}

TEST(DroppedFiles, ReachOnDropFilesOfADialogThatAcceptsThem) {
  SampleDialog dialog;
  dialog.Create();
  std::unique_ptr<QMimeData> data(Urls({QUrl::fromLocalFile("/a/1.img"), QUrl::fromLocalFile("/a/2.img")}));
  bool accepted = false;
  Drop(dialog, data.get(), &accepted);
  EXPECT_TRUE(accepted);
  ASSERT_EQ(dialog.m_drops.size(), 1u);
  EXPECT_EQ(dialog.m_drops[0], (std::vector<std::string>{"/a/1.img", "/a/2.img"}));

  std::unique_ptr<QMimeData> web(Urls({QUrl("https://example.com/x.img")}));
  Drop(dialog, web.get(), &accepted);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(dialog.m_drops.size(), 1u);
}

TEST(DroppedFiles, ADialogThatDoesNotAcceptThemIgnoresThem) {
  SampleDialog dialog(SampleTemplate(DialogStyle::SystemMenu));
  dialog.Create();
  std::unique_ptr<QMimeData> data(Urls({QUrl::fromLocalFile("/a/1.img")}));
  bool accepted = true;
  Drop(dialog, data.get(), &accepted);
  EXPECT_FALSE(accepted);
  EXPECT_TRUE(dialog.m_drops.empty());
}

}  // namespace
}  // namespace morvak
