#include "JsonFields.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_set>
#include <utility>

namespace morvak {
namespace {

// Deeper nesting than any record has is refused rather than followed.
constexpr int kMaxDepth = 32;
// Up to this many members, a new name is compared with each before it; an
// object with more (no record has) is checked with a hash set.
constexpr size_t kNamesComparedOneByOne = 64;

// Equal names, most unequal ones told apart without comparing their bytes.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || (a.front() == b.front() && a.back() == b.back())) && a == b;
}

// The bytes a string's characters are taken as they are: not the quote, the
// backslash or a control character.
struct PlainBytes {
  bool plain[256] = {};
  constexpr PlainBytes() {
    for (int c = 0x20; c < 256; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr PlainBytes kPlain;

}  // namespace

const JsonValue* JsonFields::Find(std::string_view name) const {
  for (size_t i = 0; i < m_count; ++i)
    if (SameName(m_members[i].name, name)) return &m_members[i].value;
  return nullptr;
}

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : m_text(text) {}

  // `out` is left with no members unless the object is read whole.
  bool Object(JsonFields& out, std::string& why) {
    out.m_count = 0;
    if (Members(out, why)) return true;
    out.m_count = 0;
    return false;
  }

 private:
  bool Members(JsonFields& out, std::string& why) {
    Blanks();
    if (!Take('{')) return Fail("not a JSON object", why);
    Blanks();
    if (Take('}')) return End(why);
    NameSet names(out);
    for (;;) {
      if (out.m_members.size() == out.m_count) out.m_members.emplace_back();
      JsonFields::Member& member = out.m_members[out.m_count];
      Blanks();
      if (!String(member.name)) return Fail("a member without a quoted name", why);
      Blanks();
      if (!Take(':')) return Fail("no ':' after \"" + member.name + "\"", why);
      member.value.text.clear();
      if (!Value(member.value, 0)) return Fail("a value of \"" + member.name + "\" that is not JSON", why);
      if (!names.AddLast()) return Fail("a name given twice", why);
      Blanks();
      if (Take('}')) return End(why);
      if (!Take(',')) return Fail("no ',' or '}' after a member", why);
    }
  }

  // The names of the members read so far, to refuse one given twice.
  class NameSet {
   public:
    explicit NameSet(JsonFields& fields)
        : m_fields(fields), m_set(0, Hash{fields}, Equal{fields}) {}

    // Takes in the member just read; false when its name was given before.
    bool AddLast() {
      const size_t last = m_fields.m_count;
      const std::string& name = m_fields.m_members[last].name;
      if (last < kNamesComparedOneByOne) {
        // A name whose sketch no earlier name had is new without comparing.
        const uint64_t bit = uint64_t{1} << Sketch(name);
        if ((m_sketches & bit) != 0)
          for (size_t i = 0; i < last; ++i)
            if (SameName(m_fields.m_members[i].name, name)) return false;
        m_sketches |= bit;
      } else {
        if (m_set.empty())
          for (size_t i = 0; i < last; ++i) m_set.insert(i);
        if (!m_set.insert(last).second) return false;
      }
      ++m_fields.m_count;
      return true;
    }

   private:
    static unsigned Sketch(std::string_view name) {
      if (name.empty()) return 0;
      return (static_cast<unsigned>(name.size()) * 7u + static_cast<unsigned char>(name.front()) * 3u +
              static_cast<unsigned char>(name.back())) & 63u;
    }

    // By index: the members' strings move when the vector grows.
    struct Hash {
      const JsonFields& fields;
      size_t operator()(size_t i) const { return std::hash<std::string>()(fields.m_members[i].name); }
    };
    struct Equal {
      const JsonFields& fields;
      bool operator()(size_t a, size_t b) const { return fields.m_members[a].name == fields.m_members[b].name; }
    };
    JsonFields& m_fields;
    uint64_t m_sketches = 0;
    std::unordered_set<size_t, Hash, Equal> m_set;
  };

  bool Fail(std::string reason, std::string& why) {
    why = AtEnd() ? "cut off: the line ends inside the object" : std::move(reason);
    return false;
  }
  bool End(std::string& why) {
    Blanks();
    return m_at == m_text.size() || Fail("more after the object", why);
  }
  bool AtEnd() const { return m_at >= m_text.size(); }
  char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }
  bool Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++m_at;
    return true;
  }
  bool Word(std::string_view word) {
    if (m_text.substr(m_at, word.size()) != word) return false;
    m_at += word.size();
    return true;
  }
  void Blanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) ++m_at;
  }

  bool Value(JsonValue& value, int depth) {
    Blanks();
    switch (Peek()) {
      case '"': value.kind = JsonValue::Kind::String; return String(value.text);
      case 't': value.kind = JsonValue::Kind::True; return Word("true");
      case 'f': value.kind = JsonValue::Kind::False; return Word("false");
      case 'n': value.kind = JsonValue::Kind::Null; return Word("null");
      case '{':
      case '[': value.kind = JsonValue::Kind::Nested; return Nested(depth + 1);
      default: value.kind = JsonValue::Kind::Number; return Number(value.text);
    }
  }

  // An object or array, checked and passed over.
  bool Nested(int depth) {
    if (depth > kMaxDepth) return false;
    const char close = Peek() == '{' ? '}' : ']';
    const bool object = close == '}';
    ++m_at;
    Blanks();
    if (Take(close)) return true;
    for (;;) {
      JsonValue ignored;
      if (object) {
        Blanks();
        std::string name;
        if (!String(name)) return false;
        Blanks();
        if (!Take(':')) return false;
      }
      if (!Value(ignored, depth)) return false;
      Blanks();
      if (Take(close)) return true;
      if (!Take(',')) return false;
    }
  }

  bool Digits() {
    const size_t start = m_at;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++m_at;
    return m_at > start;
  }

  bool Number(std::string& out) {
    const size_t start = m_at;
    Take('-');
    if (Take('0')) {
      // no digits may follow a leading zero
    } else if (!Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    out.assign(m_text.data() + start, m_at - start);
    return true;
  }

  bool Hex4(uint32_t& out) {
    if (m_at + 4 > m_text.size()) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_at++];
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      out = out * 16 + digit;
    }
    return true;
  }

  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  // The code point of a \u escape whose "\u" has been taken, a surrogate pair joined.
  bool Escaped(uint32_t& cp) {
    if (!Hex4(cp)) return false;
    if (cp < 0xD800 || cp > 0xDFFF) return true;
    uint32_t low = 0;
    if (cp <= 0xDBFF && m_text.substr(m_at, 2) == "\\u") {
      const size_t back = m_at;
      m_at += 2;
      if (!Hex4(low)) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        return true;
      }
      m_at = back;
    }
    cp = 0xFFFD;
    return true;
  }

  // Where the run of plain characters from `from` ends, looked for eight
  // bytes at a time: is one of them below 0x20, a quote or a backslash?
  size_t PlainEnd(size_t from) const {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    const auto hasZero = [&](uint64_t w) { return (w - kOnes) & ~w; };
    const size_t end = m_text.size();
    size_t at = from;
    for (; at + 8 <= end; at += 8) {
      uint64_t word = 0;
      std::memcpy(&word, m_text.data() + at, 8);
      const uint64_t suspect =
          ((word - kOnes * 0x20) & ~word) | hasZero(word ^ (kOnes * '\\')) | hasZero(word ^ (kOnes * '"'));
      if ((suspect & kHighs) != 0) break;
    }
    while (at < end && kPlain.plain[static_cast<unsigned char>(m_text[at])]) ++at;
    return at;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    out.clear();
    while (!AtEnd()) {
      // Plain characters are taken a run at a time.
      const size_t plain = PlainEnd(m_at);
      out.append(m_text.data() + m_at, plain - m_at);
      m_at = plain;
      if (AtEnd()) break;
      const char c = m_text[m_at++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (AtEnd()) return false;
      switch (m_text[m_at++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp = 0;
          if (!Escaped(cp)) return false;
          AppendUtf8(out, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  std::string_view m_text;
  size_t m_at = 0;
};

bool ParseJsonObject(std::string_view text, JsonFields& out, std::string& why) {
  return JsonReader(text).Object(out, why);
}

}  // namespace morvak
