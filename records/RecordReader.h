#pragma once
// Reading run records back (RunRecord.h writes them): one JSON object per
// line. A line that is not a record is counted with its reason, never fatal,
// so that one torn or foreign line does not hide the others. A file is read
// as a stream, in memory that does not grow with its length.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "IsoTime.h"
#include "RunOutcome.h"

namespace morvak {

struct RecordEntry {
  size_t line = 0;  // from 1, in the file
  Instant started;
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
  Instant Ended() const;
};

struct MalformedRecord {
  size_t line = 0;
  std::string why;
};

// A record needs "time" (ISO 8601) and "result" ("succeeded", "failed" or "stopped");
// the other fields it reads, when present, are strings or null
// (elapsed_seconds a number), and fields it does not know are passed over.
// False with the reason when `text` is not a record.
bool ParseRecordLine(std::string_view text, RecordEntry& out, std::string& why);

// Lines longer than this are no record: they are reported and passed over
// without being held whole.
inline constexpr size_t kRecordLineLimit = 1024 * 1024;

// What reading a record file finds, line by line, in file order.
struct RecordSink {
  std::function<void(const RecordEntry&)> record;
  std::function<void(const MalformedRecord&)> malformed;
};

// A record file opened for reading. Only a regular file is opened, without
// blocking, so that a FIFO, a device or a directory is refused at once; the
// bytes read are those the file held when it was opened (a station may still
// be appending), and they can be read more than once.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  // False, with the reason in `error`, when the file cannot be read
  // (missing, no permission, not a regular file).
  bool Open(const std::string& path, std::string& error);

  // Every line from the start: blank lines are passed over, a line end of
  // CR LF is taken as LF, and a UTF-8 byte-order mark at the very start is
  // not part of the first line. A line that is a torn record followed by a
  // whole one ("{...half{...}") gives the torn part as malformed and the
  // whole record, both with the line's number. False, with the reason in
  // `error`, when reading fails.
  bool Read(const RecordSink& sink, std::string& error) const;

 private:
  std::string m_path;
  int m_fd = -1;
  uint64_t m_size = 0;
};

}  // namespace morvak
