#pragma once
// The file a drop names: each dropped name is taken in turn into a 1024-byte
// buffer, so the last name of the drop is the one that remains. A name that
// does not fit the buffer with its terminating NUL is refused, not cut: the
// path stays as it was and the operator is told why.
#include <cstddef>
#include <string>
#include <vector>

namespace morvak {

inline constexpr size_t DROP_NAME_BUFFER = 1024;

struct DropChoice {
  bool taken = false;
  std::string path;  // when taken
  std::string line;  // when refused: the line for the status log
};

DropChoice ChooseDroppedFile(const std::vector<std::string>& names);

}  // namespace morvak
