// How the window looks beyond its controls' places and texts: the status
// pictures stand on the dialog's own background, a long image path shows its
// file name, the caption reads as the window sets it, and the firmware error
// box warns with a plain OK button whatever the desktop's theme adds.
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QWindow>

#include "ApplicationLook.h"
#include "ImagePathSetting.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;

struct PictureRow {
  const char* name;
  QPixmap CFlashToolDlg::*bitmap;
};

class PictureTest : public WindowFixture, public ::testing::WithParamInterface<std::tuple<PictureRow, QColor>> {};

TEST_P(PictureTest, StandsOnTheDialogsBackgroundWithoutABox) {
  const auto& [row, background] = GetParam();
  Open();
  if (background.isValid()) {
    QPalette palette = dlg->palette();
    palette.setColor(QPalette::Window, background);
    dlg->setPalette(palette);
  }
  const QPixmap& bitmap = (*dlg).*row.bitmap;
  ASSERT_FALSE(bitmap.isNull());
  CDialog::SetImage(dlg->m_picStatus, bitmap);
  const QImage window = dlg->grab().toImage();
  QLabel* picture = dlg->m_picStatus;
  // The background there is the status group's, which the style may tint:
  // the control's own corners, outside the picture, show it.
  const QRect control = picture->geometry();
  const QColor face = window.pixelColor(control.topLeft());
  const QRect at = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, bitmap.size(), picture->contentsRect())
                       .translated(picture->pos());
  ASSERT_TRUE(control.contains(at) && control != at);
  for (const QPoint corner : {control.topRight(), control.bottomLeft(), control.bottomRight()})
    ASSERT_EQ(window.pixelColor(corner), face) << "the background is even";
  for (const QPoint corner : {at.topLeft(), at.topRight(), at.bottomLeft(), at.bottomRight()})
    EXPECT_EQ(window.pixelColor(corner), face) << row.name << " at " << corner.x() << "," << corner.y();
  EXPECT_NE(window.pixelColor(at.center()), face) << row.name << " is drawn";
}

INSTANTIATE_TEST_SUITE_P(
    IdleSuccessFailureBusy, PictureTest,
    ::testing::Combine(::testing::Values(PictureRow{"success", &CFlashToolDlg::m_hBmpSuccess},
                                         PictureRow{"failure", &CFlashToolDlg::m_hBmpFailure},
                                         PictureRow{"busy", &CFlashToolDlg::m_hBmpBusy}),
                       // The desktop's own background, and a dark one.
                       ::testing::Values(QColor(), QColor(40, 52, 70))));

// Long enough for any font to hide its start in the field.
std::string LongPath() { return "/srv/" + std::string(160, 'd') + "/firmware/handset-image.img"; }

enum class PathComes { AtStartUp, ByDrop, OnTheCommandLine };

class PathFieldTest : public WindowFixture, public ::testing::WithParamInterface<PathComes> {};

TEST_P(PathFieldTest, ALongPathShowsItsEndAndIsItsTooltip) {
  const std::string path = LongPath();
  if (GetParam() == PathComes::AtStartUp) WriteImagePathSetting(path);
  Open();
  if (GetParam() == PathComes::ByDrop) DropOn(dlg.get(), {QUrl::fromLocalFile(QString::fromStdString(path))});
  if (GetParam() == PathComes::OnTheCommandLine) dlg->ChooseImageFromCommandLine(path);
  auto* field = dlg->GetDlgItemAs<QLineEdit>(IDC_IMAGE_PATH);
  ASSERT_EQ(dlg->m_strImagePath, path);
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), path) << "the field keeps the whole path";
  ASSERT_GT(field->fontMetrics().horizontalAdvance(field->text()), field->width());
  EXPECT_EQ(field->cursorPosition(), field->text().size()) << "the view follows the cursor to the end";
  EXPECT_EQ(field->toolTip().toStdString(), path);
  // Every status line sends the fields to the controls again.
  dlg->AppendStatusLine("a line");
  EXPECT_EQ(field->cursorPosition(), field->text().size());
}

INSTANTIATE_TEST_SUITE_P(StartUpDropCommandLine, PathFieldTest,
                         ::testing::Values(PathComes::AtStartUp, PathComes::ByDrop, PathComes::OnTheCommandLine));

class CaptionTest : public WindowFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(CaptionTest, ReadsExactlyAsTheWindowSetsIt) {
  SetUpApplicationLook();
  Open();
  const std::string caption = GetParam() ? std::string(kMainCaption) + kVirtualHandsetCaption : kMainCaption;
  if (GetParam()) dlg->SetCaption(caption);
  EXPECT_EQ(dlg->windowHandle()->title().toStdString(), caption);
  // The window systems append a display name once one is set; none is: the
  // display name follows the application's name.
  QCoreApplication::setApplicationName(QStringLiteral("probe"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
  SetUpApplicationLook();
  EXPECT_EQ(QGuiApplication::applicationName(), QStringLiteral("Morvak"));
}

INSTANTIATE_TEST_SUITE_P(NormalAndVirtual, CaptionTest, ::testing::Bool());

// A desktop theme that puts icons on the standard buttons of dialogs.
class IconsOnDialogButtons : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

using WindowLook = WindowFixture;

TEST_F(WindowLook, TheFirmwareErrorBoxWarnsAndItsOkButtonIsPlain) {
  const QString styleName = QApplication::style()->name();
  QApplication::setStyle(new IconsOnDialogButtons(QStyleFactory::create(styleName)));
  SetUpApplicationLook();
  Open("error=5@2");
  Choose(Image());
  bool seen = false, warns = false, okPlain = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || seen) return;
    seen = true;
    warns = box->icon() == QMessageBox::Warning && !box->iconPixmap().isNull();
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    okPlain = ok != nullptr && ok->icon().isNull();
    box->accept();
  });
  watcher.start(10);
  Click(IDC_START_FLASHING);
  EXPECT_TRUE(WaitRunEnded());
  QApplication::setStyle(styleName);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(warns);
  EXPECT_TRUE(okPlain) << "the theme's icon stays off the OK button";
}

}  // namespace
}  // namespace morvak
