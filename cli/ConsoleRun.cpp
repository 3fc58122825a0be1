#include "ConsoleRun.h"

#include <chrono>

#include "Interrupt.h"
#include "WindowMessages.h"

namespace morvak::cli {

CConsoleRun::CConsoleRun(std::FILE* out, std::FILE* err, bool interactive)
    : m_out(out), m_err(err), m_interactive(interactive), m_bar(err) {}

CConsoleRun::~CConsoleRun() { Shutdown(); }

void CConsoleRun::Push(Item item) {
  {
    std::lock_guard lock(m_mutex);
    m_items.push_back(std::move(item));
  }
  m_wake.notify_one();
}

void CConsoleRun::PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t) {
  Push({Item::kMessage, message, wParam, {}});
}

void CConsoleRun::PostStatusLine(std::string text) { Push({Item::kLine, WM_STATUS_LINE, 0, std::move(text)}); }

void CConsoleRun::OnWorkerFinished() { Push({Item::kFinished, 0, 0, {}}); }

void CConsoleRun::ShowMessageBox(const std::string& text) {
  // The box becomes a line on the console (the run posts the same text as a
  // status line just before); the worker waits until it has been dealt with.
  std::unique_lock lock(m_mutex);
  m_boxAnswered = false;
  m_items.push_back({Item::kBox, 0, 0, text});
  m_wake.notify_one();
  m_boxClosed.wait(lock, [this] { return m_boxAnswered; });
}

void CConsoleRun::Handle(const Item& item) {
  switch (item.kind) {
    case Item::kLine:
      m_bar.Clear();
      std::fprintf(m_out, "%s\n", item.text.c_str());
      std::fflush(m_out);
      break;
    case Item::kMessage:
      if (item.message == WM_PROGRESS_RANGE) m_bar.SetRange(item.wParam);
      if (item.message == WM_PROGRESS_POS) m_bar.SetPosition(item.wParam);
      if (item.message == WM_RUN_SUCCEEDED) m_result = 1;
      if (item.message == WM_RUN_FAILED) m_result = 0;
      break;
    case Item::kBox:
      // Only an operator at a terminal is asked to confirm, and only while no
      // stop has been asked for: a script never waits for Enter.
      if (m_interactive && StopRequests() == 0) {
        m_bar.Clear();
        std::fprintf(m_err, "%s\nPress Enter to continue.\n", item.text.c_str());
        WaitForEnter();
      }
      {
        std::lock_guard lock(m_mutex);
        m_boxAnswered = true;
      }
      m_boxClosed.notify_all();
      break;
    case Item::kFinished:
      break;
  }
}

int CConsoleRun::Pump() {
  bool finished = false;
  int stopsSeen = 0;
  while (!finished) {
    std::deque<Item> items;
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return !m_items.empty(); });
      items.swap(m_items);
    }
    for (const Item& item : items) {
      Handle(item);
      if (item.kind == Item::kFinished) finished = true;
    }
    if (StopRequests() > stopsSeen) {
      stopsSeen = StopRequests();
      RequestStop();
      m_bar.Clear();
      std::fprintf(m_err, "Stopping: the run ends at its next write (Ctrl-C again quits at once).\n");
    }
    m_bar.Draw();
  }
  m_bar.Clear();
  JoinWorker();
  return m_result;
}

}  // namespace morvak::cli
