#include "JsonLine.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace morvak {
namespace {

// Length of the valid UTF-8 sequence at `s[i]`, or 0 when the byte there does
// not start one: no overlong forms, no surrogates, nothing above U+10FFFF.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b0 = byte(i);
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t c = static_cast<uint8_t>(bytes[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceAt(bytes, i);
      if (length == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(bytes.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kDigits[c >> 4];
          out += kDigits[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string FormatUtcTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto since = time.time_since_epoch();
  auto seconds = duration_cast<std::chrono::seconds>(since);
  auto millis = duration_cast<milliseconds>(since - seconds).count();
  if (millis < 0) {  // before 1970: floor, not truncate
    millis += 1000;
    seconds -= std::chrono::seconds(1);
  }
  const std::time_t t = static_cast<std::time_t>(seconds.count());
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(millis));
  return text;
}

void JsonLine::Name(std::string_view name) {
  if (m_body.size() > 1) m_body += ',';
  m_body += JsonString(name);
  m_body += ':';
}

JsonLine& JsonLine::Add(std::string_view name, std::string_view text) {
  Name(name);
  m_body += JsonString(text);
  return *this;
}

JsonLine& JsonLine::Add(std::string_view name, int64_t value) {
  Name(name);
  m_body += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::Add(std::string_view name, uint64_t value) {
  Name(name);
  m_body += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::Add(std::string_view name, bool value) {
  Name(name);
  m_body += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::AddFixed(std::string_view name, double value, int decimals) {
  Name(name);
  // JSON has no NaN or infinity.
  if (!std::isfinite(value)) {
    m_body += "null";
    return *this;
  }
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  m_body.append(text, ec == std::errc() ? end : text);
  if (ec != std::errc()) m_body += "null";
  return *this;
}

JsonLine& JsonLine::AddNull(std::string_view name) {
  Name(name);
  m_body += "null";
  return *this;
}

JsonLine& JsonLine::AddOrNull(std::string_view name, std::string_view text) {
  return text.empty() ? AddNull(name) : Add(name, text);
}

}  // namespace morvak
