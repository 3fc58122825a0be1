#pragma once
// Reading back one JSON object from a line, such as a run record (JsonLine.h
// writes them): its members whose values are strings, numbers, true, false
// or null. Nested objects and arrays are checked and kept only as such, so
// that a record with more fields than this reader knows still reads.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvak {

struct JsonValue {
  enum class Kind { String, Number, True, False, Null, Nested };
  Kind kind = Kind::Null;
  std::string text;  // a string decoded to UTF-8 (a lone surrogate as U+FFFD), a number as written
};

// The members of one object. Kept from one parse to the next, its strings
// keep their room, so that reading line after line allocates only for a
// line longer than those before.
class JsonFields {
 public:
  // The value of the member `name`; nothing when the object has none.
  const JsonValue* Find(std::string_view name) const;
  // The members in the order written: i from 0 to Size() - 1.
  size_t Size() const { return m_count; }
  std::string_view Name(size_t i) const { return m_members[i].name; }
  const JsonValue& Value(size_t i) const { return m_members[i].value; }

 private:
  friend class JsonReader;
  struct Member {
    std::string name;
    JsonValue value;
  };
  std::vector<Member> m_members;  // the first m_count are this object's
  size_t m_count = 0;
};

// False, with the reason in `why`, unless `text` is one JSON object (blanks
// around it allowed) whose names are all different. `out` holds the object's
// members only when it returns true.
bool ParseJsonObject(std::string_view text, JsonFields& out, std::string& why);

}  // namespace morvak
