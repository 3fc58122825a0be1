#pragma once
// Reading back one JSON object from a line, such as a run record (JsonLine.h
// writes them): its members whose values are strings, numbers, true, false
// or null. Nested objects and arrays are checked and kept only as such, so
// that a record with more fields than this reader knows still reads.
#include <map>
#include <string>
#include <string_view>

namespace morvak {

struct JsonValue {
  enum class Kind { String, Number, True, False, Null, Nested };
  Kind kind = Kind::Null;
  std::string text;  // a string decoded to UTF-8 (a lone surrogate as U+FFFD), a number as written
};

using JsonFields = std::map<std::string, JsonValue, std::less<>>;

// False, with the reason in `why`, unless `text` is one JSON object (blanks
// around it allowed) whose names are all different.
bool ParseJsonObject(std::string_view text, JsonFields& out, std::string& why);

}  // namespace morvak
