// What "browser..." offers by DownloadRaw, read afresh from the configuration,
// and the file dialog that offers it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "BrowseFilter.h"
#include "GuiTestSupport.h"
#include "OpenFileDialog.h"
#include "RunTestSupport.h"

namespace morvak {
namespace {

using morvak::testing::ProgramDirectory;

TEST(BrowseFilter, RawFilesAreOfferedOnlyForANonzeroDownloadRaw) {
  EXPECT_STREQ(BrowseFilter(0), "Image File (*.img)|*.img||");
  for (uint32_t v : {1u, 2u, 0xFFFFFFFFu})
    EXPECT_STREQ(BrowseFilter(v), "Image File (*.img)|*.img|Raw File (*.raw)|*.raw||") << v;
}

TEST(BrowseFilter, QtFiltersKeepThePairsInOrder) {
  EXPECT_EQ(QtNameFilters(kImageFilter), QStringList{QStringLiteral("Image File (*.img)")});
  EXPECT_EQ(QtNameFilters(kImageAndRawFilter),
            (QStringList{QStringLiteral("Image File (*.img)"), QStringLiteral("Raw File (*.raw)")}));
  EXPECT_EQ(QtNameFilters("Everything|*||"), QStringList{QStringLiteral("Everything (*)")});
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

struct RawRow {
  const char* config;  // nullptr: no configuration file
  uint32_t expected;
};

class DownloadRawTest : public ::testing::TestWithParam<RawRow> {};

TEST_P(DownloadRawTest, IsReadFromTheConfigurationBesideTheProgram) {
  ProgramDirectory dir("download-raw");
  if (GetParam().config != nullptr) dir.Config(GetParam().config);
  EXPECT_EQ(ReadDownloadRaw(dir.Directory()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadRawTest,
                         ::testing::Values(RawRow{nullptr, 0}, RawRow{"[LURRA_PARAMS]\nCRCEnable=1\n", 0},
                                           RawRow{"[LURRA_PARAMS]\nDownloadRaw=0\n", 0},
                                           RawRow{"[LURRA_PARAMS]\nDownloadRaw=1\n", 1},
                                           RawRow{"[lurra_params]\ndownloadraw = 7\n", 7},
                                           RawRow{"[LURRA_NAND]\nDownloadRaw=1\n", 0}));

TEST(DownloadRaw, IsReadAfreshEachTime) {
  ProgramDirectory dir("download-raw-afresh");
  dir.Config("[LURRA_PARAMS]\nDownloadRaw=1\n");
  EXPECT_EQ(ReadDownloadRaw(dir.Directory()), 1u);
  dir.Config("[LURRA_PARAMS]\nDownloadRaw=0\n");
  EXPECT_EQ(ReadDownloadRaw(dir.Directory()), 0u);
}

TEST(DownloadRaw, ADirectoryTooLongForThePathBufferOffersImagesOnly) {
  // "file/LURRA.ini" is 14 bytes: a 242-byte directory leaves no room for the NUL.
  EXPECT_EQ(ReadDownloadRaw("/" + std::string(240, 'd') + "/"), 0u);
}

// Drives the file dialog from a timer, since it runs its own modal loop.
struct FileDialogDriver {
  QStringList filters;
  QString selected;
  QTimer timer;
  FileDialogDriver(const QString& typed, bool accept) {
    QObject::connect(&timer, &QTimer::timeout, [this, typed, accept] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      timer.stop();
      filters = dialog->nameFilters();
      selected = dialog->selectedNameFilter();
      if (!accept) {
        dialog->reject();
        return;
      }
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (name != nullptr) name->setText(typed);
      static_cast<QDialog*>(dialog)->accept();
    });
    timer.start(10);
  }
};

TEST(OpenFileDialog, OffersTheFiltersAndGivesTheFullPathOfANameThatNeedNotExist) {
  ProgramDirectory dir("open-file-dialog");
  const QString wanted = QString::fromStdString(dir.Path("not-yet-there.raw"));
  FileDialogDriver driver(wanted, true);
  const auto chosen = ChooseFileToOpen(nullptr, kImageAndRawFilter);
  EXPECT_EQ(driver.filters, (QStringList{QStringLiteral("Image File (*.img)"), QStringLiteral("Raw File (*.raw)")}));
  EXPECT_EQ(driver.selected, QStringLiteral("Image File (*.img)"));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, dir.Path("not-yet-there.raw"));
}

TEST(OpenFileDialog, CancellingGivesNothing) {
  FileDialogDriver driver(QString(), false);
  EXPECT_FALSE(ChooseFileToOpen(nullptr, kImageFilter).has_value());
  EXPECT_EQ(driver.filters, QStringList{QStringLiteral("Image File (*.img)")});
}

}  // namespace
}  // namespace morvak
