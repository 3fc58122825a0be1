// The about box: its texts, geometry and font (with glyphs for every
// character), and the about entry of the stand-in system menu.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include "AboutBox.h"
#include "AppResources.h"
#include "DialogFont.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

TEST(AboutBox, ShowsItsTextsWhereTheTemplateSays) {
  CAboutBox about;
  about.Create();
  EXPECT_EQ(about.windowTitle(), QStringLiteral("关于 Morvak"));
  const DialogBaseUnits base = about.BaseUnits();
  EXPECT_EQ(about.size(), QSize(MulDiv(235, base.x, 4), MulDiv(55, base.y, 8)));
  ASSERT_EQ(about.ControlCount(), 4u);
  EXPECT_EQ(GetWindowText(about.ControlAt(1)), "Morvak 1.0 版");
  EXPECT_EQ(about.ControlAt(1)->geometry(), MapDialogRect(QRect(40, 10, 119, 8), base));
  const std::string notice = GetWindowText(about.ControlAt(2));
  EXPECT_FALSE(notice.empty());
  EXPECT_EQ(about.ControlAt(2)->geometry(), MapDialogRect(QRect(40, 25, 119, 8), base));
  auto* ok = about.GetDlgItemAs<QPushButton>(IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->geometry(), MapDialogRect(QRect(178, 7, 50, 14), base));
  auto* icon = qobject_cast<QLabel*>(about.ControlAt(0));
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());
  EXPECT_EQ(icon->geometry().topLeft(), MapDialogRect(QRect(11, 17, 20, 20), base).topLeft());
  // The texts fit their controls in the dialog's font.
  for (size_t i = 1; i <= 2; ++i) {
    const QFontMetrics metrics(about.ControlAt(i)->font());
    EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(GetWindowText(about.ControlAt(i)))),
              about.ControlAt(i)->width())
        << i;
  }
  QDir().mkpath(QStringLiteral(MORVAK_SCREENSHOT_DIR));
  EXPECT_TRUE(about.grab().save(QStringLiteral(MORVAK_SCREENSHOT_DIR "/morvak-about.png")));
}

TEST(AboutBox, OkAndEscEndIt) {
  CAboutBox about;
  about.Create();
  about.show();
  QTest::keyClick(&about, Qt::Key_Return);
  EXPECT_EQ(about.result(), IDOK);
  CAboutBox again;
  again.Create();
  again.show();
  QTest::keyClick(&again, Qt::Key_Escape);
  EXPECT_EQ(again.result(), IDCANCEL);
}

TEST(DialogFont, NinePointWithAGlyphForEveryCharacterTheDialogsShow) {
  const QFont font = DialogFont();
  EXPECT_EQ(font.pointSize(), 9);
  const QString texts = DialogTexts();
  EXPECT_TRUE(texts.contains(QStringLiteral("确定")));
  EXPECT_TRUE(texts.contains(QStringLiteral("关于 Morvak(&A)...")));
  EXPECT_TRUE(HasGlyphsFor(font, texts))
      << "no installed font has the dialogs' glyphs (" << QFontInfo(font).family().toStdString()
      << "); scripts/install-deps.sh installs fonts-wqy-microhei";
  EXPECT_FALSE(HasGlyphsFor(font, QString(QChar(0xE000)))) << "a private-use character is in no font";
}

TEST(DialogFont, BothDialogsUseIt) {
  CAboutBox about;
  about.Create();
  CFlashToolDlg main;
  main.Create();
  EXPECT_EQ(QFontInfo(about.font()).family(), QFontInfo(DialogFont()).family());
  EXPECT_EQ(QFontInfo(main.font()).family(), QFontInfo(DialogFont()).family());
}

using AboutEntry = WindowFixture;

TEST_F(AboutEntry, StandsLastAfterASeparatorAndOpensTheAboutBoxModally) {
  Open();
  QMenu* menu = dlg->GetSystemMenu();
  ASSERT_NE(menu, nullptr);
  const QList<QAction*> actions = menu->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  QAction* about = actions.back();
  EXPECT_EQ(about->text(), QStringLiteral("关于 Morvak(&A)..."));
  EXPECT_EQ(about->data().toUInt(), IDM_ABOUTBOX);

  QString caption;
  bool modal = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = dynamic_cast<CAboutBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    watcher.stop();
    caption = box->windowTitle();
    modal = box->isModal();
    box->GetDlgItemAs<QPushButton>(IDOK)->click();
  });
  watcher.start(10);
  about->trigger();  // returns once the box is closed
  EXPECT_EQ(caption, QStringLiteral("关于 Morvak"));
  EXPECT_TRUE(modal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutEntry, TheLowFourBitsOfTheCommandDoNotMatter) {
  Open();
  int opened = 0;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (auto* box = dynamic_cast<CAboutBox*>(QApplication::activeModalWidget())) {
      ++opened;
      box->reject();
    }
  });
  watcher.start(10);
  dlg->OnSysCommand(IDM_ABOUTBOX | 0x7, 0);
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace morvak
