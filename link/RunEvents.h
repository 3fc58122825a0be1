#pragma once
// What a run and its target link tell the front end while the run goes on, in
// plain C++ types. The window turns each event into its window message; the
// engine below the console and the station queues them for its own thread.
// Neither the run nor the link knows which front end it talks to. A front end
// hands its implementation to the run (FlashRun's constructor) and overrides
// what it shows; every event does nothing by default.
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
  virtual void OnRunBegins() {}
  // One status line, carried whole: none is lost or shown twice however fast
  // lines follow each other.
  virtual void OnStatusLine(std::string /*text*/) {}
  // The progress bar's new upper bound; its position goes back to 0.
  virtual void OnProgressRange(uint32_t /*upper*/) {}
  virtual void OnProgressPosition(uint32_t /*position*/) {}
  // `sent` bytes of the image's payload (raw part and record data, each byte
  // counted once however often a block is sent again) have gone to the
  // handset in this run, of `total`. Called after each transfer chunk.
  virtual void OnPayloadSent(uint64_t /*sent*/, uint64_t /*total*/) {}
  // The run's outcome; the last event of a run but for its controls.
  virtual void OnRunOutcome(bool /*succeeded*/) {}

  // Shows `text` in a modal box with only an OK button and returns once the
  // operator has closed it. Called from the run's worker thread.
  virtual void OnMessageBox(const std::string& /*text*/) {}

  // The run's last acts, from the worker after its outcome and the release of
  // its channel. ReleaseRunControls: "Stop flashing" is disabled and "Start
  // flashing" enabled; the window waits until that is done, like a
  // cross-thread SendMessage. OnWorkerFinished: the worker returns next, and
  // everything it wrote may be read once the front end has seen this.
  virtual void ReleaseRunControls() {}
  virtual void OnWorkerFinished() {}
};

}  // namespace morvak
