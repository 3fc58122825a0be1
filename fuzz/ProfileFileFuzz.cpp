// fuzz_profile_file: the profile-file reader on arbitrary text.
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzScratch.h"
#include "FuzzTargets.h"
#include "ProfileFile.h"
#include "RunConfig.h"

namespace morvak::fuzz {
namespace {

using Query = std::pair<std::string, std::string>;  // section, key
constexpr size_t kMaxKeyLines = 64;

std::string_view Trimmed(std::string_view s) {
  const char* ws = " \t\r\n\f\v";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The section and key of every key line, as a reader of the format sees them;
// each must then be found, in any letter case.
std::vector<Query> KeyLines(std::string_view text) {
  std::vector<Query> found;
  std::optional<std::string> section;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close != std::string_view::npos) section = std::string(Trimmed(line.substr(1, close - 1)));
      continue;
    }
    const size_t eq = line.find('=');
    if (section && eq != std::string_view::npos) found.emplace_back(*section, std::string(Trimmed(line.substr(0, eq))));
  }
  return found;
}

// What a number of the plain forms must read as, worked out another way; nullopt for other texts.
std::optional<uint32_t> PlainNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > (base == 16 ? 8u : 9u)) return std::nullopt;
  for (const char c : text)
    if (base == 16 ? !std::isxdigit(static_cast<unsigned char>(c)) : !std::isdigit(static_cast<unsigned char>(c)))
      return std::nullopt;
  const uint32_t value = static_cast<uint32_t>(std::strtoul(std::string(text).c_str(), nullptr, base));
  return negative ? 0u - value : value;
}

std::string CheckQuery(const ProfileFile& text, const ProfileFile& file, const Query& q) {
  const std::optional<std::string> value = text.GetString(q.first, q.second);
  if (value != file.GetString(q.first, q.second)) return "the file and its text read differently";
  if (value != text.GetString(Upper(q.first), Upper(q.second))) return "a name read differently in upper case";
  const uint32_t a = text.GetInt(q.first, q.second, 7);
  const uint32_t b = text.GetInt(q.first, q.second, 0xFFFFFFF0u);
  if (!value || value->empty()) return a == 7 && b == 0xFFFFFFF0u ? std::string() : "a missing value did not give the default";
  if (a != b || a != ParseProfileNumber(*value)) return "GetInt is not the value's number";
  if (const std::optional<uint32_t> plain = PlainNumber(*value); plain && *plain != a)
    return "a plain number read as another value";
  return {};
}

}  // namespace

std::string FuzzProfileFile(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string path = WriteScratchFile("profile.ini", data, size);
  if (path.empty()) return "the profile could not be written";
  const ProfileFile fromText = ProfileFile::FromText(text);
  const ProfileFile fromFile = ProfileFile::Load(path);

  std::vector<Query> queries = KeyLines(text);
  // Each lookup scans every entry: a few dozen key lines exercise the lookup
  // as well as a thousand and keep the fuzzer fast.
  if (queries.size() > kMaxKeyLines) queries.resize(kMaxKeyLines);
  const std::vector<Query> lines = queries;
  for (const char* section : {kParamsSection, kNandSection, kOneNandSection, "LURRA_USB"})
    for (const char* key : {"CRCEnable", "DownloadRaw", "RawFileSize_WithoutEboot", "BinaryRegionSize_WithEboot",
                            "VendorId", "Port"})
      queries.emplace_back(section, key);
  for (const Query& q : queries)
    if (std::string problem = CheckQuery(fromText, fromFile, q); !problem.empty()) return problem;
  for (const Query& q : lines)
    if (!fromText.GetString(q.first, q.second)) return "a key line was not found";
  // The one-shot form reads the same file.
  for (size_t i = 0; i < queries.size() && i < 3; ++i)
    if (GetPrivateProfileInt(queries[i].first, queries[i].second, 5, path) !=
        fromText.GetInt(queries[i].first, queries[i].second, 5))
      return "GetPrivateProfileInt differs from the profile";
  for (const int type : {0, 1}) (void)ReadRunConfig(fromText, type);
  return {};
}

}  // namespace morvak::fuzz
