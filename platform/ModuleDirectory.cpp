#include "ModuleDirectory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace morvak {

std::string GetModuleDirectory() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const std::string full = exe.string();
  const size_t slash = full.rfind('/');
  return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

std::string ModuleRelativePath(const std::string& directory, const std::string& windowsName) {
  std::string name = windowsName;
  std::replace(name.begin(), name.end(), '\\', '/');
  return directory + name;
}

}  // namespace morvak
