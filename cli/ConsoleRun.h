#pragma once
// The console front end's run: the same run state and worker as the window,
// with the window's messages printed instead of shown. Status lines go to
// stdout oldest first, one line each, as they are posted; a progress bar goes
// to stderr when it is a terminal.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "FlashRun.h"
#include "ProgressBar.h"

namespace morvak::cli {

class CConsoleRun : public CFlashRun {
 public:
  CConsoleRun(std::FILE* out, std::FILE* err, bool interactive);
  ~CConsoleRun() override;

  // Prints what the worker posts until it has finished, acting on Ctrl-C as
  // "Stop flashing". Returns 1 when the run succeeded.
  int Pump();
  // Bytes the image and programmer will send, for the progress bar.
  void SetExpectedBytes(uint64_t bytes) { m_bar.SetExpectedBytes(bytes); }
  // Bytes written to the handset so far (from the counting channel).
  void SetByteCounter(const std::atomic<uint64_t>* counter) { m_bar.SetByteCounter(counter); }

  void PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void PostStatusLine(std::string text) override;
  void ShowMessageBox(const std::string& text) override;

 protected:
  void OnWorkerFinished() override;

 private:
  struct Item {
    enum Kind { kMessage, kLine, kBox, kFinished } kind = kMessage;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    std::string text;
  };
  void Push(Item item);
  void Handle(const Item& item);

  std::FILE* m_out;
  std::FILE* m_err;
  bool m_interactive;
  CProgressBar m_bar;
  int m_result = 0;

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Item> m_items;
  bool m_boxAnswered = false;
  std::condition_variable m_boxClosed;
};

}  // namespace morvak::cli
