#pragma once
// Test support for the main window: a private profile and program directory,
// the window on a virtual handset, a record of what the run posted and of the
// progress bar after each progress message, and image files to flash.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "GuiTestSupport.h"
#include "ImageWriter.h"
#include "ProgressCtrl.h"
#include "RunTestSupport.h"
#include "SeededImage.h"
#include "VirtualHandsetTransport.h"
#include "WindowMessages.h"
#include "WindowText.h"

namespace morvak::testing {

// Sizes that keep test images small: the raw part is 4096 bytes.
inline constexpr const char* kSmallConfig =
    "[LURRA_PARAMS]\nDownloadRaw=0\n"
    "[LURRA_NAND]\nRawFileSize_WithoutEboot=4096\nBinaryRegionSize_WithoutEboot=4096\n"
    "RawFileSize_WithEboot=8192\nBinaryRegionSize_WithEboot=12288\n";

// Four records (one longer than the run's smallest working buffer) and a layout.
inline ImageDesc SmallImage() {
  return SeededImage(4096, {{0x100000, 5000}, {0x200000, 0}, {0x300000, 0x130000}, {0x400000, 77}}, 0, {2, 3, 5});
}

// The user's profile in a directory of the test's own.
struct ProfileSandbox {
  QTemporaryDir dir;
  ProfileSandbox() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); }
  std::string IniPath() const { return (dir.path() + QStringLiteral("/Morvak.ini")).toStdString(); }
};

struct ProgressState {
  int upper = 0;
  int position = 0;
  std::string lastLine;  // the status line shown last when the bar was set
};

class TestFlashToolDlg : public CFlashToolDlg {
 public:
  using CFlashToolDlg::WindowProc;

  void OnStatusLine(std::string text) override {
    {
      std::lock_guard lock(m_mutex);
      m_postedLines.push_back(text);
    }
    CFlashToolDlg::OnStatusLine(std::move(text));
  }
  intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CFlashToolDlg::DefWindowProc(message, wParam, lParam);
    if ((message == WM_PROGRESS_POS || message == WM_PROGRESS_RANGE) && m_progress != nullptr)
      m_progressSeen.push_back({m_progress->GetUpper(), m_progress->GetPos(), m_strPendingStatus});
    return result;
  }
  std::vector<std::string> PostedLines() const {
    std::lock_guard lock(m_mutex);
    return m_postedLines;
  }

  std::vector<ProgressState> m_progressSeen;  // window thread

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_postedLines;
};

// Answers the window's Yes/No questions from a timer (each box runs its own
// modal loop) and keeps what was asked; other boxes are left alone.
struct QuestionAnswers {
  QMessageBox::StandardButton answer;
  std::vector<std::string> asked;
  QTimer timer;
  explicit QuestionAnswers(QMessageBox::StandardButton a) : answer(a) {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box->standardButtons() != (QMessageBox::Yes | QMessageBox::No)) return;
      asked.push_back(box->text().toStdString());
      box->button(answer)->click();
    });
    timer.start(10);
  }
};

// Files dropped on `window`, as the desktop drops them.
inline void DropOn(QWidget* window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
}

inline std::string SafeName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return "window-" + name;
}

struct WindowFixture : ::testing::Test {
  ProfileSandbox profile;
  ProgramDirectory dir{SafeName()};
  std::unique_ptr<TestFlashToolDlg> dlg;
  VirtualHandsetTransport* handset = nullptr;

  void SetUp() override { dir.Config(kSmallConfig); }
  void TearDown() override { dlg.reset(); }

  // The window on a virtual handset with `faults`, open and shown.
  void Open(const std::string& faults = "") {
    dlg = std::make_unique<TestFlashToolDlg>();
    dlg->m_strModuleDirectory = dir.Directory();
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseFaultPlan(faults, plan, error)) << error;
    auto transport = std::make_unique<VirtualHandsetTransport>(plan);
    handset = transport.get();
    dlg->m_link.m_device.SetTransport(std::move(transport));
    dlg->Create();
    dlg->show();
  }
  std::string Image(const std::string& name = "image.img") {
    const std::string path = dir.Path(name);
    std::string problem;
    EXPECT_EQ(WriteImage(path, SmallImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  void Choose(const std::string& path) {
    dlg->m_strImagePath = path;
    dlg->UpdateData(false);
  }
  QPushButton* Button(int id) const { return dlg->GetDlgItemAs<QPushButton>(id); }
  void Click(int id) { QTest::mouseClick(dlg->GetDlgItemAs<QAbstractButton>(id), Qt::LeftButton); }
  bool Enabled(int id) const { return dlg->IsDlgItemEnabled(id); }
  // The run has ended and the window has handled all it posted.
  bool WaitRunEnded(int timeoutMs = 10000) {
    const bool ended = WaitUntil([this] { return !dlg->WorkerAlive() && Enabled(IDC_START_FLASHING); }, timeoutMs);
    Drain();
    return ended;
  }
  std::string Log() const { return dlg->GetDlgItemText(IDC_STATUS_LOG); }
  // The log's lines, newest first.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    const std::string log = Log();
    size_t start = 0;
    for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(log.substr(start, end - start));
    EXPECT_EQ(start, log.size()) << "every line ends in CR LF";
    return lines;
  }
  std::string TopLine() const {
    const auto lines = LogLines();
    return lines.empty() ? std::string() : lines.front();
  }
  bool Shows(const QPixmap& bitmap) const {
    return !bitmap.isNull() && dlg->m_picStatus->pixmap().cacheKey() == bitmap.cacheKey();
  }
};

}  // namespace morvak::testing
