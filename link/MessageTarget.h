#pragma once
// The window side of a run, as the run and the target link see it. The main
// dialog implements it over Qt events, the console front end over a queue.
#include <cstdint>
#include <string>

namespace morvak {

class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;

  // Queues a message for the target's own thread and returns at once; messages
  // are handled one at a time in posting order. Safe from any thread.
  virtual void PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

  // Posts WM_STATUS_LINE with its line carried in the message itself. A single
  // shared slot would lose a line whenever two are posted before the window
  // reads the first (and show the second twice); carried lines are shown
  // exactly once each, in posting order. Safe from any thread.
  virtual void PostStatusLine(std::string text) = 0;

  // Shows `text` in a modal box with only an OK button and returns once the
  // operator has closed it. Called from the run's worker thread.
  virtual void ShowMessageBox(const std::string& text) = 0;
};

}  // namespace morvak
