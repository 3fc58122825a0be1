#pragma once
// Where a run ended and why: the stage its worker was in, the kind of failure
// and, when the flash programmer reported one, its error code; worded for the
// operator as a stage name and a reason that says what to do.
#include <cstdint>
#include <optional>
#include <string>

#include "LinkFault.h"

namespace morvak {

// The stages of a run in their order. Start: Start's own checks and the
// worker's check of the image before it looks for a handset. Loader: the
// loader's file, its sending and its answer. Programmer: the programmer's
// file, its sending and its start. Configuration: the configuration words sent
// to the programmer. RawPart: the image opened and its raw part written.
// Record: one record of an .img. Finish: after the last block (the image's
// identity check and the end command); where a run that succeeded ends.
enum class RunStage {
  Start,
  WaitingForHandset,
  AsicId,
  Loader,
  RamType,
  Programmer,
  Configuration,
  RawPart,
  Record,
  Finish
};

enum class FailureKind {
  None,               // the run succeeded, or has not ended
  Stopped,            // the operator stopped the run (Stop, Ctrl-C, a signal)
  NoHandset,          // no handset appeared within the wait for one
  NoAnswer,           // the handset did not answer within the reply time-out
  Disconnected,       // the channel failed: the handset went away, or the cable
  Refused,            // the handset answered with another frame than the one due
  CrcMismatch,        // a block arrived damaged at every attempt
  ProgrammerError,    // the flash programmer reported an error code
  ImageChanged,       // the image was replaced or written after Start
  ImageUnreadable,    // the image could not be opened or read whole
  ImageTooShort,      // the image ends before the raw part the configuration sets
  ImageTooLarge,      // the image is FILE_SIZE_LIMIT or larger
  ImageFormat,        // no image of a kind this configuration fits
  ImagePathTooLong,   // the image's path does not fit the run's path field
  ProgramPathTooLong, // the program's directory is too long for its file paths
  FileMissing,        // a program for the handset (loader, programmer) cannot be opened
  FileUnusable,       // a program for the handset is empty, too large or unreadable
  BadConfiguration,   // the configuration was refused, or sets a raw part no image holds
  OutOfMemory,        // no memory for a program or a block
};

struct RunEndPoint {
  RunStage stage = RunStage::Start;
  uint32_t record = 0;                 // from 1, for Record: the image's record (empty ones count)
  std::optional<uint32_t> errorCode;   // the programmer's, when it sent one
  FailureKind failure = FailureKind::None;
  // For FileMissing and FileUnusable: the file as the program's folder names
  // it ("file/2ND.nb0").
  std::string file;
};

// "waiting for the handset", "ASIC ID", "loader", "RAM type", "programmer",
// "configuration", "raw part", "record 3", "finish"; "start" for Start.
std::string StageName(const RunEndPoint& end);
// What failed and what to do, in one sentence that starts in lower case and
// has no closing period; empty for FailureKind::None.
std::string FailureReason(const RunEndPoint& end);
// The reason of a run the operator stopped.
std::string StoppedReason();

// The failure a fault of the target link is.
FailureKind FailureOf(LinkFault fault);
// A name of the program's folder as an operator reads it: "file\2ND.nb0"
// becomes "file/2ND.nb0".
std::string FolderName(const char* name);

}  // namespace morvak
