#pragma once
// A plain text table for the console: columns two blanks apart, each as wide
// as its widest cell (bytes), the last column not padded.
#include <string>
#include <vector>

namespace morvak::cli {

// `rightAligned[c]` puts column c's cells flush right (numbers); columns
// beyond it are flush left.
std::string FormatTable(const std::vector<std::vector<std::string>>& rows, const std::vector<bool>& rightAligned = {});

}  // namespace morvak::cli
