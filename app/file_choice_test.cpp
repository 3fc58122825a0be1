// Choosing the image: "browser..." offers what DownloadRaw says, dropped files
// (the last of a drop wins, a name too long for the buffer is refused), and
// what Start does with a path it cannot use.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>

#include "RunTexts.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using FileChoice = WindowFixture;

// Answers the file dialog from a timer (it runs its own modal loop).
struct FileDialogAnswer {
  QStringList filters;
  bool seen = false;
  QTimer timer;
  FileDialogAnswer(const std::string& typed, bool accept) {
    QObject::connect(&timer, &QTimer::timeout, [this, typed, accept] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      timer.stop();
      seen = true;
      filters = dialog->nameFilters();
      if (!accept) {
        dialog->reject();
        return;
      }
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(typed));
      static_cast<QDialog*>(dialog)->accept();
    });
    timer.start(10);
  }
};

struct BrowseRow {
  const char* downloadRaw;
  QStringList filters;
};

class BrowseTest : public WindowFixture, public ::testing::WithParamInterface<BrowseRow> {};

TEST_P(BrowseTest, OffersTheFiltersOfDownloadRawAndShowsTheChoice) {
  dir.Config(std::string("[LURRA_PARAMS]\nDownloadRaw=") + GetParam().downloadRaw + "\n");
  Open();
  const std::string chosen = dir.Path("chosen.img");
  FileDialogAnswer answer(chosen, true);
  Click(IDC_BROWSE);
  EXPECT_TRUE(answer.seen);
  EXPECT_EQ(answer.filters, GetParam().filters);
  EXPECT_EQ(dlg->m_strImagePath, chosen);
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), chosen);
}

const QStringList kImages{QStringLiteral("Image File (*.img)")};
const QStringList kImagesAndRaw{QStringLiteral("Image File (*.img)"), QStringLiteral("Raw File (*.raw)")};

INSTANTIATE_TEST_SUITE_P(Rows, BrowseTest,
                         ::testing::Values(BrowseRow{"0", kImages}, BrowseRow{"1", kImagesAndRaw},
                                           BrowseRow{"5", kImagesAndRaw}, BrowseRow{"", kImages}));

TEST_F(FileChoice, BrowseReadsTheConfigurationAfreshAndCancelChangesNothing) {
  Open();
  Choose("/before.img");
  {
    FileDialogAnswer answer("", false);
    Click(IDC_BROWSE);
    EXPECT_EQ(answer.filters, kImages);
  }
  EXPECT_EQ(dlg->m_strImagePath, "/before.img");
  dir.Config("[LURRA_PARAMS]\nDownloadRaw=1\n");
  FileDialogAnswer answer("", false);
  Click(IDC_BROWSE);
  EXPECT_EQ(answer.filters, kImagesAndRaw);
  EXPECT_EQ(dlg->m_strImagePath, "/before.img");
}

TEST_F(FileChoice, DroppingSeveralFilesChoosesTheLast) {
  Open();
  DropOn(dlg.get(), {QUrl::fromLocalFile("/a/one.img"), QUrl::fromLocalFile("/b/two.img"),
                     QUrl::fromLocalFile("/c/three.raw")});
  EXPECT_EQ(dlg->m_strImagePath, "/c/three.raw");
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "/c/three.raw");
  DropOn(dlg.get(), {QUrl::fromLocalFile(QString::fromStdString(dir.Path("")))});
  EXPECT_EQ(dlg->m_strImagePath, dir.Path("")) << "a folder is taken without complaint";
  EXPECT_EQ(Log(), "");
}

TEST_F(FileChoice, ADroppedNameTooLongForTheBufferIsRefusedWithALine) {
  Open();
  Choose("/kept.img");
  // Appended, not `"/" + std::string`: GCC 12 at -O3 warns falsely (-Wrestrict) of that insert.
  const std::string longName = std::string(1, '/').append(1100, 'n').append(".img");
  DropOn(dlg.get(), {QUrl::fromLocalFile("/short.img"), QUrl::fromLocalFile(QString::fromStdString(longName))});
  EXPECT_EQ(dlg->m_strImagePath, "/kept.img");
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), "/kept.img");
  EXPECT_EQ(TopLine(), "The dropped file name is longer than 1023 bytes and was not taken:" + longName);
}

struct CommandLineRow {
  const char* name;
  std::string given;  // "@" stands for the test's folder
  bool taken;
};

class CommandLineImageTest : public WindowFixture, public ::testing::WithParamInterface<CommandLineRow> {};

// The IMAGE of the command line goes the way of a drop: taken by its full
// path whatever it names, refused with the drop's line when too long.
TEST_P(CommandLineImageTest, IsTakenAsADroppedFile) {
  Open();
  Choose("/kept.img");
  std::string given = GetParam().given;
  if (given == "@") given = dir.Path("");
  dlg->ChooseImageFromCommandLine(given);
  const std::string full = QDir::current().absoluteFilePath(QString::fromStdString(given)).toStdString();
  const std::string shown = GetParam().taken ? full : "/kept.img";
  EXPECT_EQ(dlg->m_strImagePath, shown);
  EXPECT_EQ(dlg->GetDlgItemText(IDC_IMAGE_PATH), shown);
  if (GetParam().taken) {
    EXPECT_EQ(Log(), "");
  } else {
    EXPECT_EQ(TopLine(), "The dropped file name is longer than 1023 bytes and was not taken:" + full);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandLineImageTest,
                         ::testing::Values(CommandLineRow{"Relative", "images/new.raw", true},
                                           CommandLineRow{"AFolder", "@", true},
                                           CommandLineRow{"TooLong", std::string(1100, 'n').append(".img"), false}),
                         [](const ::testing::TestParamInfo<CommandLineRow>& row) {
                           return std::string(row.param.name);
                         });

TEST_F(FileChoice, StartWithAnEmptyPathDoesNothingAtAll) {
  Open();
  dlg->AppendStatusLine("an earlier line");
  Click(IDC_START_FLASHING);
  EXPECT_EQ(Log(), "an earlier line\r\n") << "the log is not even cleared";
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_FALSE(dlg->WorkerAlive());
}

struct RefusalRow {
  const char* name;   // the image's file name in the test's directory; "@" for a missing one
  std::string bytes;  // its contents
  const char* line;   // "%s" stands for the path
};

class StartRefusalTest : public WindowFixture, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(StartRefusalTest, ShowsOneLineAndLeavesTheButtonsAndPicture) {
  Open();
  const RefusalRow& row = GetParam();
  std::string path = dir.Path(row.name);
  if (row.bytes.empty())
    path = dir.Path("missing") + "/" + row.name;
  else
    dir.WriteFile(row.name, row.bytes);
  Choose(path);
  dlg->AppendStatusLine("an earlier line");
  Click(IDC_START_FLASHING);
  std::string expected = row.line;
  if (const size_t at = expected.find("%s"); at != std::string::npos) expected.replace(at, 2, path);
  EXPECT_EQ(LogLines(), std::vector<std::string>{expected}) << "the log was cleared, then the line shown";
  EXPECT_TRUE(Enabled(IDC_START_FLASHING));
  EXPECT_FALSE(Enabled(IDC_STOP_FLASHING));
  EXPECT_TRUE(Shows(dlg->m_hBmpSuccess));
  EXPECT_FALSE(dlg->WorkerAlive());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartRefusalTest,
    ::testing::Values(RefusalRow{"nodot", "x", "It is an invalide download file."},
                      RefusalRow{"gone.img", "", "open file failed:%s"},
                      RefusalRow{"short.img", std::string(100, 'x'), "fread file failed:%s"},
                      RefusalRow{"junk.img", std::string(20000, 'j'), "error file format"}),
    [](const ::testing::TestParamInfo<RefusalRow>& row) { return std::to_string(row.index); });

}  // namespace
}  // namespace morvak
