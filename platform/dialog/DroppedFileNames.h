#pragma once
// The local files a drag carries, as the file system names them (bytes), in
// the drag's order; anything that is not a local file is left out.
#include <QMimeData>
#include <string>
#include <vector>

namespace morvak {

std::vector<std::string> DroppedFileNames(const QMimeData& data);

}  // namespace morvak
