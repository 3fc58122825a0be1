// The program itself: help and bad usage are answered before any window, and
// so without a display.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <fstream>

namespace morvak {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

Outcome RunMorvak(const QStringList& args, const QProcessEnvironment& extra = {}, bool headless = true) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (headless) {
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  }
  for (const QString& key : extra.keys()) env.insert(key, extra.value(key));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(MORVAK_EXE), args);
  Outcome o;
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished();
    return o;
  }
  o.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  o.out = process.readAllStandardOutput().toStdString();
  o.err = process.readAllStandardError().toStdString();
  return o;
}

TEST(MorvakProgram, HelpPrintsTheUsageAndSucceeds) {
  const Outcome o = RunMorvak({QStringLiteral("--help")});
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.out.rfind("usage: morvak [--virtual-handset[=FAULTS]]", 0), 0u) << o.out;
}

TEST(MorvakProgram, FaultsItCannotReadAreBadUsage) {
  const Outcome o = RunMorvak({QStringLiteral("--virtual-handset=hang=nowhere")});
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_NE(o.err.find("morvak: "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("usage: morvak"), std::string::npos) << o.err;
}

// The documentation's picture: the program runs the remembered image on the
// virtual handset, saves its window once the run has ended, and closes.
TEST(MorvakProgram, TheWindowPictureIsTakenAfterARunAndTheProgramEnds) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("config")));
  std::ofstream(dir.filePath(QStringLiteral("config/Morvak.ini")).toStdString())
      << "[LURRA_lg]\nImageFilePath=" << MORVAK_DEMO_IMG << "\n";
  QProcessEnvironment extra;
  extra.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
  extra.insert(QStringLiteral("MORVAK_WINDOW_PICTURE"), dir.filePath(QStringLiteral("window.png")));
  extra.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const Outcome o = RunMorvak({QStringLiteral("--virtual-handset=flash=0")}, extra, false);
  EXPECT_EQ(o.exitCode, 0) << o.err;
  const QImage picture(dir.filePath(QStringLiteral("window.png")));
  ASSERT_FALSE(picture.isNull()) << o.err;
  EXPECT_GT(picture.width(), picture.height());
}

}  // namespace
}  // namespace morvak
