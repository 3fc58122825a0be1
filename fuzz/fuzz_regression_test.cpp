// Every kept fuzz crash and every seed, through its fuzz target's body, in
// the normal build: a fault the fuzzers once found stays found.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "FuzzTargets.h"
#include "StdioFile.h"

namespace morvak::fuzz {

// Test names and failures name the target.
void PrintTo(const FuzzTarget& target, std::ostream* out);
void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadInput(const fs::path& path) {
  std::vector<uint8_t> bytes;
  StdioFile file(std::fopen(path.c_str(), "rb"));
  EXPECT_TRUE(file) << path;
  if (!file) return bytes;
  uint8_t chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) != 0;) bytes.insert(bytes.end(), chunk, chunk + n);
  return bytes;
}

// Runs every file of `directory` through the body; the number of files.
size_t RunFolder(const FuzzTarget& target, const fs::path& directory) {
  size_t inputs = 0;
  if (!fs::is_directory(directory)) return 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    if (!entry.is_regular_file()) continue;
    const std::vector<uint8_t> input = ReadInput(entry.path());
    EXPECT_EQ(target.body(input.data(), input.size()), "") << entry.path();
    ++inputs;
  }
  return inputs;
}

class FuzzCorpusTest : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzCorpusTest, EverySeedPasses) {
  EXPECT_GE(RunFolder(GetParam(), fs::path(MORVAK_FUZZ_SEEDS) / GetParam().name), 3u)
      << "the seed corpus of " << GetParam().name << " is missing";
}

TEST_P(FuzzCorpusTest, EveryKeptCrashPasses) { RunFolder(GetParam(), fs::path(MORVAK_FUZZ_REGRESSIONS) / GetParam().name); }

TEST_P(FuzzCorpusTest, ShortAndUniformInputsPass) {
  for (size_t size = 0; size <= 40; ++size)
    for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0xFF}}) {
      const std::vector<uint8_t> input(size, fill);
      EXPECT_EQ(GetParam().body(input.data(), input.size()), "") << size << " bytes of " << int{fill};
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest, ::testing::ValuesIn(FuzzTargets()),
                         [](const ::testing::TestParamInfo<FuzzTarget>& p) { return std::string(p.param.name); });

// A kept input in a folder no target reads would never run.
TEST(FuzzRegressions, EveryFolderIsATarget) {
  const fs::path root(MORVAK_FUZZ_REGRESSIONS);
  if (!fs::is_directory(root)) GTEST_SKIP() << "no regressions kept";
  std::set<std::string> names;
  for (const FuzzTarget& t : FuzzTargets()) names.insert(t.name);
  for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
    if (entry.is_regular_file()) continue;
    EXPECT_TRUE(entry.is_directory() && names.count(entry.path().filename().string()) == 1) << entry.path();
  }
}

}  // namespace
}  // namespace morvak::fuzz
