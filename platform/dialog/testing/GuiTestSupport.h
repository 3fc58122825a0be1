#pragma once
// Waiting in window tests: the window thread keeps handling events (and the
// calls workers are blocked in) while a condition is awaited.
#include <QCoreApplication>
#include <QtTest/QTest>
#include <chrono>
#include <functional>

namespace morvak::testing {

// True as soon as `condition` holds; false once `timeoutMs` have passed.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qSleep(1);
  }
  return true;
}

// Handles everything already posted.
inline void Drain() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

}  // namespace morvak::testing
