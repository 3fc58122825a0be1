#pragma once
// Reading run records back (RunRecord.h writes them): one JSON object per
// line. A line that is not a record is counted with its reason, never fatal,
// so that one torn or foreign line does not hide the others.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RunOutcome.h"

namespace morvak {

struct RecordEntry {
  size_t line = 0;  // from 1, in the file
  std::chrono::system_clock::time_point started;
  std::string time;  // as the record gives it
  // Empty when the record has null or nothing.
  std::string port;
  std::string asicId;
  std::string image;
  std::string imageSha256;
  std::string lastLine;
  std::string stage;
  std::string errorCode;  // as written ("0x1B")
  std::string reason;
  RunOutcome outcome = RunOutcome::Failed;
  double elapsedSeconds = 0;  // 0 when the record has none

  // When the run ended: its start and its elapsed seconds.
  std::chrono::system_clock::time_point Ended() const;
};

struct MalformedRecord {
  size_t line = 0;
  std::string why;
};

struct RecordFileContent {
  std::vector<RecordEntry> records;  // in file order
  std::vector<MalformedRecord> malformed;
};

// A record needs "time" (ISO 8601) and "result" ("succeeded", "failed" or "stopped");
// the other fields it reads, when present, are strings or null
// (elapsed_seconds a number), and fields it does not know are passed over.
// False with the reason when `text` is not a record.
bool ParseRecordLine(std::string_view text, RecordEntry& out, std::string& why);

// Every line of the file; blank lines are passed over, a line end of CR LF
// is taken as LF. False, with the reason in `error`, when the file cannot be
// read (missing, no permission, a directory).
bool ReadRecordFile(const std::string& path, RecordFileContent& out, std::string& error);

}  // namespace morvak
