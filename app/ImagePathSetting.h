#pragma once
// The remembered image path: entry "ImageFilePath" of section "LURRA_lg" in the
// user's profile, the INI file "Morvak.ini" in the user's configuration
// directory ($XDG_CONFIG_HOME, by default ~/.config).
#include <string>

namespace morvak {

inline constexpr const char* kProfileName = "Morvak";
inline constexpr const char* kImagePathKey = "LURRA_lg/ImageFilePath";

// Empty when the file or the entry is missing. `key` is "SECTION/ENTRY".
std::string ReadImagePathSetting(const char* key = kImagePathKey);
// A failed write is not reported.
void WriteImagePathSetting(const std::string& path, const char* key = kImagePathKey);

}  // namespace morvak
