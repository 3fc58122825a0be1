// The window program's command line.
#include <gtest/gtest.h>

#include "AppOptions.h"

namespace morvak {
namespace {

TEST(AppOptions, NoArgumentsIsRealUsb) {
  std::string error;
  const auto o = ParseAppOptions({}, error);
  ASSERT_TRUE(o.has_value());
  EXPECT_FALSE(o->virtualHandset);
  EXPECT_FALSE(o->help);
}

TEST(AppOptions, TheVirtualHandsetWithAndWithoutFaults) {
  std::string error;
  auto o = ParseAppOptions({"--virtual-handset"}, error);
  ASSERT_TRUE(o.has_value());
  EXPECT_TRUE(o->virtualHandset);
  EXPECT_EQ(o->faults, "");
  o = ParseAppOptions({"--virtual-handset=crc-bad=3,error=5@2"}, error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->faults, "crc-bad=3,error=5@2");
}

TEST(AppOptions, BadUsageSaysWhy) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--virtual-handset=bogus"}, {"image.img"}, {"--virtual"}, {"--onenand"}}) {
    std::string error;
    EXPECT_FALSE(ParseAppOptions(args, error).has_value()) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(AppOptions, HelpNamesTheOptionAndTheFaults) {
  std::string error;
  const auto o = ParseAppOptions({"--help"}, error);
  ASSERT_TRUE(o.has_value());
  EXPECT_TRUE(o->help);
  const std::string usage = AppUsageText();
  EXPECT_NE(usage.find("--virtual-handset[=FAULTS]"), std::string::npos);
  EXPECT_NE(usage.find("crc-bad=N"), std::string::npos);
}

}  // namespace
}  // namespace morvak
