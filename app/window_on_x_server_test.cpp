// The program on a real X server with a window manager: the keys an operator
// types and the window manager's close reach the window as they do on a
// desktop. Xvfb is the server, openbox the window manager, xdotool types and
// clicks; without them the tests are skipped. How a run ended is read from the
// run record that the configuration beside a copy of the program names.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace morvak {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Generous: the machine may be busy with other builds.
constexpr auto kStartTimeout = 60s;
constexpr auto kRunTimeout = 180s;
constexpr int kCommandTimeoutMs = 30000;

bool PollUntil(const std::function<bool()>& condition, Clock::duration timeout) {
  const auto until = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

[[maybe_unused]] QString MissingTools() {
  QStringList missing;
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) missing << QString::fromLatin1(tool);
  return missing.join(QStringLiteral(", "));
}

void Stop(QProcess& process) {
  if (process.state() == QProcess::NotRunning) return;
  process.terminate();
  if (!process.waitForFinished(5000)) {
    process.kill();
    process.waitForFinished(5000);
  }
}

// An X server on a display of its own and openbox on it, for the whole suite.
class XSession {
 public:
  bool Start(QString& problem) {
    // The server picks a free display and names it on standard output.
    m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                            QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    const bool named = PollUntil(
        [&] {
          m_server.waitForReadyRead(50);
          number += m_server.readAllStandardOutput();
          return number.endsWith('\n') || m_server.state() == QProcess::NotRunning;
        },
        kStartTimeout);
    if (!named || number.trimmed().isEmpty()) {
      problem = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
      return false;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    // openbox runs its start-up command once it manages windows.
    const QString ready = m_dir.filePath(QStringLiteral("wm-ready"));
    m_wm.setProcessEnvironment(Environment());
    m_wm.start(QStringLiteral("openbox"),
               {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
    if (!PollUntil([&] { return QFileInfo::exists(ready) || m_wm.state() == QProcess::NotRunning; }, kStartTimeout) ||
        !QFileInfo::exists(ready)) {
      problem = QStringLiteral("openbox did not start: ") + QString::fromLocal8Bit(m_wm.readAllStandardError());
      return false;
    }
    return true;
  }
  ~XSession() {
    Stop(m_wm);
    Stop(m_server);
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    return env;
  }

  // Runs xdotool; its output, empty when it failed.
  QString Xdotool(const QStringList& args) const {
    QProcess tool;
    tool.setProcessEnvironment(Environment());
    tool.start(QStringLiteral("xdotool"), args);
    if (!tool.waitForFinished(kCommandTimeoutMs)) {
      Stop(tool);
      return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
  }

 private:
  QTemporaryDir m_dir;
  QProcess m_server;
  QProcess m_wm;
  QString m_display;
};

// A copy of morvak with its file/ folder, whose configuration names a run
// record, and a profile that remembers the demo image: the window opens with
// it in its path field.
class Morvak {
 public:
  Morvak(const XSession& x, const QString& faults) : m_x(x) {
    const QString program = m_dir.filePath(QStringLiteral("program"));
    const QString built = QFileInfo(QStringLiteral(MORVAK_EXE)).absolutePath();
    EXPECT_TRUE(QDir().mkpath(program + QStringLiteral("/file")));
    EXPECT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("config"))));
    EXPECT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("runtime"))));
    EXPECT_TRUE(QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(QFile::copy(QStringLiteral(MORVAK_EXE), program + QStringLiteral("/morvak")));
    for (const QFileInfo& file : QDir(built + QStringLiteral("/file")).entryInfoList(QDir::Files))
      EXPECT_TRUE(QFile::copy(file.filePath(), program + QStringLiteral("/file/") + file.fileName()));
    AddRecordFile(program + QStringLiteral("/file/LURRA.ini"));
    WriteFile(m_dir.filePath(QStringLiteral("config/Morvak.ini")),
              QStringLiteral("[LURRA_lg]\nImageFilePath=") + QStringLiteral(MORVAK_DEMO_IMG) + QStringLiteral("\n"));

    QProcessEnvironment env = x.Environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program + QStringLiteral("/morvak"), {QStringLiteral("--virtual-handset=") + faults});
  }
  ~Morvak() { Stop(m_process); }

  // The main window, shown, managed and holding the keyboard focus.
  bool WaitForWindow() {
    const QString pid = QString::number(m_process.processId());
    const bool found = PollUntil(
        [&] {
          m_window = FirstLine(m_x.Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--pid"), pid, QStringLiteral("--name"),
                                            QStringLiteral("^Morvak")}));
          return !m_window.isEmpty() || !Running();
        },
        kStartTimeout);
    return found && !m_window.isEmpty() && Activate(m_window);
  }
  // Another window of the program: a message box over the main window.
  QString OtherWindow() const {
    const QString pid = QString::number(m_process.processId());
    for (const QString& w : m_x.Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--pid"), pid, QStringLiteral("--name"), QStringLiteral(".")})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
      // Windows that carry no process id match any --pid.
      if (w != m_window && m_x.Xdotool({QStringLiteral("getwindowpid"), w}) == pid) return w;
    return {};
  }
  // The main window is still shown.
  bool WindowShown() const {
    const QString pid = QString::number(m_process.processId());
    return m_x.Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid,
                        QStringLiteral("--name"), QStringLiteral("^Morvak")})
        .split(QLatin1Char('\n'))
        .contains(m_window);
  }
  bool Activate(const QString& window) const {
    return PollUntil(
        [&] {
          m_x.Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
          return m_x.Xdotool({QStringLiteral("getactivewindow")}) == window;
        },
        kStartTimeout);
  }
  // Keys typed on the keyboard, to the window that has the focus.
  void Type(const QStringList& keys) const {
    m_x.Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")} + keys);
  }
  // Clicks "Start flashing", the big button at dialog units (22,82)-(280,127)
  // of the 390 by 250 window.
  void ClickStart() const {
    const QStringList geometry =
        m_x.Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_window}).split(QLatin1Char('\n'));
    int width = 0, height = 0;
    for (const QString& line : geometry) {
      if (line.startsWith(QStringLiteral("WIDTH="))) width = line.mid(6).toInt();
      if (line.startsWith(QStringLiteral("HEIGHT="))) height = line.mid(7).toInt();
    }
    m_x.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window,
                 QString::number(width * 151 / 390), QString::number(height * 104 / 250), QStringLiteral("click"),
                 QStringLiteral("1")});
  }

  const QString& MainWindow() const { return m_window; }
  bool Running() const { return m_process.state() != QProcess::NotRunning; }
  // The results of the ended runs in the record, oldest first.
  QStringList Results() const {
    QStringList results;
    QFile file(RecordPath());
    if (!file.open(QIODevice::ReadOnly)) return results;
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast();  // empty, or a line still being written
    for (const QByteArray& line : lines)
      results << (line.contains("\"result\":\"succeeded\"") ? QStringLiteral("succeeded") : QStringLiteral("failed"));
    return results;
  }
  bool WaitForRunEnded(Clock::duration timeout = kRunTimeout) const {
    return PollUntil([&] { return !Results().isEmpty() || !Running(); }, timeout) && !Results().isEmpty();
  }
  // The program's exit status; -1 when it has not ended within `timeout` or
  // did not end normally.
  int WaitForExit(Clock::duration timeout) {
    if (!PollUntil([&] { return m_process.waitForFinished(50); }, timeout)) return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
  }

 private:
  QString RecordPath() const { return m_dir.filePath(QStringLiteral("record.jsonl")); }
  static QString FirstLine(const QString& text) { return text.section(QLatin1Char('\n'), 0, 0); }
  static void WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
  }
  // RecordFile= goes into the configuration's [LURRA_PARAMS], which the
  // build's configuration may hold already.
  void AddRecordFile(const QString& ini) {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const QString section = QStringLiteral("[LURRA_PARAMS]");
    const QString entry = QStringLiteral("RecordFile=") + RecordPath() + QStringLiteral("\n");
    const qsizetype at = text.indexOf(section);
    if (at < 0) {
      text += QStringLiteral("\n") + section + QStringLiteral("\n") + entry;
    } else {
      const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), at);
      text.insert(lineEnd < 0 ? text.size() : lineEnd + 1, lineEnd < 0 ? QStringLiteral("\n") + entry : entry);
    }
    WriteFile(ini, text);
  }

  const XSession& m_x;
  QTemporaryDir m_dir;
  QProcess m_process;
  QString m_window;
};

class WindowOnXServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#if defined(MORVAK_SANITIZED)
    s_skip = QStringLiteral("a sanitizer build: the window's own tests cover it without the X server's timing");
#else
    s_skip = MissingTools();
    if (!s_skip.isEmpty()) {
      s_skip = QStringLiteral("missing ") + s_skip + QStringLiteral(" (scripts/install-deps.sh installs them)");
      return;
    }
    s_x = std::make_unique<XSession>();
    QString problem;
    if (!s_x->Start(problem)) s_problem = problem;
#endif
  }
  static void TearDownTestSuite() { s_x.reset(); }
  void SetUp() override {
    if (!s_skip.isEmpty()) GTEST_SKIP() << s_skip.toStdString();
    ASSERT_TRUE(s_problem.isEmpty()) << s_problem.toStdString();
  }

  static std::unique_ptr<XSession> s_x;
  static QString s_skip;
  static QString s_problem;
};

std::unique_ptr<XSession> WindowOnXServer::s_x;
QString WindowOnXServer::s_skip;
QString WindowOnXServer::s_problem;

// During a run "Stop flashing" holds the keyboard focus. A stray Space on it
// asks before it stops anything, and a stray Return answers the question's
// default, No: the run goes on and succeeds, and nothing reaches "Close
// Windows". The handset shows up late, so the run is still waiting for it
// when the keys come.
TEST_F(WindowOnXServer, SpaceAndReturnDuringARunLeaveItToSucceed) {
  Morvak morvak(*s_x, QStringLiteral("appear=5000,flash=1"));
  ASSERT_TRUE(morvak.WaitForWindow());
  morvak.ClickStart();
  morvak.Type({QStringLiteral("space")});
  QString box;
  ASSERT_TRUE(PollUntil([&] { return !(box = morvak.OtherWindow()).isEmpty(); }, kStartTimeout))
      << "Space on Stop asked nothing";
  ASSERT_TRUE(morvak.Results().isEmpty()) << "the run ended before the question came";
  ASSERT_TRUE(morvak.Activate(box));
  morvak.Type({QStringLiteral("Return")});
  ASSERT_TRUE(morvak.WaitForRunEnded());
  EXPECT_EQ(morvak.Results(), QStringList{QStringLiteral("succeeded")});
  ASSERT_TRUE(morvak.Running());
  EXPECT_TRUE(morvak.WindowShown());
  // Idle, Esc ends the program.
  ASSERT_TRUE(morvak.Activate(morvak.MainWindow()));
  morvak.Type({QStringLiteral("Escape")});
  EXPECT_EQ(morvak.WaitForExit(kStartTimeout), 0);
}

// The window manager's close (its Alt+F4) during a run asks first; "No",
// the question's default, answered with Enter, leaves the run to succeed.
TEST_F(WindowOnXServer, TheWindowManagersCloseAsksAndNoLetsTheRunSucceed) {
  Morvak morvak(*s_x, QStringLiteral("appear=10000,flash=1"));
  ASSERT_TRUE(morvak.WaitForWindow());
  morvak.ClickStart();
  morvak.Type({QStringLiteral("alt+F4")});
  QString box;
  ASSERT_TRUE(PollUntil([&] { return !(box = morvak.OtherWindow()).isEmpty(); }, kStartTimeout))
      << "no question came";
  ASSERT_TRUE(morvak.Results().isEmpty()) << "the run ended before the question came";
  ASSERT_TRUE(morvak.Activate(box));
  morvak.Type({QStringLiteral("Return")});
  ASSERT_TRUE(morvak.WaitForRunEnded());
  EXPECT_EQ(morvak.Results(), QStringList{QStringLiteral("succeeded")});
  EXPECT_TRUE(morvak.OtherWindow().isEmpty());
  // Idle, the same close ends the program without a question.
  ASSERT_TRUE(morvak.Running());
  ASSERT_TRUE(morvak.Activate(morvak.MainWindow()));
  morvak.Type({QStringLiteral("alt+F4")});
  EXPECT_EQ(morvak.WaitForExit(kStartTimeout), 0);
}

// Idle, with the focus where the window puts it on opening (the image's path),
// Enter and Esc close the window at once.
class IdleKey : public WindowOnXServer, public ::testing::WithParamInterface<const char*> {};

TEST_P(IdleKey, ClosesTheWindowAtOnce) {
  Morvak morvak(*s_x, QStringLiteral("flash=0"));
  ASSERT_TRUE(morvak.WaitForWindow());
  morvak.Type({QString::fromLatin1(GetParam())});
  EXPECT_EQ(morvak.WaitForExit(kStartTimeout), 0);
  EXPECT_TRUE(morvak.Results().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Keys, IdleKey, ::testing::Values("Return", "Escape"),
                         [](const ::testing::TestParamInfo<const char*>& key) { return std::string(key.param); });

}  // namespace
}  // namespace morvak
