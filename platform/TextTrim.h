#pragma once
// Cutting blanks off both ends of a piece of text. What counts as a blank
// depends on the text: items of a list given on a command line are cut of
// spaces and tabs only, lines of a text file of all C-locale white space.
#include <string_view>

namespace morvak {

inline constexpr std::string_view kSpacesAndTabs = " \t";
inline constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";

// `text` without the characters of `blanks` at its start and its end.
inline std::string_view Trim(std::string_view text, std::string_view blanks = kSpacesAndTabs) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace morvak
