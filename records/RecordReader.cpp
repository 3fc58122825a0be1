#include "RecordReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "IsoTime.h"
#include "JsonFields.h"
#include "RegularFile.h"

namespace morvak {
namespace {

// The members a record's reader knows.
enum Known { kTime, kResult, kPort, kAsicId, kImage, kImageSha256, kLastLine, kStage, kErrorCode, kReason, kElapsed, kKnown };
constexpr std::string_view kKnownNames[kKnown] = {"time",      "result", "port",       "asic_id", "image",
                                                  "image_sha256", "last_line", "stage", "error_code", "reason",
                                                  "elapsed_seconds"};

// A string member, or null or missing (empty); false when it is something else.
bool TextField(const JsonValue* value, Known name, std::string& out, std::string& why) {
  out.clear();
  if (value == nullptr || value->kind == JsonValue::Kind::Null) return true;
  if (value->kind != JsonValue::Kind::String) {
    why = "\"" + std::string(kKnownNames[name]) + "\" is not a string";
    return false;
  }
  out = value->text;
  return true;
}

// Reads record lines one after another; its fields and its entry keep their
// room from line to line, so that a file's lines are read without allocating.
class RecordLineParser {
 public:
  // The record `text` holds, valid until the next call; nothing, with the
  // reason in `why`, when it holds none.
  RecordEntry* Parse(std::string_view text, std::string& why);

 private:
  JsonFields m_fields;
  RecordEntry m_entry;
};

bool AllBlank(std::string_view s) { return s.find_first_not_of(" \t\r") == std::string_view::npos; }

constexpr size_t kChunkBytes = 256 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The starts of a glued record tried on one line: a line full of braces
// costs a bounded number of parses.
constexpr size_t kGlueTries = 8;
constexpr const char* kNotRegularWhy = "not a regular file (a FIFO, a device or a socket)";
constexpr const char* kOverlongWhy = "longer than 1 MiB";

std::string Unreadable(const std::string& path, const char* why) {
  return "cannot read the record file " + ShownPath(path) + ": " + why;
}

// Cuts the bytes of a file into lines and reads each. A line is seen in
// place in the chunk that holds it whole; only a line that spans chunks is
// copied, and no more than kRecordLineLimit bytes of it.
class LineReader {
 public:
  explicit LineReader(const RecordSink& sink) : m_sink(sink) {}

  void Take(std::string_view bytes) {
    for (size_t eol; (eol = bytes.find('\n')) != std::string_view::npos; bytes.remove_prefix(eol + 1)) {
      const std::string_view piece = bytes.substr(0, eol);
      if (m_carry.empty() && !m_overlong) {
        Line(piece, piece.size() > kRecordLineLimit);
      } else {
        Keep(piece);
        Line(m_carry, m_overlong);
        m_carry.clear();
        m_overlong = false;
      }
    }
    Keep(bytes);
  }

  // The last line, when the file does not end with a line end.
  void End() {
    if (!m_carry.empty() || m_overlong) Line(m_carry, m_overlong);
    m_carry.clear();
    m_overlong = false;
  }

 private:
  void Keep(std::string_view piece) {
    if (m_overlong) return;
    if (m_carry.size() + piece.size() > kRecordLineLimit) {
      m_overlong = true;
      std::string().swap(m_carry);
      return;
    }
    m_carry.append(piece);
  }

  void Line(std::string_view line, bool overlong) {
    const size_t number = ++m_number;
    if (overlong) {
      Malformed(number, kOverlongWhy);
      return;
    }
    if (number == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) line.remove_prefix(kByteOrderMark.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (AllBlank(line)) return;
    std::string why;
    if (RecordEntry* entry = m_parser.Parse(line, why)) {
      entry->line = number;
      Record(*entry);
    } else if (!Unglue(line, number)) {
      Malformed(number, std::move(why));
    }
  }

  // A writer that died mid-record leaves a torn record, and the next record
  // is appended right after it on the same line: the first '{"' from which
  // the rest of the line is a whole record splits the two.
  bool Unglue(std::string_view line, size_t number) {
    size_t tries = 0;
    for (size_t at = line.find('{', 1); at != std::string_view::npos && tries < kGlueTries;
         at = line.find('{', at + 1)) {
      const size_t name = line.find_first_not_of(" \t", at + 1);
      if (name == std::string_view::npos || line[name] != '"') continue;
      ++tries;
      std::string why;
      RecordEntry* whole = m_parser.Parse(line.substr(at), why);
      if (whole == nullptr) continue;
      RecordEntry glued = std::move(*whole);
      glued.line = number;
      if (RecordEntry* torn = m_parser.Parse(line.substr(0, at), why)) {
        torn->line = number;
        Record(*torn);
      } else {
        Malformed(number, std::move(why));
      }
      Record(glued);
      return true;
    }
    return false;
  }

  void Record(const RecordEntry& entry) {
    if (m_sink.record) m_sink.record(entry);
  }
  void Malformed(size_t number, std::string why) {
    if (m_sink.malformed) m_sink.malformed(MalformedRecord{number, std::move(why)});
  }

  const RecordSink& m_sink;
  std::string m_carry;
  bool m_overlong = false;
  size_t m_number = 0;
  RecordLineParser m_parser;
};

}  // namespace

Instant RecordEntry::Ended() const { return AddSeconds(started, elapsedSeconds); }

bool ParseRecordLine(std::string_view text, RecordEntry& out, std::string& why) {
  RecordLineParser parser;
  RecordEntry* entry = parser.Parse(text, why);
  if (entry == nullptr) return false;
  out = std::move(*entry);
  return true;
}

RecordEntry* RecordLineParser::Parse(std::string_view text, std::string& why) {
  if (!ParseJsonObject(text, m_fields, why)) return nullptr;
  // One look at each member; the checks below keep their order whatever the members' order.
  const JsonValue* known[kKnown] = {};
  for (size_t i = 0; i < m_fields.Size(); ++i) {
    const std::string_view name = m_fields.Name(i);
    for (int k = 0; k < kKnown; ++k)
      if (name == kKnownNames[k]) {
        known[k] = &m_fields.Value(i);
        break;
      }
  }
  RecordEntry& r = m_entry;
  r.line = 0;
  if (!TextField(known[kTime], kTime, r.time, why)) return nullptr;
  if (r.time.empty()) {
    why = "no \"time\"";
    return nullptr;
  }
  const auto started = ParseIsoTime(r.time);
  if (!started) {
    why = "\"time\" is not an ISO 8601 time";
    return nullptr;
  }
  r.started = *started;
  std::string result;
  if (!TextField(known[kResult], kResult, result, why)) return nullptr;
  const std::optional<RunOutcome> outcome = ParseOutcomeWord(result);
  if (!outcome) {
    why = result.empty() ? "no \"result\"" : "\"result\" is not \"succeeded\", \"failed\" or \"stopped\"";
    return nullptr;
  }
  r.outcome = *outcome;
  if (!TextField(known[kPort], kPort, r.port, why) || !TextField(known[kAsicId], kAsicId, r.asicId, why) ||
      !TextField(known[kImage], kImage, r.image, why) ||
      !TextField(known[kImageSha256], kImageSha256, r.imageSha256, why) ||
      !TextField(known[kLastLine], kLastLine, r.lastLine, why) || !TextField(known[kStage], kStage, r.stage, why) ||
      !TextField(known[kErrorCode], kErrorCode, r.errorCode, why) ||
      !TextField(known[kReason], kReason, r.reason, why))
    return nullptr;
  r.elapsedSeconds = 0;
  if (const JsonValue* value = known[kElapsed]; value != nullptr && value->kind != JsonValue::Kind::Null) {
    // Not strtod: the number must not depend on the C locale.
    const std::string& number = value->text;
    double seconds = -1;
    if (value->kind == JsonValue::Kind::Number) std::from_chars(number.data(), number.data() + number.size(), seconds);
    if (!(seconds >= 0) || !std::isfinite(seconds)) {
      why = "\"elapsed_seconds\" is not a number of seconds";
      return nullptr;
    }
    r.elapsedSeconds = seconds;
  }
  return &r;
}

RecordFile::~RecordFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool RecordFile::Open(const std::string& path, std::string& error) {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_path = path;
  FileIdentity identity;
  errno = 0;
  switch (OpenRegularFileDescriptor(path.c_str(), m_fd, &identity)) {
    case FileOpenResult::kOpened:
      m_size = identity.size;
      return true;
    case FileOpenResult::kCannotOpen:
      error = Unreadable(path, std::strerror(errno != 0 ? errno : ENOENT));
      return false;
    case FileOpenResult::kNotRegular:
      break;
  }
  struct stat st {};
  const bool directory = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  error = Unreadable(path, directory ? std::strerror(EISDIR) : kNotRegularWhy);
  return false;
}

bool RecordFile::Read(const RecordSink& sink, std::string& error) const {
  if (m_fd < 0) {
    error = Unreadable(m_path, std::strerror(EBADF));
    return false;
  }
  LineReader lines(sink);
  std::vector<char> chunk(kChunkBytes);
  uint64_t offset = 0;
  while (offset < m_size) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), m_size - offset));
    const ssize_t got = ::pread(m_fd, chunk.data(), want, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = Unreadable(m_path, std::strerror(errno));
      return false;
    }
    if (got == 0) break;  // the file was cut short since it was opened
    offset += static_cast<uint64_t>(got);
    lines.Take(std::string_view(chunk.data(), static_cast<size_t>(got)));
  }
  lines.End();
  return true;
}

}  // namespace morvak
