#pragma once
// What a run and its target link tell the front end while the run goes on, in
// plain C++ types. The window turns each event into its window message; the
// console queues them for its main thread. Neither the run nor the link knows
// which front end it talks to.
#include <cstdint>
#include <string>

namespace morvak {

class IRunEvents {
 public:
  virtual ~IRunEvents() = default;

  // Every event but OnMessageBox is queued for the front end's own thread and
  // returns at once; the front end handles them one at a time in the order
  // they were called. Safe from any thread.

  // The run begins and takes the front end's settings as they stand.
  virtual void OnRunBegins() = 0;
  // One status line, carried whole: none is lost or shown twice however fast
  // lines follow each other.
  virtual void OnStatusLine(std::string text) = 0;
  // The progress bar's new upper bound; its position goes back to 0.
  virtual void OnProgressRange(uint32_t upper) = 0;
  virtual void OnProgressPosition(uint32_t position) = 0;
  // `sent` bytes of the image's payload (raw part and record data, each byte
  // counted once however often a block is sent again) have gone to the
  // handset in this run, of `total`. Called after each transfer chunk.
  virtual void OnPayloadSent(uint64_t sent, uint64_t total) = 0;
  // The run's outcome; the last event of a run but for its controls.
  virtual void OnRunOutcome(bool succeeded) = 0;

  // Shows `text` in a modal box with only an OK button and returns once the
  // operator has closed it. Called from the run's worker thread.
  virtual void OnMessageBox(const std::string& text) = 0;
};

}  // namespace morvak
