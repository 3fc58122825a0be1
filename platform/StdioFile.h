#pragma once
// A stdio stream that closes itself: every early return of a reader
// releases its file.
#include <cstdio>
#include <memory>

namespace morvak {

struct StdioFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

}  // namespace morvak
