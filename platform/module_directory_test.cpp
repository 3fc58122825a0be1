// The installed programs are reached through links (/usr/bin/morvak-cli leads
// to /usr/lib/morvak/morvak-cli) and must find file/ beside the real
// executable: the probe, started through links of every kind, names the
// folder it really lies in.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// The probe's output when started as `path`; "" with a failure when it could not run.
std::string RunProbe(const fs::path& path) {
  std::string output;
  std::string command = "'";  // appended: `"'" + std::string` trips a false -Wrestrict of GCC 12 at -O3
  command += path.string();
  command += "' </dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << path;
  return output;
}

struct LinkCase {
  const char* name;
  // Makes the link(s) in `dir` to `probe` and returns the path to start.
  fs::path (*make)(const fs::path& dir, const fs::path& probe);
};

class ModuleDirectoryTest : public ::testing::TestWithParam<LinkCase> {
 protected:
  void SetUp() override {
    m_dir = fs::path(::testing::TempDir()) / ("morvak-module-directory-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "bin");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  fs::path m_dir;
};

TEST_P(ModuleDirectoryTest, IsTheRealExecutablesFolder) {
  const fs::path probe = fs::canonical(MORVAK_MODULE_DIRECTORY_PROBE);
  const fs::path start = GetParam().make(m_dir, probe);
  EXPECT_EQ(RunProbe(start), probe.parent_path().string() + "/");
}

INSTANTIATE_TEST_SUITE_P(
    Links, ModuleDirectoryTest,
    ::testing::Values(
        LinkCase{"direct", [](const fs::path&, const fs::path& probe) { return probe; }},
        LinkCase{"absolute_link",
                 [](const fs::path& dir, const fs::path& probe) {
                   fs::create_symlink(probe, dir / "bin/probe");
                   return dir / "bin/probe";
                 }},
        // As installed: bin/x -> ../lib/x, relative.
        LinkCase{"relative_link",
                 [](const fs::path& dir, const fs::path& probe) {
                   fs::create_directories(dir / "lib");
                   fs::create_symlink(probe, dir / "lib/probe");
                   fs::create_symlink("../lib/probe", dir / "bin/probe");
                   return dir / "bin/probe";
                 }},
        LinkCase{"link_to_a_link",
                 [](const fs::path& dir, const fs::path& probe) {
                   fs::create_symlink(probe, dir / "first");
                   fs::create_symlink(dir / "first", dir / "bin/probe");
                   return dir / "bin/probe";
                 }},
        LinkCase{"through_a_linked_folder",
                 [](const fs::path& dir, const fs::path& probe) {
                   fs::create_directory_symlink(probe.parent_path(), dir / "linked");
                   return dir / "linked" / probe.filename();
                 }}),
    [](const ::testing::TestParamInfo<LinkCase>& p) { return std::string(p.param.name); });

}  // namespace
