#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Crc16.h"
#include "Crc16Baseline.h"

namespace morvak {
namespace {

struct Implementation {
  const char* name;
  Crc16UpdateFn update;  // nullptr: not available on this processor
};

uint16_t DispatchedUpdate(uint16_t crc, const uint8_t* data, size_t length) { return Crc16Update(crc, data, length); }

std::vector<Implementation> Implementations() {
  return {{"Baseline", Crc16UpdateBaseline},
          {"Portable", Crc16UpdatePortable},
          {"Folding", Crc16UpdateFolding()},
          {"Dispatched", DispatchedUpdate}};
}

// The vectors' input: byte i is (i * 131 + 7) & 0xFF, which repeats every 256 bytes.
std::vector<uint8_t> PatternBytes(size_t length) {
  uint8_t period[256];
  for (size_t i = 0; i < sizeof period; ++i) period[i] = static_cast<uint8_t>((i * 131 + 7) & 0xFF);
  std::vector<uint8_t> bytes(length);
  for (size_t done = 0; done < length; done += sizeof period)
    std::memcpy(bytes.data() + done, period, std::min(sizeof period, length - done));
  return bytes;
}

std::vector<uint8_t> RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> bytes(length);
  for (auto& b : bytes) b = static_cast<uint8_t>(gen());
  return bytes;
}

struct Vector {
  size_t length;
  uint16_t crc;
};

// Lines "length crc" (decimal, hex); '#' starts a comment line. Any other line
// is a fault of the file, reported rather than skipped.
bool ReadVectors(const char* path, std::vector<Vector>& out, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = std::string("cannot open ") + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
    std::istringstream fields(line);
    unsigned long long length = 0;
    unsigned crc = 0;
    std::string extra;
    if (!(fields >> length >> std::hex >> crc) || crc > 0xFFFF || (fields >> extra)) {
      error = "line " + std::to_string(number) + " is not 'length crc': " + line;
      return false;
    }
    out.push_back({static_cast<size_t>(length), static_cast<uint16_t>(crc)});
  }
  return true;
}

class Crc16Impl : public ::testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override {
    if (GetParam().update == nullptr) GTEST_SKIP() << "this processor lacks carry-less multiplication";
  }
  uint16_t Run(uint16_t crc, const uint8_t* data, size_t length) const { return GetParam().update(crc, data, length); }
  uint16_t Run(const std::vector<uint8_t>& bytes) const { return Run(CRC16_INIT, bytes.data(), bytes.size()); }
};

TEST_P(Crc16Impl, CatalogueCheckAndEmptyInput) {
  const char* digits = "123456789";
  EXPECT_EQ(Run(CRC16_INIT, reinterpret_cast<const uint8_t*>(digits), std::strlen(digits)), 0x4B37);
  EXPECT_EQ(Run(CRC16_INIT, nullptr, 0), 0xFFFF);
  EXPECT_EQ(Run(0x1234, nullptr, 0), 0x1234);
}

// The file and the longest input are read and made once for all implementations.
struct VectorSet {
  std::vector<Vector> vectors;
  std::string error;
  std::vector<uint8_t> input;
};
const VectorSet& ReferenceVectorSet() {
  static const VectorSet set = [] {
    VectorSet s;
    if (!ReadVectors(MORVAK_CRC16_VECTORS, s.vectors, s.error)) return s;
    size_t longest = 0;
    for (const Vector& v : s.vectors) longest = std::max(longest, v.length);
    s.input = PatternBytes(longest);
    return s;
  }();
  return set;
}

TEST_P(Crc16Impl, ReferenceVectors) {
  const VectorSet& set = ReferenceVectorSet();
  ASSERT_TRUE(set.error.empty()) << set.error;
  ASSERT_GE(set.vectors.size(), 10u);
  for (const Vector& v : set.vectors)
    EXPECT_EQ(Run(CRC16_INIT, set.input.data(), v.length), v.crc) << "length " << v.length;
}

// Every length up to several folding strides, at every alignment, from an
// arbitrary starting register, against the byte-at-a-time code.
TEST_P(Crc16Impl, MatchesBaselineAtEveryLengthAndAlignment) {
  const std::vector<uint8_t> bytes = RandomBytes(600 + 16, 1);
  std::mt19937 gen(2);
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length <= 600; ++length) {
      const auto init = static_cast<uint16_t>(gen());
      const uint8_t* p = bytes.data() + offset;
      ASSERT_EQ(Run(init, p, length), Crc16UpdateBaseline(init, p, length))
          << "offset " << offset << " length " << length << " init " << init;
    }
  }
}

TEST_P(Crc16Impl, MatchesBaselineOnLongBuffers) {
  for (const size_t length : {4095u, 4096u, 4097u, 65535u, 65536u, 65537u, 1000003u}) {
    const std::vector<uint8_t> bytes = RandomBytes(length, static_cast<uint32_t>(length));
    EXPECT_EQ(Run(bytes), Crc16UpdateBaseline(CRC16_INIT, bytes.data(), length)) << "length " << length;
  }
}

// One bit set in a zero message, at every position of several lengths: each
// position meets a different folding multiplier, so a wrong constant shows.
TEST_P(Crc16Impl, SingleBitMessages) {
  for (const size_t length : {128u, 144u, 263u, 400u}) {
    std::vector<uint8_t> bytes(length, 0);
    for (size_t bit = 0; bit < length * 8; ++bit) {
      bytes[bit / 8] = static_cast<uint8_t>(1u << (bit % 8));
      ASSERT_EQ(Run(0, bytes.data(), length), Crc16UpdateBaseline(0, bytes.data(), length))
          << "length " << length << " bit " << bit;
      ASSERT_EQ(Run(bytes), Crc16UpdateBaseline(CRC16_INIT, bytes.data(), length))
          << "length " << length << " bit " << bit;
      bytes[bit / 8] = 0;
    }
  }
}

// A checksum continued piece by piece equals the one over the whole buffer,
// however the pieces fall.
TEST_P(Crc16Impl, ChainedUpdatesSplitAnywhere) {
  const std::vector<uint8_t> bytes = RandomBytes(5000, 3);
  std::mt19937 gen(4);
  for (int trial = 0; trial < 300; ++trial) {
    const size_t length = gen() % bytes.size();
    const uint16_t whole = Crc16UpdateBaseline(CRC16_INIT, bytes.data(), length);
    uint16_t crc = CRC16_INIT;
    size_t done = 0;
    while (done < length) {
      // Mostly short pieces, now and then a long one, sometimes empty.
      const size_t limit = (gen() % 4 == 0) ? length - done : std::min<size_t>(length - done, 300);
      const size_t piece = gen() % (limit + 1);
      crc = Run(crc, bytes.data() + done, piece);
      done += piece;
    }
    ASSERT_EQ(crc, whole) << "trial " << trial << " length " << length;
  }
}

INSTANTIATE_TEST_SUITE_P(All, Crc16Impl, ::testing::ValuesIn(Implementations()),
                         [](const ::testing::TestParamInfo<Implementation>& p) { return p.param.name; });

TEST(Crc16Dispatch, WholeBufferFormHasZeroHighHalf) {
  const std::vector<uint8_t> bytes = PatternBytes(9);
  EXPECT_EQ(Crc16(bytes.data(), bytes.size()), 0x0B34u);
  EXPECT_EQ(Crc16(nullptr, 0), 0xFFFFu);
}

TEST(Crc16Dispatch, NamesTheFastestAvailable) {
  EXPECT_STREQ(Crc16ImplementationName(), Crc16UpdateFolding() != nullptr ? "folding" : "portable");
}

}  // namespace
}  // namespace morvak
