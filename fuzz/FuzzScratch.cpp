#include "FuzzScratch.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "StdioFile.h"

namespace morvak::fuzz {
namespace {

class Scratch {
 public:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/morvak-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) m_directory = pattern + "/";
  }
  ~Scratch() {
    std::error_code ec;
    if (!m_directory.empty()) std::filesystem::remove_all(m_directory, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& Directory() const { return m_directory; }

 private:
  std::string m_directory;
};

}  // namespace

const std::string& ScratchDirectory() {
  static const Scratch scratch;
  return scratch.Directory();
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  if (ScratchDirectory().empty()) return {};
  const std::string path = ScratchDirectory() + name;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  // A new file each time: rewriting one in place makes some file systems
  // flush it to disk on close, which would slow the fuzzer to a crawl.
  ::unlink(path.c_str());
  StdioFile file(std::fopen(path.c_str(), "wb"));
  if (!file || (size != 0 && std::fwrite(data, 1, size, file.get()) != size)) return {};
  return std::fclose(file.release()) == 0 ? path : std::string();
}

int OpenDescriptorCount() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (::readdir(dir) != nullptr) ++count;
  ::closedir(dir);
  return count;
}

}  // namespace morvak::fuzz
