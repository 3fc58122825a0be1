// The program itself: help and the version are answered before any window,
// and so without a display; bad usage with status 2; an IMAGE on the command
// line is the window's choice; SIGTERM, SIGHUP and SIGINT end either window
// with their own status.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "Version.h"

namespace morvak {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

Outcome RunMorvak(const QStringList& args, const QProcessEnvironment& extra = {}, bool headless = true,
                  const QString& workingDirectory = {}) {
  QProcess process;
  if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
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

struct CommandRow {
  const char* name;
  QStringList args;
  bool headless;    // no display at all; else the offscreen one
  int exitCode;
  std::string out;  // what stdout starts with
  std::string err;  // what stderr holds; empty: nothing
};

class MorvakCommandLine : public ::testing::TestWithParam<CommandRow> {};

TEST_P(MorvakCommandLine, AnswersWithItsStatusAndText) {
  const CommandRow& row = GetParam();
  QProcessEnvironment extra;
  if (!row.headless) extra.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const Outcome o = RunMorvak(row.args, extra);
  EXPECT_EQ(o.exitCode, row.exitCode) << o.err;
  EXPECT_EQ(o.out.substr(0, row.out.size()), row.out);
  if (row.out.empty()) {
    EXPECT_EQ(o.out, "");
  }
  if (row.err.empty()) {
    EXPECT_EQ(o.err, "");
  }
  EXPECT_NE(o.err.find(row.err), std::string::npos) << o.err;
}

const std::string kUsage = "Usage: morvak [--station] [--virtual-handset[=FAULTS]] [IMAGE]\n";
const std::string kSeeHelp = " (see morvak --help)\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, MorvakCommandLine,
    ::testing::Values(
        CommandRow{"Version", {QStringLiteral("--version")}, true, 0, std::string("morvak ") + kVersion + "\n", ""},
        CommandRow{"ShortVersion", {QStringLiteral("-v")}, true, 0, std::string("morvak ") + kVersion + "\n", ""},
        CommandRow{"Help", {QStringLiteral("--help")}, true, 0, kUsage, ""},
        CommandRow{"HelpAmongToolkitOptions",
                   {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-h")}, true, 0, kUsage, ""},
        CommandRow{"FaultsItCannotRead", {QStringLiteral("--virtual-handset=hang=nowhere")}, true, 2, "",
                   "morvak: "},
        CommandRow{"UnknownOption", {QStringLiteral("--onenand")}, false, 2, "",
                   "morvak: Unknown option 'onenand'." + kSeeHelp},
        CommandRow{"TwoImages", {QStringLiteral("a.img"), QStringLiteral("b.img")}, false, 2, "",
                   "morvak: more than one image: a.img b.img" + kSeeHelp},
        // -reverse is the toolkit's, and holds no -v.
        CommandRow{"ToolkitOptionThenBadUsage", {QStringLiteral("-reverse"), QStringLiteral("--virtual")}, false, 2,
                   "", "morvak: Unknown option 'virtual'." + kSeeHelp}),
    [](const ::testing::TestParamInfo<CommandRow>& row) { return std::string(row.param.name); });

// Whether process `pid` has its handler for `signal` in place yet.
bool Catches(qint64 pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1u) != 0;
  return false;
}

struct SignalRow {
  const char* name;
  QStringList args;
  int signal;
  int exitCode;
};

class MorvakSignal : public ::testing::TestWithParam<SignalRow> {};

TEST_P(MorvakSignal, EndsTheWindowWithTheSignalsStatus) {
  const SignalRow& row = GetParam();
  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(MORVAK_EXE), row.args);
  ASSERT_TRUE(process.waitForStarted(5000));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!Catches(process.processId(), row.signal) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), row.signal), 0);
  ASSERT_TRUE(process.waitForFinished(10000)) << "the window stays open";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "killed by the signal";
  EXPECT_EQ(process.exitCode(), row.exitCode) << process.readAllStandardError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MorvakSignal,
    ::testing::Values(
        SignalRow{"StationTerminated", {QStringLiteral("--station"), QStringLiteral("--virtual-handset")}, SIGTERM, 143},
        SignalRow{"StationHungUp", {QStringLiteral("--station"), QStringLiteral("--virtual-handset")}, SIGHUP, 129},
        SignalRow{"MainWindowInterrupted", {QStringLiteral("--virtual-handset")}, SIGINT, 130}),
    [](const ::testing::TestParamInfo<SignalRow>& row) { return std::string(row.param.name); });

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

// An IMAGE named on the command line, relative to the working folder, is the
// window's choice instead of the remembered one, and is remembered in full.
TEST(MorvakProgram, TheImageOfTheCommandLineIsFlashedAndRemembered) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("config")));
  ASSERT_TRUE(QFile::copy(QStringLiteral(MORVAK_DEMO_IMG), dir.filePath(QStringLiteral("demo.img"))));
  const QString ini = dir.filePath(QStringLiteral("config/Morvak.ini"));
  std::ofstream(ini.toStdString()) << "[LURRA_lg]\nImageFilePath=/no/such/old.img\n";
  QProcessEnvironment extra;
  extra.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
  extra.insert(QStringLiteral("MORVAK_WINDOW_PICTURE"), dir.filePath(QStringLiteral("window.png")));
  extra.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const Outcome o =
      RunMorvak({QStringLiteral("--virtual-handset"), QStringLiteral("demo.img")}, extra, false, dir.path());
  EXPECT_EQ(o.exitCode, 0) << o.err;
  const QFileInfo remembered(
      QSettings(ini, QSettings::IniFormat).value(QStringLiteral("LURRA_lg/ImageFilePath")).toString());
  EXPECT_TRUE(remembered.isAbsolute()) << remembered.filePath().toStdString();
  EXPECT_EQ(remembered.canonicalFilePath(), QFileInfo(dir.filePath(QStringLiteral("demo.img"))).canonicalFilePath());
}

}  // namespace
}  // namespace morvak
