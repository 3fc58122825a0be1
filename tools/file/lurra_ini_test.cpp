// The shipped configuration must spell every key the run reads, with the
// value the run would take anyway, and must not select any USB device.
#include <string>

#include <gtest/gtest.h>

#include "ProfileFile.h"

namespace morvak {
namespace {

struct KeyCase {
  const char* section;
  const char* key;
  uint32_t value;
};

const KeyCase kKeys[] = {
    {"LURRA_PARAMS", "CRCEnable", 1},
    {"LURRA_PARAMS", "DownloadRaw", 0},
    {"LURRA_NAND", "RawFileSize_WithoutEboot", 0xC0000},
    {"LURRA_NAND", "BinaryRegionSize_WithoutEboot", 0xC0000},
    {"LURRA_NAND", "RawFileSize_WithEboot", 0x100000},
    {"LURRA_NAND", "BinaryRegionSize_WithEboot", 0x120000},
    {"LURRA_OneNAND", "RawFileSize_WithoutEboot", 0x20000},
    {"LURRA_OneNAND", "BinaryRegionSize_WithoutEboot", 0x20000},
    {"LURRA_OneNAND", "RawFileSize_WithEboot", 0x60000},
    {"LURRA_OneNAND", "BinaryRegionSize_WithEboot", 0x80000},
};

TEST(LurraIniTest, EveryKeyHoldsItsDefault) {
  for (const std::string& path : {std::string(MORVAK_SOURCE_INI), std::string(MORVAK_BUILT_INI)}) {
    const ProfileFile profile = ProfileFile::Load(path);
    for (const KeyCase& k : kKeys) {
      const auto text = profile.GetString(k.section, k.key);
      ASSERT_TRUE(text) << path << " " << k.section << "/" << k.key;
      // Written as plain decimal, so any profile reader takes the same value.
      EXPECT_EQ(*text, std::to_string(k.value)) << path << " " << k.section << "/" << k.key;
    }
    for (const char* key : {"VendorId", "ProductId", "Port"})
      EXPECT_FALSE(profile.GetString("LURRA_USB", key)) << path << " selects a device by " << key;
  }
}

}  // namespace
}  // namespace morvak
