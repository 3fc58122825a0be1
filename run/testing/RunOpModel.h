#pragma once
// Test support: what each transfer of a clean run belongs to, and the lines a
// run posts last when that transfer fails. Built from the transfers alone (the
// frames the host wrote), so it follows the run whatever the image holds.
#include <cstdint>
#include <string>
#include <vector>

#include "OpLogTransport.h"

namespace morvak::testing {

enum class Step {
  Open,          // the channels opened
  AsicId,        // the ROM's 69 bytes
  FlashCommand,  // 02 00 03 F0
  SizeCommand,   // the loader's length
  Loader,        // the loader's bytes
  Ping,
  RamType,
  Block,         // a data block: header, payload, acknowledgement, checksum query and answer
  Run,           // CMD_RUN
  Report,        // the reads of WaitReport after a CMD_RUN
  Config,        // CMD_CONFIG_A or CMD_CONFIG_B and its answer
  EndTransfer,
  Unknown,
};

struct OpStep {
  Step step = Step::Unknown;
  // Block: 0 for the programmer, then the image's blocks in order.
  // Run, Report: 1 for the programmer's start, 2 for the raw part, 3... for records.
  uint32_t index = 0;
};

std::vector<OpStep> ClassifyOps(const std::vector<LoggedOp>& log);
const char* StepName(Step step);

struct RunPaths {
  std::string boot;
  std::string programmer;
  std::string image;
};

// The lines a run posts last when the transfer `op` of step `at` fails
// (a refused or failed write, or a failed read); none when the run then still
// succeeds (only a failed CMD_END_TRANSFER, whose result the run ignores).
std::vector<std::string> FailureTail(const OpStep& at, OpKind op, const RunPaths& paths);

// The line a failed WaitReport leaves for the report reads of run `index`.
std::string ReportStepLine(uint32_t index);

// Index of the first transfer that fails when the handset takes `cut` host
// bytes and then goes away; log.size() when none does.
size_t FirstOpFailingAtCut(const std::vector<LoggedOp>& log, uint64_t cut);
// Index of the first write after transfer `index`: the one a stop right
// after that transfer refuses; log.size() when there is none.
size_t FirstWriteAfter(const std::vector<LoggedOp>& log, size_t index);
// Index of the first transfer of `step` (with `index`, for blocks and runs).
size_t FirstOpOf(const std::vector<OpStep>& steps, Step step, uint32_t index = 0);

}  // namespace morvak::testing
