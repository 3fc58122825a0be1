// The window program's command line.
#include <gtest/gtest.h>

#include "AppOptions.h"

namespace morvak {
namespace {

struct OptionsRow {
  std::vector<std::string> args;
  bool virtualHandset;
  const char* faults;
  const char* image;  // null: none
};

class AppOptionsTest : public ::testing::TestWithParam<OptionsRow> {};

TEST_P(AppOptionsTest, ReadsTheVirtualHandsetAndTheImage) {
  const OptionsRow& row = GetParam();
  std::string error;
  const auto o = ParseAppOptions(row.args, error);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->virtualHandset, row.virtualHandset);
  EXPECT_EQ(o->faults, row.faults);
  EXPECT_EQ(o->image.has_value(), row.image != nullptr);
  if (o->image && row.image != nullptr) {
    EXPECT_EQ(*o->image, row.image);
  }
  EXPECT_FALSE(o->help);
  EXPECT_FALSE(o->version);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AppOptionsTest,
    ::testing::Values(OptionsRow{{}, false, "", nullptr},
                      // A bare flag does not take the image as its faults.
                      OptionsRow{{"--virtual-handset", "demo.img"}, true, "", "demo.img"},
                      OptionsRow{{"demo.img", "--virtual-handset"}, true, "", "demo.img"},
                      OptionsRow{{"--virtual-handset=crc-bad=3,error=5@2", "demo.img"}, true, "crc-bad=3,error=5@2",
                                 "demo.img"},
                      OptionsRow{{"--virtual-handset="}, true, "", nullptr},
                      OptionsRow{{"--", "--virtual-handset=crc-bad=3"}, false, "", "--virtual-handset=crc-bad=3"}));

TEST(AppOptions, BadUsageSaysWhy) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--virtual-handset=bogus"}, {"a.img", "b.img"}, {"--virtual"}, {"--onenand"}, {""}}) {
    std::string error;
    EXPECT_FALSE(ParseAppOptions(args, error).has_value()) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

// The station's virtual handsets are a bench of ports; the main window's one
// handset takes no count=, wherever --station stands.
TEST(AppOptions, TheStationTakesABenchAndTheMainWindowOneHandset) {
  const struct {
    std::vector<std::string> args;
    bool accepted;
    bool station;
  } rows[] = {
      {{"--station", "--virtual-handset=count=4,cycle=500"}, true, true},
      {{"--virtual-handset=count=4,cycle=500,2:error=5@2", "--station", "demo.img"}, true, true},
      {{"--virtual-handset=count=4"}, false, false},
      {{"--", "--station"}, true, false},  // an image of that name
  };
  for (const auto& row : rows) {
    std::string error;
    const auto o = ParseAppOptions(row.args, error);
    ASSERT_EQ(o.has_value(), row.accepted) << row.args[0] << ": " << error;
    if (o) {
      EXPECT_EQ(o->station, row.station) << row.args[0];
    }
  }
}

struct EarlyRow {
  std::vector<std::string> args;
  bool help;
  bool version;
};

class EarlyOptionsTest : public ::testing::TestWithParam<EarlyRow> {};

// Before the toolkit has taken its options, they pass; a single-dash word is
// a whole name, not a bundle holding -h or -v.
TEST_P(EarlyOptionsTest, PassesTheToolkitsOptionsAndFindsHelpAndTheVersion) {
  std::string error;
  const auto o = ParseAppOptions(GetParam().args, error, true);
  ASSERT_TRUE(o.has_value()) << error;
  EXPECT_EQ(o->help, GetParam().help);
  EXPECT_EQ(o->version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EarlyOptionsTest,
    ::testing::Values(EarlyRow{{"-platform", "offscreen", "-reverse", "-stylesheet", "x.qss", "a.img"}, false, false},
                      EarlyRow{{"-platform", "offscreen", "--help"}, true, false}, EarlyRow{{"-h"}, true, false},
                      EarlyRow{{"--version"}, false, true}, EarlyRow{{"-v", "--bogus"}, false, true}));

TEST(AppOptions, HelpNamesTheOptionsAndTheFaults) {
  const std::string usage = AppUsageText();
  EXPECT_EQ(usage.rfind("Usage: morvak [--station] [--virtual-handset[=FAULTS]] [IMAGE]\n", 0), 0u) << usage;
  for (const char* part : {"--help", "--version", "--virtual-handset=FAULTS", "IMAGE", "crc-bad=N"})
    EXPECT_NE(usage.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace morvak
