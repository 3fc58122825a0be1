#pragma once
// The built morvak-cli as scripts see it, for the tests that run it as a
// process: its exit status, its output, and a scratch folder per test.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace morvak::clitest {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string output;  // stdout, and stderr too unless it was sent elsewhere
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The virtual handsets of these tests write at once (flash=0), so that the
// suite does not wait seconds for every run: a test gives flash=N itself
// where the writing time matters. Adds flash=0 to every --virtual-handset
// option in `args`, a shell command line or a single argument.
inline std::string InstantFlash(std::string args) {
  const std::string option = "--virtual-handset";
  for (size_t at = args.find(option); at != std::string::npos; at = args.find(option, at + option.size())) {
    const size_t end = at + option.size();
    if (end < args.size() && args[end] == '=') {
      const size_t stop = std::min(args.find_first_of(" '", end), args.size());
      const std::string faults = args.substr(end + 1, stop - end - 1);
      if (faults.find("flash=") == std::string::npos) args.insert(end + 1, faults.empty() ? "flash=0" : "flash=0,");
    } else if (end == args.size() || args[end] == ' ' || args[end] == '\'') {
      args.insert(end, "=flash=0");
    }
  }
  return args;
}

// Runs `program` (default the built morvak-cli) with `args` (already quoted
// as the shell needs them), its virtual handsets writing at once; stderr
// joins stdout unless `args` redirects it.
inline Outcome RunCli(const std::string& args, const std::string& program = MORVAK_CLI_PATH) {
  Outcome o;
  const std::string command = Quote(program) + " " + InstantFlash(args) + " 2>&1 </dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return o;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) o.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return o;
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string LastLine(const std::string& output) {
  std::string text = output;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const size_t cut = text.rfind('\n');
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

// The scratch folder of one test.
class Scratch {
 public:
  Scratch() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? info->name() : "test";
    for (char& c : name) c = c == '/' ? '-' : c;
    m_dir = fs::path(::testing::TempDir()) / ("morvak-cli-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  std::string CopyOf(const std::string& from, const std::string& name) const {
    fs::copy_file(from, m_dir / name, fs::copy_options::overwrite_existing);
    return Path(name);
  }
  std::string Empty(const std::string& name) const {
    std::ofstream(m_dir / name, std::ios::binary | std::ios::trunc);
    return Path(name);
  }

 private:
  fs::path m_dir;
};

}  // namespace morvak::clitest
