// A flood from the worker side: 100,000 status lines and as many progress
// positions, posted by a plain thread as fast as it can while the window
// handles them. Every line is shown exactly once, newest on top, and the bar
// takes every position in posting order; a log whose lines each cost the
// whole log so far would take hours here.
#include <QPlainTextEdit>
#include <chrono>
#include <cstdio>
#include <thread>

#include "WindowText.h"
#include "app_test_support.h"

namespace morvak {
namespace {

using namespace morvak::testing;
using Clock = std::chrono::steady_clock;
using Flood = WindowFixture;

constexpr int kCount = 100000;

std::string LineText(int i) { return "line " + std::to_string(i); }

TEST_F(Flood, EveryLineAndEveryPositionArrivesOnceInOrder) {
  Open();
  const auto started = Clock::now();
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    dlg->PostMessage(WM_PROGRESS_RANGE, kCount, 0);
    for (int i = 0; i < kCount; ++i) {
      dlg->OnStatusLine(LineText(i));
      dlg->PostMessage(WM_PROGRESS_POS, static_cast<uintptr_t>(i + 1), 0);
    }
    posted = true;
  });
  // The window keeps handling while the worker posts.
  const bool done = WaitUntil(
      [&] { return posted.load() && dlg->m_progressSeen.size() == static_cast<size_t>(kCount) + 1; }, 120000);
  worker.join();
  Drain();
  const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  RecordProperty("wall_ms", std::to_string(wallMs));
  std::printf("flood of %d lines and %d positions: %.0f ms\n", kCount, kCount, wallMs);
  ASSERT_TRUE(done) << dlg->m_progressSeen.size() << " progress messages handled";

  // The bar: the range, then every position once, each after its line.
  const std::vector<ProgressState>& seen = dlg->m_progressSeen;
  ASSERT_EQ(seen.size(), static_cast<size_t>(kCount) + 1);
  EXPECT_EQ(seen[0].upper, kCount);
  EXPECT_EQ(seen[0].position, 0);
  int wrong = 0;
  for (int i = 0; i < kCount; ++i) {
    const ProgressState& s = seen[static_cast<size_t>(i) + 1];
    if (s.position != i + 1 || s.upper != kCount || s.lastLine != LineText(i)) {
      if (++wrong < 5) ADD_FAILURE() << "position message " << i << ": " << s.position << " after " << s.lastLine;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(dlg->m_progress->GetPos(), kCount);

  // The log: all lines, the newest first, in the field and in the control.
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kCount));
  wrong = 0;
  for (int i = 0; i < kCount; ++i)
    if (lines[static_cast<size_t>(kCount - 1 - i)] != LineText(i) && ++wrong < 5)
      ADD_FAILURE() << "line " << i << " shows as " << lines[static_cast<size_t>(kCount - 1 - i)];
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(dlg->m_strStatusLog == Log());
  const auto* control = dlg->GetDlgItemAs<QPlainTextEdit>(IDC_STATUS_LOG);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->document()->blockCount(), kCount + 1);
  EXPECT_TRUE(control->toPlainText() == MultiLineDisplayText(Log())) << "the control shows the log as it is";
  EXPECT_EQ(control->textCursor().position(), 0) << "shown from its newest line";
}

}  // namespace
}  // namespace morvak
