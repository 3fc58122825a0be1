#include "Sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "StdioFile.h"

// After Sha256.h: nettle's SHA256_DIGEST_SIZE macro would rename our constant.
#include <nettle/sha2.h>

namespace morvak {

static_assert(Sha256Digest{}.size() == SHA256_DIGEST_SIZE);

struct Sha256Hasher::State {
  sha256_ctx context;
};

Sha256Hasher::Sha256Hasher() : m_state(std::make_unique<State>()) { sha256_init(&m_state->context); }
Sha256Hasher::~Sha256Hasher() = default;
Sha256Hasher::Sha256Hasher(const Sha256Hasher& other) : m_state(std::make_unique<State>(*other.m_state)) {}
Sha256Hasher& Sha256Hasher::operator=(const Sha256Hasher& other) {
  if (this != &other) m_state = std::make_unique<State>(*other.m_state);
  return *this;
}
Sha256Hasher::Sha256Hasher(Sha256Hasher&& other) noexcept = default;
Sha256Hasher& Sha256Hasher::operator=(Sha256Hasher&& other) noexcept = default;

void Sha256Hasher::Update(const uint8_t* data, size_t length) {
  if (length == 0) return;  // `data` may then be null, which nettle's copy must not see
  sha256_update(&m_state->context, length, data);
}

Sha256Digest Sha256Hasher::Final() {
  Sha256Digest digest{};
  sha256_digest(&m_state->context, digest.size(), digest.data());
  return digest;
}

Sha256Digest Sha256(const uint8_t* data, size_t length) {
  Sha256Hasher hash;
  hash.Update(data, length);
  return hash.Final();
}

std::string HexOf(const uint8_t* data, size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 0x0F];
  }
  return hex;
}

std::string Sha256Hex(const Sha256Digest& digest) { return HexOf(digest.data(), digest.size()); }

bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error) {
  StdioFile file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  Sha256Hasher hash;
  std::vector<uint8_t> buffer(1 << 16);
  for (;;) {
    const size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    hash.Update(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get()) != 0) {
    error = "cannot read " + path;
    return false;
  }
  hex = Sha256Hex(hash.Final());
  return true;
}

}  // namespace morvak
