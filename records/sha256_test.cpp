// SHA-256 against the published test vectors, at every padding boundary, fed
// in every split, and of whole files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Sha256.h"

namespace morvak {
namespace {

std::string Hex(const std::string& text) {
  return Sha256Hex(Sha256(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::vector<uint8_t> Pattern(size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  return bytes;
}

TEST(Sha256Test, PublishedVectors) {
  EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnop"
                "qrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  EXPECT_EQ(Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Where the length no longer fits the last block, padding takes another one.
struct BoundaryCase {
  size_t length;
  const char* hex;
};

class Sha256BoundaryTest : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(Sha256BoundaryTest, PadsAroundTheBlockEnd) {
  const std::vector<uint8_t> data = Pattern(GetParam().length);
  EXPECT_EQ(Sha256Hex(Sha256(data.data(), data.size())), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Sha256BoundaryTest,
    ::testing::Values(BoundaryCase{55, "8aa994584139d128848eeebc4e815639ba5ab6e6e39574195a63ac4f14f7c43b"},
                      BoundaryCase{56, "ad574708f75c044c9b85de64cb568ee7711ff4f36448c6242f053ba8f6cc2b63"},
                      BoundaryCase{63, "280ed3e8ff1df845b2e7dfe6ac6cee817bef20e783cc65abc41b818b4d2fe076"},
                      BoundaryCase{64, "c6ab9724ade5b6a7a1edfffb12f3aa9181351355af8fd08c919952ad211339dd"},
                      BoundaryCase{65, "788367c73c7ddf4c53f65e68cc0d943e6227ab55b0e78ba63ace822b1c6301c0"},
                      BoundaryCase{119, "3d610547d68216dedf7435a4fb6260353911f6b3fd3f18805ddb8be285d726fe"},
                      BoundaryCase{120, "1f80156a804cb7862ad113e8200e9d74499723e7c7854d5f48776d3148e09656"}),
    [](const ::testing::TestParamInfo<BoundaryCase>& p) { return std::to_string(p.param.length); });

TEST(Sha256Test, AnySplitGivesTheSameDigest) {
  const std::vector<uint8_t> data = Pattern(200);
  const Sha256Digest whole = Sha256(data.data(), data.size());
  for (size_t first = 0; first <= data.size(); ++first) {
    for (size_t second : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{65}}) {
      const size_t cut = std::min(data.size(), first + second);
      Sha256Hasher hash;
      hash.Update(data.data(), first);
      hash.Update(data.data() + first, cut - first);
      hash.Update(data.data() + cut, data.size() - cut);
      ASSERT_EQ(hash.Final(), whole) << first << "+" << second;
    }
  }
}

TEST(Sha256Test, OfAFileAndOfAFileThatIsNotThere) {
  const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / "morvak-sha256-test.bin";
  const std::vector<uint8_t> data = Pattern(200000);  // several read buffers
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  std::string hex, error;
  ASSERT_TRUE(Sha256OfFile(path.string(), hex, error)) << error;
  EXPECT_EQ(hex, "8f9d1bf454d63cd9fc6edbe8f3f2331cc1f9b195c7ec90533717bf243ae966c7");
  std::filesystem::remove(path);
  hex = "unchanged";
  EXPECT_FALSE(Sha256OfFile(path.string(), hex, error));
  EXPECT_EQ(hex, "unchanged");
  EXPECT_NE(error.find(path.string()), std::string::npos) << error;
}

}  // namespace
}  // namespace morvak
