#pragma once
// SHA-256 (FIPS 180-4), for the image fingerprint in run records. Streaming:
// feed bytes in any split with Update, then take the digest once with Final.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvak {

inline constexpr size_t SHA256_DIGEST_SIZE = 32;
using Sha256Digest = std::array<uint8_t, SHA256_DIGEST_SIZE>;

class CSha256 {
 public:
  CSha256();
  void Update(const uint8_t* data, size_t length);
  // The digest of everything fed so far; the object must not be fed afterwards.
  Sha256Digest Final();

 private:
  void Compress(const uint8_t* block);

  uint32_t m_state[8];
  uint8_t m_block[64] = {};
  size_t m_fill = 0;
  uint64_t m_length = 0;  // bytes fed
};

Sha256Digest Sha256(const uint8_t* data, size_t length);
// Lower-case hexadecimal, two digits a byte.
std::string HexOf(const uint8_t* data, size_t length);
std::string Sha256Hex(const Sha256Digest& digest);

// The SHA-256 of a whole file, in lower-case hex; false with the reason in
// `error` (naming the path) when it cannot be opened or read.
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error);

}  // namespace morvak
