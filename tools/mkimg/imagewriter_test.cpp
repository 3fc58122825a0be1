#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ByteOrder.h"
#include "Crc16.h"
#include "Crc16Baseline.h"
#include "Frame.h"
#include "ImageBlocks.h"
#include "ImageWriter.h"

namespace morvak {
namespace {

using Bytes = std::vector<uint8_t>;

class ImageWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/imagewriter_test.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    m_dir = dir;
  }
  void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

  std::string Path(const std::string& name) const { return m_dir + "/" + name; }

  // Writes the image and returns its bytes.
  Bytes Write(const ImageDesc& desc, ImagePlan* plan = nullptr) {
    std::string problem;
    const std::string path = Path("image.img");
    EXPECT_EQ(WriteImage(path, desc, plan, problem), IMAGE_WRITE_OK) << problem;
    return Read(path);
  }
  static Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  std::string m_dir;
};

Bytes Data(const DataDesc& data, uint64_t length) {
  Bytes bytes(static_cast<size_t>(length));
  FillData(data, 0, bytes.data(), bytes.size());
  return bytes;
}

Bytes Slice(const Bytes& bytes, uint64_t offset, uint64_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

RecordDesc Record(uint32_t address, uint32_t length, uint32_t seed = 9) {
  RecordDesc r;
  r.address = address;
  r.length = length;
  r.data.seed = seed;
  return r;
}

uint32_t Sum(const Bytes& b) {
  uint32_t s = 0;
  for (uint8_t v : b) s += v;
  return s;
}

// --- the pattern -----------------------------------------------------------

TEST(DataPatternTest, AnyRangeMatchesTheWholeAndSeedsDiffer) {
  Bytes whole(1000);
  FillPattern(5, 0, whole.data(), whole.size());
  for (uint64_t start : {0u, 1u, 7u, 8u, 13u, 999u}) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{6}, size_t{9}, size_t{64}}) {
      if (start + length > whole.size()) continue;
      Bytes part(length);
      FillPattern(5, start, part.data(), length);
      EXPECT_EQ(part, Slice(whole, start, length)) << start << "+" << length;
    }
  }
  Bytes other(1000);
  FillPattern(6, 0, other.data(), other.size());
  EXPECT_NE(other, whole);
}

TEST(DataPatternTest, PatternIsPinned) {
  // Stored block lists and CRCs elsewhere depend on these bytes never changing.
  Bytes bytes(4096);
  FillPattern(1, 0, bytes.data(), bytes.size());
  EXPECT_EQ(Crc16UpdateBaseline(CRC16_INIT, bytes.data(), bytes.size()), 0x41FCu);
}

TEST(DataPatternTest, GivenBytesComeFirstThenPatternAtItsOwnOffsets) {
  DataDesc data;
  data.seed = 3;
  data.given = {1, 2, 3};
  Bytes got = Data(data, 10);
  Bytes pattern(10);
  FillPattern(3, 0, pattern.data(), 10);
  EXPECT_EQ(Slice(got, 0, 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(Slice(got, 3, 7), Slice(pattern, 3, 7));
  data.zeroFill = true;
  EXPECT_EQ(Data(data, 5), (Bytes{1, 2, 3, 0, 0}));
}

// --- header, records, terminator ---------------------------------------------

TEST_F(ImageWriterTest, RawPartThenHeaderAtItsEnd) {
  ImageDesc desc;
  desc.rawSize = 1000;
  desc.rawData.seed = 77;
  desc.headerWord1 = 0x11223344;
  desc.headerWord2 = 0xA0B0C0D0;
  const Bytes file = Write(desc);
  ASSERT_EQ(file.size(), 1000u + 15 + 12);
  EXPECT_EQ(Slice(file, 0, 1000), Data(desc.rawData, 1000));
  EXPECT_EQ(Slice(file, 1000, 15),
            (Bytes{0x42, 0x30, 0x30, 0x30, 0x46, 0x46, 0x0A, 0x44, 0x33, 0x22, 0x11, 0xD0, 0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(Slice(file, 1015, 12), Bytes(12, 0));
}

TEST_F(ImageWriterTest, DefaultHeaderWordsSpanTheRecordsWithData) {
  ImageDesc desc;
  desc.rawSize = 16;
  desc.records = {Record(0x5000, 0x100), Record(0x1000, 0x10), Record(0x9000, 0)};
  ImagePlan plan;
  const Bytes file = Write(desc, &plan);
  EXPECT_EQ(LoadLE32(&file[16 + 7]), 0x1000u);
  EXPECT_EQ(LoadLE32(&file[16 + 11]), 0x5100u - 0x1000u);
}

TEST_F(ImageWriterTest, RecordHeadersDataAndChecksums) {
  ImageDesc desc;
  desc.rawSize = 100;
  RecordDesc explicitSum = Record(0x80000000, 33, 4);
  explicitSum.checksum = 0xCAFEF00D;
  RecordDesc zeros = Record(0x2000, 64);
  zeros.data.zeroFill = true;  // byte sum 0: a generated checksum must still not be 0
  RecordDesc given = Record(0x3000, 5);
  given.data.given = {9, 8, 7, 6, 5, 4, 3};  // longer than the record: cut to its length
  desc.records = {Record(0x1000, 17, 2), explicitSum, Record(0x4000, 0), zeros, given};
  ImagePlan plan;
  const Bytes file = Write(desc, &plan);

  ASSERT_EQ(plan.records.size(), 5u);
  uint64_t expectOffset = 100 + 15;
  for (size_t i = 0; i < plan.records.size(); ++i) {
    const RecordDesc& r = desc.records[i];
    const uint64_t at = plan.records[i].headerOffset;
    ASSERT_EQ(at, expectOffset) << i;
    EXPECT_EQ(LoadLE32(&file[at]), r.address) << i;
    EXPECT_EQ(LoadLE32(&file[at + 4]), r.length) << i;
    const Bytes data = Slice(file, at + 12, r.length);
    EXPECT_EQ(data, Data(r.data, r.length)) << i;
    const uint32_t sum = Sum(data);
    EXPECT_EQ(LoadLE32(&file[at + 8]), r.checksum.value_or(sum != 0 ? sum : 1)) << i;
    expectOffset = at + 12 + r.length;
  }
  EXPECT_EQ(Slice(file, plan.records[4].headerOffset + 12, 5), (Bytes{9, 8, 7, 6, 5}));
  ASSERT_TRUE(plan.terminatorOffset);
  EXPECT_EQ(*plan.terminatorOffset, expectOffset);
  EXPECT_EQ(file.size(), expectOffset + 12);
}

TEST_F(ImageWriterTest, LargeRecordChecksumPatchedAcrossBufferFlushes) {
  ImageDesc desc;
  desc.rawSize = 3;
  desc.records = {Record(0x100000, 9u << 20, 21)};  // longer than the writer's buffer
  const Bytes file = Write(desc);
  const Bytes data = Slice(file, 3 + 15 + 12, 9u << 20);
  EXPECT_EQ(data, Data(desc.records[0].data, 9u << 20));
  EXPECT_EQ(LoadLE32(&file[3 + 15 + 8]), Sum(data));
}

struct MalformedCase {
  const char* name;
  void (*apply)(ImageDesc&);
  void (*check)(const Bytes& file, const ImagePlan& plan);
};

const MalformedCase kMalformed[] = {
    {"NoTerminator", [](ImageDesc& s) { s.terminator.present = false; },
     [](const Bytes& f, const ImagePlan& p) {
       EXPECT_FALSE(p.terminatorOffset);
       EXPECT_EQ(f.size(), p.records.back().headerOffset + 12 + p.records.back().desc.length);
     }},
    {"TerminatorLength", [](ImageDesc& s) { s.terminator.length = 0x1000; },
     [](const Bytes& f, const ImagePlan& p) {
       const uint64_t t = *p.terminatorOffset;
       EXPECT_EQ(LoadLE32(&f[t]), 0u);
       EXPECT_EQ(LoadLE32(&f[t + 4]), 0x1000u);
       EXPECT_EQ(LoadLE32(&f[t + 8]), 0u);
       EXPECT_EQ(f.size(), t + 12);
     }},
    {"BadSignatureByte", [](ImageDesc& s) { s.signature[6] = 0x0D; },
     [](const Bytes& f, const ImagePlan& p) {
       EXPECT_EQ(Slice(f, p.headerOffset, 7), (Bytes{0x42, 0x30, 0x30, 0x30, 0x46, 0x46, 0x0D}));
     }},
    {"ZeroLengthRecord", [](ImageDesc& s) { s.records.insert(s.records.begin() + 1, Record(0x7000, 0)); },
     [](const Bytes& f, const ImagePlan& p) {
       ASSERT_EQ(p.records.size(), 3u);
       EXPECT_EQ(LoadLE32(&f[p.records[1].headerOffset + 4]), 0u);
       EXPECT_EQ(p.records[2].headerOffset, p.records[1].headerOffset + 12);
       EXPECT_EQ(LoadLE32(&f[p.records[2].headerOffset]), 0x2000u);
     }},
    {"Trailing", [](ImageDesc& s) { s.trailingLength = 100; },
     [](const Bytes& f, const ImagePlan& p) {
       EXPECT_EQ(f.size(), *p.terminatorOffset + 12 + 100);
       EXPECT_EQ(Slice(f, *p.terminatorOffset + 12, 100), Data(DataDesc{}, 100));
     }},
    {"TruncatedInsideARecord", [](ImageDesc& s) { s.truncateAt = 64 + 15 + 12 + 5; },
     [](const Bytes& f, const ImagePlan& p) {
       EXPECT_EQ(f.size(), 64u + 15 + 12 + 5);
       EXPECT_EQ(p.fileSize, f.size());
       EXPECT_GT(p.fullSize, p.fileSize);
     }},
    {"TruncateBeyondTheEndKeepsTheFile", [](ImageDesc& s) { s.truncateAt = 1u << 20; },
     [](const Bytes& f, const ImagePlan& p) { EXPECT_EQ(f.size(), *p.terminatorOffset + 12); }},
};

class MalformedTest : public ImageWriterTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedTest, DoesWhatItSays) {
  ImageDesc desc;
  desc.rawSize = 64;
  desc.records = {Record(0x1000, 40, 3), Record(0x2000, 20, 4)};
  ImageDesc wellFormed = desc;
  GetParam().apply(desc);
  ImagePlan plan;
  const Bytes file = Write(desc, &plan);
  GetParam().check(file, plan);
  // Whatever was changed, the rest is the well-formed image's bytes.
  if (desc.truncateAt) {
    const Bytes whole = Write(wellFormed);
    EXPECT_EQ(Slice(whole, 0, file.size()), file);
  }
}

INSTANTIATE_TEST_SUITE_P(Options, MalformedTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// --- the flash layout record -------------------------------------------------

struct LayoutCase {
  const char* name;
  void (*apply)(LayoutDesc&);
  uint8_t first;
  bool signature;
  const char* magic;
  uint32_t tableSize;
  uint32_t reserved;
};

const LayoutCase kLayouts[] = {
    {"Default", [](LayoutDesc&) {}, 0xEB, true, "MSFLSH50", 48, 10u * 131072},
    {"JumpE9", [](LayoutDesc& l) { l.jumpByte = 0xE9; }, 0xE9, true, "MSFLSH50", 48, 10u * 131072},
    {"NoBootSignature", [](LayoutDesc& l) { l.bootSignature = false; }, 0xEB, false, "MSFLSH50", 48, 10u * 131072},
    {"TableSize50IsThreeEntries", [](LayoutDesc& l) { l.tableSize = 50; }, 0xEB, true, "MSFLSH50", 50, 10u * 131072},
    {"TableSize32IsTwoEntries", [](LayoutDesc& l) { l.tableSize = 32; }, 0xEB, true, "MSFLSH50", 32, 5u * 131072},
    {"TableSize0", [](LayoutDesc& l) { l.tableSize = 0; }, 0xEB, true, "MSFLSH50", 0, 0},
    {"BadMagic", [](LayoutDesc& l) { l.magic = "MSFLSH51"; }, 0xEB, true, "MSFLSH51", 48, 10u * 131072},
};

class LayoutTest : public ImageWriterTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTest, UnitFields) {
  const LayoutCase& c = GetParam();
  ImageDesc desc;
  desc.rawSize = 32;
  desc.records = {Record(0x1000, 10), Record(0x2000, 10)};
  LayoutDesc& layout = desc.layout.emplace();
  layout.position = 1;
  layout.address = 0x00050000;
  layout.length = 3 * LAYOUT_UNIT_SIZE;
  layout.blockCounts = {2, 3, 5};
  c.apply(layout);
  ImagePlan plan;
  const Bytes file = Write(desc, &plan);
  ASSERT_EQ(plan.records.size(), 3u);
  ASSERT_TRUE(plan.records[1].layout);
  const uint64_t at = plan.records[1].headerOffset;
  EXPECT_EQ(LoadLE32(&file[at]), 0x00050000u);
  EXPECT_EQ(LoadLE32(&file[at + 4]), 3 * LAYOUT_UNIT_SIZE);
  const uint8_t* unit = &file[at + 12];
  EXPECT_EQ(unit[0], c.first);
  EXPECT_EQ(LoadLE16(unit + 510) == 0xAA55, c.signature);
  const uint8_t* table = unit + LAYOUT_UNIT_SIZE;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(table), 8), c.magic);
  EXPECT_EQ(LoadLE32(table + 8), c.tableSize);
  EXPECT_EQ(LoadLE32(table + 28), 2u);
  EXPECT_EQ(LoadLE32(table + 44), 3u);
  EXPECT_EQ(LoadLE32(table + 60), 5u);
  EXPECT_EQ(LoadLE32(table + 76), 0u);
  EXPECT_EQ(LayoutReservedSize(layout), c.reserved);
  // Past the two units, the record goes on with its own pattern.
  Bytes rest(LAYOUT_UNIT_SIZE);
  FillPattern(layout.seed, 2 * LAYOUT_UNIT_SIZE, rest.data(), rest.size());
  EXPECT_EQ(Slice(file, at + 12 + 2 * LAYOUT_UNIT_SIZE, LAYOUT_UNIT_SIZE), rest);
  EXPECT_EQ(plan.records[2].headerOffset, at + 12 + 3 * LAYOUT_UNIT_SIZE);
}

INSTANTIATE_TEST_SUITE_P(Variants, LayoutTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(ImageWriterTest, ShortLayoutRecordCutsItsUnits) {
  ImageDesc desc;
  desc.rawSize = 8;
  desc.layout.emplace().length = 600;
  desc.layout->blockCounts = {1};
  ImagePlan plan;
  const Bytes file = Write(desc, &plan);
  const uint64_t at = plan.records[0].headerOffset;
  EXPECT_EQ(file[at + 12], 0xEB);
  EXPECT_EQ(LoadLE16(&file[at + 12 + 510]), 0xAA55);
  EXPECT_EQ(*plan.terminatorOffset, at + 12 + 600);
}

TEST(ImagePlanTest, BadLayoutDescriptionsAreRefused) {
  ImageDesc desc;
  desc.records = {Record(1, 1)};
  desc.layout.emplace().position = 2;
  ImagePlan plan;
  EXPECT_EQ(PlanImage(desc, plan), PLAN_BAD_LAYOUT_POSITION);
  desc.layout->position = 1;
  EXPECT_EQ(PlanImage(desc, plan), PLAN_OK);
  desc.layout->magic = "MSFLSH50X";
  EXPECT_EQ(PlanImage(desc, plan), PLAN_BAD_LAYOUT_MAGIC);
  desc.layout->magic = "MSFLSH50";
  desc.layout->blockCounts.assign(128, 1);
  EXPECT_EQ(PlanImage(desc, plan), PLAN_BAD_LAYOUT_TABLE);
  desc.layout->blockCounts.assign(127, 1);
  EXPECT_EQ(PlanImage(desc, plan), PLAN_OK);
  EXPECT_EQ(LayoutReservedSize(*desc.layout), 127u << 17);
}

// --- the block list against the written file ---------------------------------

// Walks a written image the way a run reads it, independently of the writer.
std::vector<ImageBlock> ScanBlocks(const Bytes& file, uint32_t rawSize) {
  std::vector<ImageBlock> blocks;
  blocks.push_back({DATA_RAW, 0, rawSize, Crc16UpdateBaseline(CRC16_INIT, file.data(), rawSize)});
  size_t at = rawSize + 15;
  while (at + 12 <= file.size()) {
    const uint32_t address = LoadLE32(&file[at]);
    const uint32_t length = LoadLE32(&file[at + 4]);
    const uint32_t checksum = LoadLE32(&file[at + 8]);
    if (address == 0 && checksum == 0) break;
    if (length != 0)
      blocks.push_back({DATA_RECORD, address, length, Crc16UpdateBaseline(CRC16_INIT, &file[at + 12], length)});
    at += 12 + length;
  }
  return blocks;
}

TEST_F(ImageWriterTest, BlockListMatchesWhatTheFileHolds) {
  ImageDesc desc;
  desc.rawSize = 0xC0000;
  RecordDesc addressZeroNonzeroSum = Record(0, 300, 5);
  addressZeroNonzeroSum.checksum = 7;  // not the end: counted and sent
  RecordDesc zeroFilled = Record(0x900000, (1u << 20) + 3);
  zeroFilled.data.zeroFill = true;
  desc.records = {Record(0x200000, 0x20000, 2), Record(0x300000, 1500000, 3), Record(0x400000, 0),
                  addressZeroNonzeroSum, zeroFilled, Record(0x500000, 4097, 6)};
  desc.layout.emplace().blockCounts = {2, 3, 5};
  std::vector<ImageBlock> expected;
  ASSERT_EQ(ExpectedImageBlocks(desc, expected), PLAN_OK);
  const Bytes file = Write(desc);
  EXPECT_EQ(ScanBlocks(file, desc.rawSize), expected);
  ASSERT_EQ(expected.size(), 7u);  // raw part, layout, five records with data
  EXPECT_EQ(expected[1].address, 0x00010000u);
  EXPECT_EQ(expected[2].length, 0x20000u);
}

TEST_F(ImageWriterTest, BlockListStopsAtARecordThatReadsAsTheEnd) {
  ImageDesc desc;
  desc.rawSize = 10;
  RecordDesc end = Record(0, 50);
  end.checksum = 0;
  desc.records = {Record(0x100, 20), end, Record(0x200, 30)};
  std::vector<ImageBlock> expected;
  ASSERT_EQ(ExpectedImageBlocks(desc, expected), PLAN_OK);
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_EQ(expected[1].address, 0x100u);
  EXPECT_EQ(ScanBlocks(Write(desc), desc.rawSize), expected);
}

// --- raw files and failures ------------------------------------------------------

TEST_F(ImageWriterTest, RawFileAndItsBlock) {
  RawDesc raw;
  raw.size = 5000;
  raw.data.seed = 12;
  raw.data.given = {'M', 'V'};
  std::string problem;
  ASSERT_EQ(WriteRaw(Path("a.raw"), raw, problem), IMAGE_WRITE_OK) << problem;
  const Bytes file = Read(Path("a.raw"));
  ASSERT_EQ(file, Data(raw.data, 5000));
  ImageBlock block;
  ASSERT_TRUE(ExpectedRawBlock(raw, 4000, block));
  EXPECT_EQ(block, (ImageBlock{DATA_RAW, 0, 4000, Crc16UpdateBaseline(CRC16_INIT, file.data(), 4000)}));
  EXPECT_FALSE(ExpectedRawBlock(raw, 5001, block));
}

TEST_F(ImageWriterTest, ZeroFilledDataBecomesHoles) {
  RawDesc raw;
  raw.size = (uint64_t{4} << 30) + 10;  // a file of 4 GiB and more, as size checks need
  raw.data.zeroFill = true;
  raw.data.given = {1, 2, 3};
  std::string problem;
  ASSERT_EQ(WriteRaw(Path("big.raw"), raw, problem), IMAGE_WRITE_OK) << problem;
  struct stat st {};
  ASSERT_EQ(::stat(Path("big.raw").c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), raw.size);
  EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, uint64_t{1} << 20);
}

TEST_F(ImageWriterTest, FailuresAreValuesWithTheirPath) {
  std::string problem;
  const std::string missing = Path("no/such/dir/x.img");
  EXPECT_EQ(WriteImage(missing, ImageDesc{}, nullptr, problem), IMAGE_WRITE_OPEN);
  EXPECT_NE(problem.find(missing), std::string::npos);
  EXPECT_EQ(WriteImage("/dev/full", ImageDesc{}, nullptr, problem), IMAGE_WRITE_IO);
  EXPECT_NE(problem.find("/dev/full"), std::string::npos);
  ImageDesc bad;
  bad.layout.emplace().position = 1;
  EXPECT_EQ(WriteImage(Path("bad.img"), bad, nullptr, problem), IMAGE_WRITE_BAD_DESCRIPTION);
}

}  // namespace
}  // namespace morvak
