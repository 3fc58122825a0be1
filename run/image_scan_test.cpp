#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ByteOrder.h"
#include "ImageFormat.h"
#include "ImageWriter.h"

namespace morvak {
namespace {

constexpr uint32_t kRaw = 4096;  // a small raw part keeps the files small

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "scan-" + name; }

std::string Write(const std::string& name, const ImageDesc& desc) {
  const std::string path = TempPath(name);
  std::string problem;
  EXPECT_EQ(WriteImage(path, desc, nullptr, problem), IMAGE_WRITE_OK) << problem;
  return path;
}

ImageDesc Image(std::vector<RecordDesc> records) {
  ImageDesc d;
  d.rawSize = kRaw;
  d.records = std::move(records);
  return d;
}

RecordDesc Rec(uint32_t address, uint32_t length, std::optional<uint32_t> checksum = std::nullopt) {
  RecordDesc r;
  r.address = address;
  r.length = length;
  r.checksum = checksum;
  return r;
}

struct CountCase {
  const char* name;
  ImageDesc desc;
  int result;
  uint32_t count;
};

ImageDesc Unterminated() {
  ImageDesc d = Image({Rec(0x100, 0x40)});
  d.terminator.present = false;
  return d;
}
ImageDesc LongTerminator() {
  ImageDesc d = Image({Rec(0x100, 0x40)});
  d.terminator.length = 0x1000;
  return d;
}
ImageDesc BadSignature(uint8_t last) {
  ImageDesc d = Image({Rec(0x100, 0x40)});
  d.signature[6] = last;
  return d;
}

class CountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountTest, CountsRecordsWithDataUpToTheTerminator) {
  const CountCase& c = GetParam();
  const std::string path = Write(c.name, c.desc);
  uint32_t count = 99;
  EXPECT_EQ(CountImageRecordsIn(path, static_cast<int32_t>(kRaw), count), c.result);
  EXPECT_EQ(count, c.count);
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Images, CountTest,
    ::testing::Values(CountCase{"three", Image({Rec(0x100, 0x800), Rec(0x200, 0), Rec(0x300, 0x40)}), 1, 2},
                      CountCase{"none", Image({}), 1, 0},
                      // address 0 with a nonzero checksum is a record, not the end
                      CountCase{"zeroAddress", Image({Rec(0, 0x20, 7), Rec(0x100, 0x10)}), 1, 2},
                      CountCase{"longTerminator", LongTerminator(), 1, 1},
                      CountCase{"unterminated", Unterminated(), 0, 0},
                      CountCase{"carriageReturn", BadSignature(0x0D), 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CountImageRecords, FailsOnAMissingFileAndAHeaderPastTheEnd) {
  uint32_t count = 5;
  EXPECT_EQ(CountImageRecordsIn("/nonexistent/image.img", 0, count), 0);
  EXPECT_EQ(count, 0u);
  const std::string path = Write("short", Image({}));
  EXPECT_EQ(CountImageRecordsIn(path, 1 << 30, count), 0);
  EXPECT_EQ(CountImageRecordsIn(path, -1, count), 0);
  std::filesystem::remove(path);
}

struct LayoutCase {
  const char* name;
  ImageDesc desc;
  int result;
  uint32_t reserved;
};

ImageDesc WithLayout(std::vector<uint32_t> blocks, size_t position = 1) {
  ImageDesc d = Image({Rec(0x100, 0x40), Rec(0x200, 3000)});
  LayoutDesc layout;
  layout.position = position;
  layout.blockCounts = std::move(blocks);
  d.layout = layout;
  return d;
}
ImageDesc LayoutVariant(void (*change)(LayoutDesc&), std::vector<RecordDesc> records = {Rec(0x100, 0x40)}) {
  ImageDesc d = Image(std::move(records));
  LayoutDesc layout;
  layout.position = 1;
  layout.blockCounts = {2, 3, 5};
  change(layout);
  d.layout = layout;
  return d;
}
// A boot-sector-like record whose second unit is no layout, before a good one.
ImageDesc BadThenGood() {
  ImageDesc d = WithLayout({2, 3, 5}, 1);
  RecordDesc fake = Rec(0x900, 2 * LAYOUT_UNIT_SIZE);
  fake.data.given.assign(2 * LAYOUT_UNIT_SIZE, 0);
  fake.data.given[0] = 0xE9;
  fake.data.given[510] = 0x55;
  fake.data.given[511] = 0xAA;
  d.records.insert(d.records.begin(), fake);
  return d;
}
// A unit that begins with 0xEB but lacks 55 AA is passed over.
ImageDesc JumpWithoutSignature() {
  ImageDesc d = WithLayout({4}, 1);
  RecordDesc fake = Rec(0x900, 3000);
  fake.data.given.assign(3000, 0);
  fake.data.given[0] = 0xEB;
  d.records.insert(d.records.begin(), fake);
  return d;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, SumsTheReservedBlocksOfTheLayout) {
  const LayoutCase& c = GetParam();
  const std::string path = Write(c.name, c.desc);
  uint32_t reserved = 99;
  EXPECT_EQ(FindReservedSizeIn(path, static_cast<int32_t>(kRaw), reserved), c.result);
  EXPECT_EQ(reserved, c.reserved);
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Images, LayoutTest,
    ::testing::Values(
        LayoutCase{"sum", WithLayout({2, 3, 5}), 1, 1310720},
        LayoutCase{"first", WithLayout({1}, 0), 1, 131072},
        LayoutCase{"tableSize50", LayoutVariant([](LayoutDesc& l) { l.tableSize = 50; }), 1, 1310720},
        LayoutCase{"tableSize0", LayoutVariant([](LayoutDesc& l) { l.tableSize = 0; }), 1, 0},
        LayoutCase{"jumpE9", LayoutVariant([](LayoutDesc& l) { l.jumpByte = 0xE9; }), 1, 1310720},
        LayoutCase{"noBootSignature", LayoutVariant([](LayoutDesc& l) { l.bootSignature = false; }), 0, 0},
        LayoutCase{"otherJump", LayoutVariant([](LayoutDesc& l) { l.jumpByte = 0x90; }), 0, 0},
        LayoutCase{"badMagic", LayoutVariant([](LayoutDesc& l) { l.magic = "MSFLSH51"; }), 0, 0},
        LayoutCase{"badLayoutFirst", BadThenGood(), 0, 0},
        LayoutCase{"jumpWithoutSignature", JumpWithoutSignature(), 1, 4 * 131072},
        LayoutCase{"zeroLengthBefore",
                   LayoutVariant([](LayoutDesc& l) { l.position = 2; }, {Rec(0x100, 0x40), Rec(0x180, 0)}), 0, 0},
        LayoutCase{"noLayout", Image({Rec(0x100, 0x40)}), 0, 0},
        LayoutCase{"firstIsTerminator", Image({}), 0, 0},
        LayoutCase{"zeroAddressRecord",
                   LayoutVariant([](LayoutDesc&) {}, {Rec(0, 0x40, 9)}), 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FindReservedSize, ATableReachingPastItsUnitIsRefused) {
  // 127 entries fit the unit (the last block count at unit offset 2044); 128 do not.
  for (uint32_t tableSize : {127u * 16u, 128u * 16u, 0xFFFFFFF0u}) {
    ImageDesc d = LayoutVariant([](LayoutDesc&) {});
    d.layout->blockCounts.assign(127, 1);
    d.layout->tableSize = 127 * 16;
    const std::string path = Write("table", d);
    // Patch the table size in place so that the writer's own check does not refuse it.
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    in.close();
    std::string bytes = content.str();
    const size_t unit2 = bytes.find("MSFLSH50");
    ASSERT_NE(unit2, std::string::npos);
    StoreLE32(reinterpret_cast<uint8_t*>(&bytes[unit2 + 8]), tableSize);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    uint32_t reserved = 0;
    const int result = FindReservedSizeIn(path, static_cast<int32_t>(kRaw), reserved);
    if (tableSize == 127u * 16u) {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(reserved, 127u * 131072u);
    } else {
      EXPECT_EQ(result, 0) << tableSize;
    }
    std::filesystem::remove(path);
  }
}

TEST(ImageHeader, UnpacksLittleEndianWords) {
  const uint8_t bytes[IMAGE_HEADER_SIZE] = {0x42, 0x30, 0x30, 0x30, 0x46, 0x46, 0x0A, 1, 2, 3, 4, 0xFF, 0, 0, 0x80};
  ImageHeader h;
  UnpackImageHeader(h, bytes);
  EXPECT_TRUE(HasImageSignature(h));
  EXPECT_EQ(h.word1, 0x04030201u);
  EXPECT_EQ(h.word2, 0x800000FFu);
}

}  // namespace
}  // namespace morvak
