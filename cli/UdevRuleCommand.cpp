#include "UdevRuleCommand.h"

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "CliTexts.h"
#include "ProfileFile.h"
#include "UdevRule.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"
#include "UsbTexts.h"

extern char** environ;

namespace morvak::cli {
namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Runs argv and waits for it; "" when it exited 0, else what went wrong.
std::string RunCommand(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (spawned != 0) return std::string("cannot be started: ") + std::strerror(spawned);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::string("cannot be waited for: ") + std::strerror(errno);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "ended by signal " + std::to_string(WTERMSIG(status));
}

// Writes `text` to `path` whole or not at all: a temporary file beside it,
// synced, then renamed over it, so that udev never reads half a rule.
std::string WriteWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return std::strerror(errno);
  size_t done = 0;
  std::string problem;
  while (done < text.size() && problem.empty()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno != EINTR) problem = std::strerror(errno);
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (problem.empty() && ::fchmod(fd, 0644) != 0) problem = std::strerror(errno);
  if (problem.empty() && ::fsync(fd) != 0) problem = std::strerror(errno);
  if (::close(fd) != 0 && problem.empty()) problem = std::strerror(errno);
  if (problem.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) problem = std::strerror(errno);
  if (!problem.empty()) ::unlink(temporary.c_str());
  return problem;
}

int Install(const std::string& rule, const std::string& group, const UdevInstallPlace& place, std::FILE* out,
            std::FILE* err) {
  if (!group.empty() && ::getgrnam(group.c_str()) == nullptr) {
    std::fprintf(err, "morvak-cli: there is no group %s on this system: create it (sudo groupadd %s) or name another\n",
                 group.c_str(), group.c_str());
    return clitexts::kExitFailed;
  }
  if (const std::string problem = WriteWhole(place.rulesFile, rule); !problem.empty()) {
    std::fprintf(err, "morvak-cli: cannot write %s: %s%s\n", place.rulesFile.c_str(), problem.c_str(),
                 ::geteuid() == 0 ? "" : " (run it as root: sudo morvak-cli udev-rule --install)");
    return clitexts::kExitFailed;
  }
  for (const std::vector<std::string>& command : place.commands) {
    if (const std::string problem = RunCommand(command); !problem.empty()) {
      std::fprintf(err, "morvak-cli: wrote %s, but \"%s\" %s: run it by hand, then replug the handset\n",
                   place.rulesFile.c_str(), Joined(command).c_str(), problem.c_str());
      return clitexts::kExitFailed;
    }
  }
  std::fprintf(out, "Wrote %s and reloaded udev: a handset plugged in now is given access.\n",
               place.rulesFile.c_str());
  return clitexts::kExitSucceeded;
}

}  // namespace

UdevInstallPlace SystemUdevInstallPlace(uint16_t vendorId, uint16_t productId) {
  char vendor[40];
  char product[40];
  std::snprintf(vendor, sizeof vendor, "--attr-match=idVendor=%04x", vendorId);
  std::snprintf(product, sizeof product, "--attr-match=idProduct=%04x", productId);
  return {usbtexts::kUdevRulePath,
          {{"udevadm", "control", "--reload"}, {"udevadm", "trigger", "--subsystem-match=usb", vendor, product}}};
}

int RunUdevRule(const UdevRuleOptions& options, const std::string& configPath, std::FILE* out, std::FILE* err,
                const UdevInstallPlace* place) {
  UsbDeviceMatch match;
  if (options.vendorId && options.productId) {
    match.vendorId = *options.vendorId;
    match.productId = *options.productId;
  } else if (std::string problem;
             CheckUsbDeviceMatch(ProfileFile::Load(configPath), configPath, match, problem, {}) !=
             UsbConfigState::Configured) {
    std::fprintf(err, "morvak-cli: %s, or give --vendor and --product\n", problem.c_str());
    return clitexts::kExitConfiguration;
  }
  const std::string rule = UdevRuleFile(match.vendorId, match.productId, options.group);
  if (options.install) {
    return Install(rule, options.group, place != nullptr ? *place : SystemUdevInstallPlace(match.vendorId, match.productId),
                   out, err);
  }
  if (options.output.empty()) {
    std::fputs(rule.c_str(), out);
    return clitexts::kExitSucceeded;
  }
  std::ofstream file(options.output, std::ios::trunc);
  file << rule;
  file.close();
  if (!file) {
    std::fprintf(err, "morvak-cli: cannot write %s\n", options.output.c_str());
    return clitexts::kExitFailed;
  }
  return clitexts::kExitSucceeded;
}

}  // namespace morvak::cli
