#pragma once
// Run records: one JSON line per handset and run, appended to a file an
// operator names (--record on the console, RecordFile= in the configuration
// for both front ends). Nothing is written unless a file is named.
//
// The record of a run is made from the run state in station/RecordOfRun.h;
// this is the record itself and its one writer.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "RunOutcome.h"

namespace morvak {

struct RunRecord {
  std::chrono::system_clock::time_point started;
  std::string port;       // where the handset was plugged in; empty when not known
  std::string asicIdHex;  // empty when the run read none
  std::string imagePath;    // made absolute
  std::string imageSha256;  // empty when the image could not be read
  bool oneNand = false;     // the flash type: OneNAND, or NAND when false
  bool rawImage = false;
  bool eraseReserved = false;
  bool crcEnable = true;
  RunOutcome outcome = RunOutcome::Failed;
  // Where the run ended ("loader", "record 3"; RunStage.h) and why, in plain
  // words with what to do; the programmer's error code when it sent one.
  std::string stage;
  std::optional<uint32_t> errorCode;
  std::string reason;
  std::string lastLine;
  double elapsedSeconds = 0;
};

// A programmer's error code as records and JSON output give it: "0x1B".
std::string FormatErrorCode(uint32_t code);

// The record as one JSON object, without a line end.
std::string FormatRunRecord(const RunRecord& record);

// Whether run records can be appended to `path`, for a front end to ask
// before any run starts: true when it is a regular file, or nothing yet (then
// it is made, empty). A FIFO, a device, a directory or a socket is refused at
// once, without opening it, with a line that names the file and says what to
// do; nothing here waits for a reader or a device.
bool CheckRecordTarget(const std::string& path, std::string& error);

// Appends the record and a line end in a single write to a file opened for
// appending, so that the records of parallel runs, and of programs sharing the
// file, never interleave, then syncs it to the disk; true only then. The file
// is made when missing, and opened as CheckRecordTarget opens it. When the
// file ends inside a line (torn by a full disk or a crash), the same write
// starts with a line end, so that the record reads back as a line of its own.
// False, with a line that names the file and the reason, when the file is no
// regular file or cannot be opened, written whole or synced; a record only
// partly written is said to be so.
bool AppendRunRecord(const std::string& path, const RunRecord& record, std::string& error);

}  // namespace morvak
