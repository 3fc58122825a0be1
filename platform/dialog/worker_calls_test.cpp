// Calls from a worker into the window wait until the window has carried them
// out; a window thread that waits for the worker serves them instead of
// dead-locking; a worker's message box holds the worker until it is closed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "GuiTestSupport.h"
#include "dialog_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using Clock = std::chrono::steady_clock;

TEST(WorkerCalls, AnEnableFromAWorkerHasHappenedWhenItReturns) {
  SampleDialog dialog;
  dialog.Create();
  std::atomic<int> seenAfterReturn{-1};
  std::thread worker([&] {
    dialog.EnableDlgItemFromWorker(ID_GO, false);
    seenAfterReturn = dialog.IsDlgItemEnabled(ID_GO) ? 1 : 0;
  });
  EXPECT_TRUE(WaitUntil([&] { return seenAfterReturn.load() == 0; }, 2000));
  worker.join();
  EXPECT_FALSE(dialog.IsDlgItemEnabled(ID_GO));
}

TEST(WorkerCalls, OnTheWindowThreadACallIsCarriedOutAtOnce) {
  SampleDialog dialog;
  dialog.Create();
  dialog.EnableDlgItemFromWorker(ID_GO, false);  // would dead-lock if it queued
  EXPECT_FALSE(dialog.IsDlgItemEnabled(ID_GO));
}

TEST(WorkerCalls, WaitingForAWorkerServesTheCallsItIsBlockedIn) {
  SampleDialog dialog;
  dialog.Create();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) dialog.EnableDlgItemFromWorker(ID_GO, i % 2 == 0);
    done = true;
  });
  const auto start = Clock::now();
  // No event loop runs here: only the serving wait lets the worker on.
  dialog.ServeWorkerCallsUntil([&] { return done.load() || Clock::now() - start > std::chrono::seconds(5); });
  ASSERT_TRUE(done.load()) << "the worker stayed blocked";
  worker.join();
  EXPECT_FALSE(dialog.IsDlgItemEnabled(ID_GO));
}

QMessageBox* ActiveBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

// A box opened for a worker runs its own modal loop inside the window thread's
// event handling, so what the operator does to it is done from a timer.
struct BoxWatcher {
  QTimer timer;
  std::function<void(QMessageBox*)> onBox;
  QMessageBox* handled = nullptr;
  explicit BoxWatcher(std::function<void(QMessageBox*)> f) : onBox(std::move(f)) {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      QMessageBox* box = ActiveBox();
      if (box != nullptr && box != handled) {
        handled = box;
        onBox(box);
      }
    });
    timer.start(10);
  }
};

TEST(WorkerCalls, AMessageBoxHoldsTheWorkerUntilTheOperatorClosesIt) {
  SampleDialog dialog;
  dialog.Create();
  dialog.show();
  std::atomic<bool> returned{false};
  bool returnedWhileOpen = true;
  QString text;
  bool onlyOk = false;
  bool warns = false;
  bool overTheDialog = false;
  BoxWatcher watcher([&](QMessageBox* box) {
    text = box->text();
    onlyOk = box->standardButtons() == QMessageBox::Ok;
    warns = box->icon() == QMessageBox::Warning;
    overTheDialog = box->parentWidget() == &dialog;
    QTimer::singleShot(150, box, [&, box] {
      returnedWhileOpen = returned.load();
      box->button(QMessageBox::Ok)->click();
    });
  });
  std::thread worker([&] {
    dialog.MessageBoxFromWorker("Flash Firmware Error occurred:  code 5");
    returned = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return returned.load(); }, 3000));
  worker.join();
  EXPECT_EQ(text, QStringLiteral("Flash Firmware Error occurred:  code 5"));
  EXPECT_TRUE(onlyOk);
  EXPECT_TRUE(warns);
  EXPECT_TRUE(overTheDialog);
  EXPECT_FALSE(returnedWhileOpen) << "the worker went on while the box was open";
}

TEST(WorkerCalls, EndingTheDialogClosesTheBoxAndNoNewOneOpens) {
  SampleDialog dialog;
  dialog.Create();
  dialog.show();
  std::atomic<int> returned{0};
  int boxes = 0;
  BoxWatcher watcher([&](QMessageBox*) {
    ++boxes;
    dialog.EndDialog(IDCANCEL);
  });
  std::thread worker([&] {
    dialog.MessageBoxFromWorker("first");
    ++returned;
    dialog.MessageBoxFromWorker("second");
    ++returned;
  });
  EXPECT_TRUE(WaitUntil([&] { return returned.load() == 2; }, 3000));
  worker.join();
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(ActiveBox(), nullptr);
  EXPECT_EQ(dialog.result(), IDCANCEL);
}

}  // namespace
}  // namespace morvak
