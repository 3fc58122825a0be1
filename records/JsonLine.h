#pragma once
// One JSON object on one line, for run records and the console's JSON events.
// Strings are any bytes: valid UTF-8 passes through, control characters and
// the quote and backslash are escaped, and every byte that is not part of a
// valid UTF-8 sequence becomes U+FFFD, so that the line is always valid JSON
// whatever a handset sent. Numbers never depend on the C locale.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvak {

// `bytes` as a quoted JSON string.
std::string JsonString(std::string_view bytes);

// "2024-05-01T12:00:00.123Z": UTC, milliseconds.
std::string FormatUtcTime(std::chrono::system_clock::time_point time);

class JsonLine {
 public:
  JsonLine& Add(std::string_view name, std::string_view text);
  JsonLine& Add(std::string_view name, const char* text) { return Add(name, std::string_view(text)); }
  JsonLine& Add(std::string_view name, const std::string& text) { return Add(name, std::string_view(text)); }
  JsonLine& Add(std::string_view name, int64_t value);
  JsonLine& Add(std::string_view name, uint64_t value);
  JsonLine& Add(std::string_view name, int value) { return Add(name, static_cast<int64_t>(value)); }
  JsonLine& Add(std::string_view name, unsigned value) { return Add(name, static_cast<uint64_t>(value)); }
  JsonLine& Add(std::string_view name, bool value);
  // A fixed-point number with `decimals` digits after the point.
  JsonLine& AddFixed(std::string_view name, double value, int decimals);
  JsonLine& AddNull(std::string_view name);
  // A string, or null when `text` is empty.
  JsonLine& AddOrNull(std::string_view name, std::string_view text);

  // The object, without a line end.
  std::string Text() const { return m_body + "}"; }

 private:
  void Name(std::string_view name);
  std::string m_body = "{";
};

}  // namespace morvak
