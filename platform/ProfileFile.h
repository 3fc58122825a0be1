#pragma once
// Reader for Windows-style profile (INI) files, with the semantics of the
// Windows profile functions: section and key names compare case-insensitively,
// values are trimmed, and a missing file, section or key, or an empty value,
// yields the caller's default. The file is never written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvak {

// A configuration larger than this is no configuration (a link to /dev/zero,
// a log written over it): it is refused, never read on without end.
inline constexpr size_t PROFILE_FILE_LIMIT = 256 * 1024;

enum class ProfileLoadResult {
  kLoaded,
  kMissing,     // no such file: every key takes its default
  kUnreadable,  // it exists but cannot be opened or read
  kNotRegular,  // a FIFO, a directory, a device node
  kTooLarge,    // more than PROFILE_FILE_LIMIT bytes
};

class ProfileFile {
 public:
  // Reads the whole file once; a file that is missing, or that LoadChecked
  // would refuse, gives an empty profile.
  static ProfileFile Load(const std::string& path);
  // Reads the file into `profile` (left empty unless kLoaded), opening only a
  // regular file, without blocking, and reading at most PROFILE_FILE_LIMIT bytes.
  // With kUnreadable, `errorNumber` (when given) gets the errno that says why.
  static ProfileLoadResult LoadChecked(const std::string& path, ProfileFile& profile, int* errorNumber = nullptr);
  // A UTF-8 byte-order mark at the very start of `text` is not part of it.
  static ProfileFile FromText(std::string_view text);

  // The trimmed value of the first matching key in the first matching section,
  // or nothing when the section or key is missing.
  std::optional<std::string> GetString(std::string_view section, std::string_view key) const;

  // As GetPrivateProfileInt: the default when the key is missing or its value is
  // empty; otherwise an optional sign, then decimal digits or 0x and hex digits,
  // and whatever follows the digits is ignored ("12abc" is 12, "abc" is 0).
  // Arithmetic wraps at 32 bits, and "-1" is 0xFFFFFFFF.
  uint32_t GetInt(std::string_view section, std::string_view key, uint32_t defaultValue) const;

 private:
  struct Entry {
    std::string section;  // lower case
    std::string key;      // lower case
    std::string value;
  };
  std::vector<Entry> m_entries;
};

// Parses a profile number as GetInt does; exposed for the command line.
uint32_t ParseProfileNumber(std::string_view text);

// One-shot form: GetPrivateProfileIntA on `path`.
uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key, uint32_t defaultValue,
                              const std::string& path);

}  // namespace morvak
