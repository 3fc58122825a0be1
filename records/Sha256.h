#pragma once
// SHA-256 (FIPS 180-4), for the image fingerprint in run records. Streaming:
// feed bytes in any split with Update, then take the digest once with Final.
// The hashing itself is nettle's; its header stays out of this one (it defines
// SHA256_DIGEST_SIZE as a macro).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace morvak {

inline constexpr size_t SHA256_DIGEST_SIZE = 32;
using Sha256Digest = std::array<uint8_t, SHA256_DIGEST_SIZE>;

class Sha256Hasher {
 public:
  Sha256Hasher();
  ~Sha256Hasher();
  Sha256Hasher(const Sha256Hasher& other);
  Sha256Hasher& operator=(const Sha256Hasher& other);
  // A moved-from hash may only be assigned to or destroyed.
  Sha256Hasher(Sha256Hasher&& other) noexcept;
  Sha256Hasher& operator=(Sha256Hasher&& other) noexcept;

  void Update(const uint8_t* data, size_t length);
  // The digest of everything fed so far; the object must not be fed afterwards.
  Sha256Digest Final();

 private:
  struct State;  // nettle's context
  std::unique_ptr<State> m_state;
};

Sha256Digest Sha256(const uint8_t* data, size_t length);
// Lower-case hexadecimal, two digits a byte.
std::string HexOf(const uint8_t* data, size_t length);
std::string Sha256Hex(const Sha256Digest& digest);

// The SHA-256 of a whole file, in lower-case hex; false with the reason in
// `error` (naming the path) when it cannot be opened or read.
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error);

}  // namespace morvak
