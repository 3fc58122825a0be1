#pragma once
// The kinds of file "browser..." offers: image files, and raw files as well
// when the configuration's [LURRA_PARAMS] DownloadRaw is nonzero. Filters are
// kept in the framework notation ("description|pattern|...|") and turned into
// Qt's name filters for the file dialog.
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvak {

inline constexpr const char* kImageFilter = "Image File (*.img)|*.img||";
inline constexpr const char* kImageAndRawFilter = "Image File (*.img)|*.img|Raw File (*.raw)|*.raw||";

const char* BrowseFilter(uint32_t downloadRaw);

// "DownloadRaw" from file/LURRA.ini below `moduleDirectory`, read afresh;
// 0 when the file or key is missing, and 0 when the configuration's path would
// not fit the 256-byte path buffers the program keeps its paths in.
uint32_t ReadDownloadRaw(const std::string& moduleDirectory);

// One Qt name filter per description/pattern pair, in order: the description
// when it already names its pattern in parentheses, else "description (pattern)".
QStringList QtNameFilters(std::string_view filter);

}  // namespace morvak
