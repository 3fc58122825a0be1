// The program itself: help and bad usage are answered before any window, and
// so without a display.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace morvak {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

Outcome RunMorvak(const QStringList& args) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
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

}  // namespace
}  // namespace morvak
