#include "TextTable.h"

#include <algorithm>

namespace morvak::cli {

std::string FormatTable(const std::vector<std::vector<std::string>>& rows, const std::vector<bool>& rightAligned) {
  std::vector<size_t> widths;
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) {
      if (widths.size() <= c) widths.push_back(0);
      widths[c] = std::max(widths[c], row[c].size());
    }
  std::string text;
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      const std::string pad(widths[c] - row[c].size(), ' ');
      const bool right = c < rightAligned.size() && rightAligned[c];
      const bool last = c + 1 == row.size();
      if (right) text += pad;
      text += row[c];
      if (!last) text += right ? "  " : pad + "  ";
    }
    text += '\n';
  }
  return text;
}

}  // namespace morvak::cli
