#include "ProfileFile.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "HexDigit.h"
#include "RegularFile.h"
#include "TextTrim.h"

namespace morvak {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

ProfileFile ProfileFile::Load(const std::string& path) {
  ProfileFile profile;
  LoadChecked(path, profile);
  return profile;
}

ProfileLoadResult ProfileFile::LoadChecked(const std::string& path, ProfileFile& profile, int* errorNumber) {
  profile = ProfileFile();
  int unused = 0;
  int& why = errorNumber != nullptr ? *errorNumber : unused;
  why = 0;
  int fd = -1;
  switch (OpenRegularFileDescriptor(path.c_str(), fd)) {
    case FileOpenResult::kOpened:
      break;
    case FileOpenResult::kNotRegular:
      return ProfileLoadResult::kNotRegular;
    case FileOpenResult::kCannotOpen:
      why = errno;
      return why == ENOENT || why == ENOTDIR ? ProfileLoadResult::kMissing : ProfileLoadResult::kUnreadable;
  }
  std::string text;
  char chunk[16384];
  ProfileLoadResult result = ProfileLoadResult::kLoaded;
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = errno;
      result = ProfileLoadResult::kUnreadable;
      break;
    }
    if (got == 0) break;
    text.append(chunk, static_cast<size_t>(got));
    if (text.size() > PROFILE_FILE_LIMIT) {
      result = ProfileLoadResult::kTooLarge;
      break;
    }
  }
  ::close(fd);
  if (result == ProfileLoadResult::kLoaded) profile = FromText(text);
  return result;
}

ProfileFile ProfileFile::FromText(std::string_view text) {
  ProfileFile profile;
  // Editors that save UTF-8 may put a byte-order mark first; it would
  // otherwise hide the first section's header.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  std::string section;
  bool inSection = false;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol), kWhiteSpace);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      section = Lower(Trim(line.substr(1, close - 1), kWhiteSpace));
      inSection = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (!inSection || eq == std::string_view::npos) continue;
    profile.m_entries.push_back(
        {section, Lower(Trim(line.substr(0, eq), kWhiteSpace)), std::string(Trim(line.substr(eq + 1), kWhiteSpace))});
  }
  return profile;
}

std::optional<std::string> ProfileFile::GetString(std::string_view section, std::string_view key) const {
  const std::string s = Lower(section);
  const std::string k = Lower(key);
  for (const Entry& e : m_entries) {
    if (e.section == s && e.key == k) {
      std::string_view v = e.value;
      // Windows strips one pair of surrounding quotes.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return std::string(v);
    }
  }
  return std::nullopt;
}

uint32_t ParseProfileNumber(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t value = 0;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    for (i += 2; i < text.size() && HexDigit(text[i]) >= 0; ++i)
      value = value * 16u + static_cast<uint32_t>(HexDigit(text[i]));
  } else {
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
      value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return negative ? 0u - value : value;
}

uint32_t ProfileFile::GetInt(std::string_view section, std::string_view key, uint32_t defaultValue) const {
  const std::optional<std::string> value = GetString(section, key);
  if (!value || value->empty()) return defaultValue;
  return ParseProfileNumber(*value);
}

uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t defaultValue,
                              const std::string& path) {
  return ProfileFile::Load(path).GetInt(section, key, defaultValue);
}

}  // namespace morvak
