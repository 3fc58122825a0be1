// morvak-cli udev-rule --install, into a scratch rules file with stand-in
// commands for udevadm: the file is whole, the commands run in order, and
// every failure says what is left to do.
#include <gtest/gtest.h>
#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "UdevRule.h"
#include "UdevRuleCommand.h"

namespace morvak::cli {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadStream(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) text += static_cast<char>(c);
  return text;
}

// A group every Debian system has, so that --group passes the install's check.
std::string SomeGroup() {
  const group* g = ::getgrgid(::getgid());
  return g != nullptr ? g->gr_name : "root";
}

struct InstallCase {
  const char* name;
  bool rulesDirExists;
  bool group;            // --group with a group the system has
  bool unknownGroup;     // --group with one it has not
  const char* secondCommand;  // after the one that logs "reload"
  int status;
  bool ruleWritten;
  const char* errorHas;
};

class UdevInstallTest : public ::testing::TestWithParam<InstallCase> {};

TEST_P(UdevInstallTest, WritesTheRuleWholeThenReloads) {
  const InstallCase& c = GetParam();
  const fs::path dir = fs::path(::testing::TempDir()) / ("morvak-udev-" + std::string(c.name) + "-" +
                                                         std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path rulesDir = dir / "rules.d";
  if (c.rulesDirExists) fs::create_directories(rulesDir);
  const fs::path rules = rulesDir / "70-morvak.rules";
  if (c.rulesDirExists) std::ofstream(rules) << "an older rule\n";
  const fs::path log = dir / "log";

  UdevRuleOptions options;
  options.vendorId = 0x1234;
  options.productId = 0x5678;
  options.install = true;
  if (c.group) options.group = SomeGroup();
  if (c.unknownGroup) options.group = "no-such-group-here";
  const UdevInstallPlace place{rules.string(),
                               {{"sh", "-c", "echo reload >> '" + log.string() + "'"}, {"sh", "-c", c.secondCommand}}};
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunUdevRule(options, "/nonexistent/LURRA.ini", out, err, &place), c.status);
  const std::string errText = ReadStream(err);
  EXPECT_NE(errText.find(c.errorHas), std::string::npos) << errText;
  if (c.ruleWritten) {
    EXPECT_EQ(Read(rules), UdevRuleFile(0x1234, 0x5678, options.group));
    EXPECT_EQ(Read(log), "reload\n");
    EXPECT_EQ(fs::status(rules).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  } else {
    EXPECT_FALSE(fs::exists(log)) << "nothing may be reloaded when no rule was written";
    if (c.rulesDirExists) {
      EXPECT_EQ(Read(rules), "an older rule\n");
    }
  }
  EXPECT_FALSE(fs::exists(rules.string() + ".new"));
  EXPECT_EQ(ReadStream(out).empty(), c.status != 0);
  std::fclose(out);
  std::fclose(err);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UdevInstallTest,
    ::testing::Values(InstallCase{"replaces_and_reloads", true, false, false, "true", 0, true, ""},
                      InstallCase{"with_a_group", true, true, false, "true", 0, true, ""},
                      // The rule stays in place; the line names the command to run by hand.
                      InstallCase{"reload_fails", true, false, false, "exit 3", 1, true, "exited with status 3"},
                      InstallCase{"no_rules_folder", false, false, false, "true", 1, false, "cannot write"},
                      InstallCase{"unknown_group", true, false, true, "true", 1, false, "no group no-such-group-here"}),
    [](const ::testing::TestParamInfo<InstallCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak::cli
