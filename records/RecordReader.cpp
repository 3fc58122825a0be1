#include "RecordReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "IsoTime.h"
#include "JsonFields.h"
#include "RegularFile.h"

namespace morvak {
namespace {

// A string member, or null or missing (empty); false when it is something else.
bool TextField(const JsonFields& fields, std::string_view name, std::string& out, std::string& why) {
  const auto it = fields.find(name);
  out.clear();
  if (it == fields.end() || it->second.kind == JsonValue::Kind::Null) return true;
  if (it->second.kind != JsonValue::Kind::String) {
    why = "\"" + std::string(name) + "\" is not a string";
    return false;
  }
  out = it->second.text;
  return true;
}

bool AllBlank(std::string_view s) { return s.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace

std::chrono::system_clock::time_point RecordEntry::Ended() const {
  return started + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                       std::chrono::duration<double>(elapsedSeconds));
}

bool ParseRecordLine(std::string_view text, RecordEntry& out, std::string& why) {
  JsonFields fields;
  if (!ParseJsonObject(text, fields, why)) return false;
  RecordEntry r;
  if (!TextField(fields, "time", r.time, why)) return false;
  if (r.time.empty()) {
    why = "no \"time\"";
    return false;
  }
  const auto started = ParseIsoTime(r.time);
  if (!started) {
    why = "\"time\" is not an ISO 8601 time";
    return false;
  }
  r.started = *started;
  std::string result;
  if (!TextField(fields, "result", result, why)) return false;
  const std::optional<RunOutcome> outcome = ParseOutcomeWord(result);
  if (!outcome) {
    why = result.empty() ? "no \"result\"" : "\"result\" is not \"succeeded\", \"failed\" or \"stopped\"";
    return false;
  }
  r.outcome = *outcome;
  if (!TextField(fields, "port", r.port, why) || !TextField(fields, "asic_id", r.asicId, why) ||
      !TextField(fields, "image", r.image, why) || !TextField(fields, "image_sha256", r.imageSha256, why) ||
      !TextField(fields, "last_line", r.lastLine, why) || !TextField(fields, "stage", r.stage, why) ||
      !TextField(fields, "error_code", r.errorCode, why) || !TextField(fields, "reason", r.reason, why))
    return false;
  if (const auto it = fields.find("elapsed_seconds"); it != fields.end() && it->second.kind != JsonValue::Kind::Null) {
    // Not strtod: the number must not depend on the C locale.
    const std::string& number = it->second.text;
    double seconds = -1;
    if (it->second.kind == JsonValue::Kind::Number) std::from_chars(number.data(), number.data() + number.size(), seconds);
    if (!(seconds >= 0) || !std::isfinite(seconds)) {
      why = "\"elapsed_seconds\" is not a number of seconds";
      return false;
    }
    r.elapsedSeconds = seconds;
  }
  out = std::move(r);
  return true;
}

bool ReadRecordFile(const std::string& path, RecordFileContent& out, std::string& error) {
  // Not OpenRegularFile: a pipe (a file fetched with <(...)) is a fine record file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read the record file " + ShownPath(path) + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = "cannot read the record file " + ShownPath(path) + ": " + std::strerror(EISDIR);
    return false;
  }
  std::FILE* file = ::fdopen(fd, "r");
  if (file == nullptr) {
    error = "cannot read the record file " + ShownPath(path) + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  RecordFileContent content;
  char* buffer = nullptr;
  size_t capacity = 0;
  size_t number = 0;
  for (ssize_t n; (n = ::getline(&buffer, &capacity, file)) >= 0;) {
    ++number;
    std::string_view line(buffer, static_cast<size_t>(n));
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (AllBlank(line)) continue;
    RecordEntry entry;
    std::string why;
    if (ParseRecordLine(line, entry, why)) {
      entry.line = number;
      content.records.push_back(std::move(entry));
    } else {
      content.malformed.push_back(MalformedRecord{number, why});
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int readErrno = errno;
  std::free(buffer);
  std::fclose(file);
  if (failed) {
    error = "cannot read the record file " + ShownPath(path) + ": " + std::strerror(readErrno);
    return false;
  }
  out = std::move(content);
  return true;
}

}  // namespace morvak
