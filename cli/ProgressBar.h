#pragma once
// The console's progress display on stderr, drawn only when stderr is a
// terminal that takes control codes (see TakesControlCodes): nothing of it
// goes to a pipe, a file or a dumb terminal. One line per handset, redrawn in
// place: a single handset's line is its bar alone, several handsets' lines
// are each headed by the port. No line is wider than the terminal's width
// less one column, so that the terminal never wraps one; the width is read
// again after every resize. A terminal shorter than the lines shows those of
// the first handsets that fit.
//
// What a line shows of the transfer is the run's image payload, measured by
// a TransferMeter: speed and time left count from the first payload byte, so
// that the wait for the handset and the boot do not lower them; before it
// the line says that it waits. A watching station shows a line only for each
// busy port.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Terminal.h"
#include "TransferMeter.h"

namespace morvak::cli {

// What one handset's line shows.
struct ProgressState {
  uint64_t range = 0;  // the run's progress range and position
  uint64_t position = 0;
  uint64_t bytes = 0;          // payload sent so far
  uint64_t expectedBytes = 0;  // the whole payload; 0: unknown, the fraction is position / range
  bool sending = false;        // the first payload byte has gone out
  std::optional<double> rate;  // bytes a second since the first byte; none yet
  bool ended = false;          // the run is over: nothing to wait for, no time left
};

class ProgressBar {
 public:
  using Clock = std::chrono::steady_clock;
  explicit ProgressBar(std::FILE* err, std::function<Clock::time_point()> now = Clock::now);
  // Ends the line drawn last if Finish did not come.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  bool Enabled() const { return m_enabled; }

  // Line `handset` (lines are shown in the order of their numbers) starts
  // afresh for a new run; `label` heads it when not empty.
  void ShowHandset(size_t handset, std::string label);
  // The line goes (a watching station's port whose run has ended).
  void HideHandset(size_t handset);
  void SetRange(size_t handset, uint64_t range);
  void SetPosition(size_t handset, uint64_t position);
  // The run's image payload: `sent` bytes of `total`.
  void SetPayload(size_t handset, uint64_t sent, uint64_t total);
  // The handset's run has ended: its line stays as it is now.
  void EndHandset(size_t handset);

  // Redraws at most ten times a second.
  void Draw();
  // Removes the lines so that a line can be printed in their place; the next
  // Draw puts them back below it.
  void Clear();
  // The runs have ended: the lines stand in their final state, followed by a
  // newline (or go, when no handset was sent a byte); nothing is drawn after.
  void Finish();

  // One handset's line for a terminal `width` columns wide: at most width - 1
  // characters, no control codes. Fields are left out, least useful first,
  // when the line would be longer.
  static std::string Render(const ProgressState& state, const std::string& label, int width);

 private:
  struct Handset {
    bool shown = false;
    std::string label;
    uint64_t range = 0;
    uint64_t position = 0;
    uint64_t sent = 0;
    uint64_t total = 0;
    TransferMeter meter;
    bool ended = false;
  };
  Handset* Find(size_t handset);
  void Show(Clock::time_point now, bool ended);
  std::string Erase() const;

  std::FILE* m_err;
  std::function<Clock::time_point()> m_now;
  bool m_enabled;
  std::unique_ptr<ResizeWatch> m_resize;  // only while enabled
  TerminalSize m_size;
  std::vector<Handset> m_handsets;
  int m_shownLines = 0;  // the cursor stands at the end of the last
  std::string m_shownText;
  bool m_everShown = false;
  bool m_finished = false;
  Clock::time_point m_lastDraw;
};

}  // namespace morvak::cli
