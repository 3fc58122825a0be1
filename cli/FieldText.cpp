#include "FieldText.h"

#include <cstdint>
#include <cstdio>

namespace morvak::cli {
namespace {

// The length in bytes of the control character or reordering mark that
// starts at `at`, with its code point; 0 for anything else (invalid UTF-8
// included, which is passed on as it is).
size_t MarkAt(std::string_view text, size_t at, uint32_t& codePoint) {
  const auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
  const unsigned first = byte(0);
  if (first < 0x20 || first == 0x7F) {
    codePoint = first;
    return 1;
  }
  if (first == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {  // C1: U+0080..U+009F
    codePoint = byte(1);
    return 2;
  }
  if (first == 0xD8 && byte(1) == 0x9C) {  // U+061C
    codePoint = 0x061C;
    return 2;
  }
  if (first == 0xE2 && (byte(1) == 0x80 || byte(1) == 0x81) && byte(2) >= 0x80 && byte(2) <= 0xBF) {
    codePoint = 0x2000 + ((byte(1) & 0x3F) << 6) + (byte(2) & 0x3F);
    const bool marks = codePoint == 0x200E || codePoint == 0x200F;                 // LRM, RLM
    const bool embeddings = codePoint >= 0x202A && codePoint <= 0x202E;          // LRE .. RLO
    const bool isolates = codePoint >= 0x2066 && codePoint <= 0x2069;            // LRI .. PDI
    if (marks || embeddings || isolates) return 3;
  }
  return 0;
}

// Where a control character or reordering mark may start; the end when
// none can.
struct SuspectBytes {
  bool suspect[256] = {};
  constexpr SuspectBytes() {
    for (int c = 0; c < 0x20; ++c) suspect[c] = true;
    suspect[0x7F] = suspect[0xC2] = suspect[0xD8] = suspect[0xE2] = true;
  }
};
constexpr SuspectBytes kSuspect;

size_t FirstSuspect(std::string_view text) {
  bool any = false;
  for (const char c : text) any |= kSuspect.suspect[static_cast<unsigned char>(c)];
  if (!any) return text.size();
  size_t at = 0;
  while (!kSuspect.suspect[static_cast<unsigned char>(text[at])]) ++at;
  return at;
}

}  // namespace

std::string TableCell(std::string_view text) {
  if (text.empty()) return "-";
  const size_t suspect = FirstSuspect(text);
  std::string cell(text.substr(0, suspect));
  if (suspect == text.size()) return cell;
  cell.reserve(text.size());
  for (size_t at = suspect; at < text.size();) {
    uint32_t codePoint = 0;
    if (const size_t length = MarkAt(text, at, codePoint); length != 0) {
      cell += '?';
      at += length;
    } else {
      cell += text[at++];
    }
  }
  return cell;
}

void AppendCsvField(std::string_view text, std::string& out) {
  const size_t start = out.size();
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) out += '\'';
  const size_t suspect = FirstSuspect(text);
  out.append(text.substr(0, suspect));
  for (size_t at = suspect; at < text.size();) {
    uint32_t codePoint = 0;
    if (const size_t length = MarkAt(text, at, codePoint); length != 0) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(codePoint));
      out += escape;
      at += length;
    } else {
      out += text[at++];
    }
  }
  const std::string_view field = std::string_view(out).substr(start);
  const bool quoted = field.find_first_of(",\"") != std::string_view::npos ||
                      (!field.empty() && (field.front() == ' ' || field.back() == ' '));
  if (!quoted) return;
  std::string quotedField = "\"";
  for (char c : field) {
    if (c == '"') quotedField += '"';
    quotedField += c;
  }
  out.resize(start);
  out += quotedField;
  out += '"';
}

std::string CsvField(std::string_view text) {
  std::string field;
  AppendCsvField(text, field);
  return field;
}

}  // namespace morvak::cli
