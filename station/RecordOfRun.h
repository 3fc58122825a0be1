#pragma once
// The record of a run (RunRecord.h) made from its run state, and where the
// configuration puts the record file.
//
// A front end writes the record of a run once the run has ended (once its
// OnRunOutcome has been handled), reading the run state then. The window,
// which keeps no record file of its own, needs one call:
//   RecordRunIfConfigured(*this, RunEnding{outcome, lastLine, started}, error);
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "FlashRun.h"
#include "RunRecord.h"

namespace morvak {

// The outcome of a run whose worker reported `succeeded`: a run that failed
// after the operator asked it to stop was stopped.
RunOutcome OutcomeOf(const FlashRun& run, bool succeeded);

// Where a run that did not succeed ended and why: its stage, the programmer's
// error code, and a reason in plain words with what to do. All empty for a
// run that succeeded.
struct RunEndDescription {
  std::string stage;
  std::optional<uint32_t> errorCode;
  std::string reason;
};
RunEndDescription DescribeEnd(const FlashRun& run, RunOutcome outcome);

// What a front end knows of an ended run that its run state does not hold.
struct RunEnding {
  RunEnding(RunOutcome outcome_, std::string lastLine_, std::chrono::system_clock::time_point started_,
            std::chrono::system_clock::time_point ended_ = std::chrono::system_clock::now(), std::string port_ = {})
      : outcome(outcome_),
        lastLine(std::move(lastLine_)),
        started(started_),
        ended(ended_),
        port(std::move(port_)) {}

  RunOutcome outcome = RunOutcome::Failed;
  std::string lastLine;  // the last status line the run showed
  std::chrono::system_clock::time_point started;  // when the worker was started
  std::chrono::system_clock::time_point ended = std::chrono::system_clock::now();
  std::string port;
};

// The ASIC ID the run's boot read, in hex; empty when the boot read none.
std::string AsicIdHex(const FlashRun& run);

// The record of a run that has ended. `imageSha256` is the digest the run
// took of the image it read (FlashRun::ImageSha256; empty for none).
RunRecord MakeRunRecord(const FlashRun& run, const RunEnding& ending, std::string imageSha256);

// The record file the configuration names, [LURRA_PARAMS] RecordFile=, with a
// relative name taken beside the program (in the module directory); empty
// when the configuration names none.
std::string ConfiguredRecordFile(const std::string& moduleDirectory);

// For a front end without a record option of its own: when the configuration
// names a record file, appends the run's record with the digest the run took.
// True when the record was written or none is asked for; false, with the
// reason in `error`, when it could not be written.
bool RecordRunIfConfigured(const FlashRun& run, const RunEnding& ending, std::string& error);

}  // namespace morvak
