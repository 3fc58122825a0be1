#pragma once
// Test support for the fault sweep: whole runs into a virtual handset behind
// a logging channel, the clean run every case is predicted from, and the
// checks every case must pass (its lines, the failure picture, nothing left
// allocated, a bounded end, and a good run right after on a fresh handset).
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OpLogTransport.h"
#include "RunOpModel.h"
#include "RunTestSupport.h"
#include "VirtualHandset.h"
#include "VirtualHandsetTransport.h"

namespace morvak::testing {

using Lines = std::vector<std::string>;

// How a case is expected to end: the whole log of status lines (for a
// success, every line but the last, which carries the elapsed time), whether
// a message box was shown, and whether FlashImage ran (it resets the progress).
struct Expectation {
  bool succeeds = false;
  Lines lines;
  bool box = false;
  bool flashImageRan = false;
};

// What the sweep counts, for the summary line.
struct SweepTally {
  int cases = 0;
  int correct = 0;
  int cuts = 0;
  int stops = 0;
  int faults = 0;
  int hangs = 0;
  // Cases that end succeeded by design: cut after the last byte, or cut or
  // stopped just before CMD_END_TRANSFER, whose result the run ignores.
  int succeeded = 0;
  int recovered = 0;  // faults a run recovers from (retried checksums, a late handset, a slow link)
  double seconds = 0;
};
SweepTally& Tally();

// One run into one handset: the run state, the logging channel and the handset.
struct HandsetRun {
  std::unique_ptr<RecordingRun> run;
  OpLogTransport* log = nullptr;
  VirtualHandsetTransport* handset = nullptr;
};

// The image a sweep runs, and what a clean run of it did.
struct SweepSubject {
  std::string image;
  RunPaths paths;
  std::vector<LoggedOp> log;
  std::vector<OpStep> steps;
  Lines lines;
  std::vector<BlockRecord> blocks;
};

class SweepHarness {
 public:
  explicit SweepHarness(const ProgramDirectory& dir) : m_dir(dir) {}

  // A run state of the program directory on a fresh handset with `faults`.
  HandsetRun Prepare(const std::string& faults) const;
  // Start on `image`; false (with a failure recorded) when Start refuses.
  static bool Start(HandsetRun& r, const std::string& image);
  // Waits for the worker to return; false when it has not within `limit`.
  static bool WaitEnded(const HandsetRun& r, std::chrono::milliseconds limit);

  // Runs `image` cleanly and keeps what it did; false when it failed.
  bool Record(const std::string& image, SweepSubject& subject) const;

  // The expectation for a run whose transfer `failing` (an index into the
  // subject's log) fails as the model says; a success when that is the end
  // of the transfer or beyond it.
  static Expectation AtFailingOp(const SweepSubject& subject, size_t failing);
  // The expectation for a run that fails at the transfer `at` with `tail` as
  // its last lines.
  static Expectation WithTail(const SweepSubject& subject, size_t at, Lines tail, bool box = false);

  // Checks how a finished run ended against `expected`; empty when it did,
  // otherwise what differed.
  static std::string CheckEnd(const HandsetRun& r, const Expectation& expected);
  // A fault-free run on a fresh handset right after, on the same run state;
  // empty when it succeeded with the subject's blocks.
  std::string CheckFreshRun(HandsetRun& r, const SweepSubject& subject) const;

  // Runs one case to its end (bounded) and checks it; `arm` may set up the
  // logging channel first. Empty when the case ended as expected.
  std::string RunCase(const SweepSubject& subject, const std::string& faults, const Expectation& expected,
                      const std::function<void(HandsetRun&)>& arm = {}) const;

 private:
  const ProgramDirectory& m_dir;
};

// Adds a case to the tally and fails the test with `problem` when it is not empty.
void CountCase(int SweepTally::*kind, const std::string& label, const std::string& problem);

}  // namespace morvak::testing
