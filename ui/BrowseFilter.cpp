#include "BrowseFilter.h"

#include <vector>

#include "DownloadFile.h"
#include "FlashRun.h"
#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "RunConfig.h"

namespace morvak {

const char* BrowseFilter(uint32_t downloadRaw) { return downloadRaw != 0 ? kImageAndRawFilter : kImageFilter; }

uint32_t ReadDownloadRaw(const std::string& moduleDirectory) {
  const std::string path = ModuleRelativePath(moduleDirectory, kConfigFileName);
  if (path.size() >= DOWNLOAD_PATH_SIZE) return 0;
  return ReadRunConfig(ProfileFile::Load(path), FLASH_TYPE_NAND).downloadRaw;
}

QStringList QtNameFilters(std::string_view filter) {
  std::vector<std::string_view> parts;
  while (!filter.empty()) {
    const size_t bar = filter.find('|');
    if (bar == std::string_view::npos) {
      parts.push_back(filter);
      break;
    }
    parts.push_back(filter.substr(0, bar));
    filter.remove_prefix(bar + 1);
  }
  QStringList result;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // the closing "||"
    const QString description = QString::fromUtf8(parts[i].data(), static_cast<qsizetype>(parts[i].size()));
    const QString pattern = QString::fromUtf8(parts[i + 1].data(), static_cast<qsizetype>(parts[i + 1].size()));
    if (description.endsWith(QStringLiteral("(") + pattern + QStringLiteral(")")))
      result << description;
    else
      result << description + QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  return result;
}

}  // namespace morvak
