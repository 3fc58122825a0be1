// Carry-less multiplication folding. The message is a polynomial M over GF(2)
// and its CRC is M * x^16 mod P, so any 16-byte block may be replaced by its
// product with x^(8d) mod P, placed d bytes later, without changing the CRC.
// Eight blocks are folded in parallel 128 bytes ahead, then into one block,
// which with the remaining tail (under 16 bytes) is finished by the table code.
//
// Bit order: the CRC is reflected, so a block loaded little-endian holds the
// highest-degree coefficient in bit 0. A carry-less product of two reflected
// 64-bit operands comes out reflected and one degree short, which the constants
// below make up by using x^(n-1) in place of x^n.
//
// Only this file is compiled for the instructions it uses (function target
// attributes); the rest of the build needs no machine flags, and the code runs
// only after the processor has been asked.
#include "Crc16.h"
#include "Crc16Polynomial.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MORVAK_CRC16_FOLDING 1
#endif

namespace morvak {

#if defined(MORVAK_CRC16_FOLDING)
namespace {

constexpr uint32_t ReverseBits16(uint32_t v) {
  uint32_t r = 0;
  for (int bit = 0; bit < 16; ++bit) r |= ((v >> bit) & 1u) << (15 - bit);
  return r;
}

// x^n mod P in the usual bit order (bit d is the x^d coefficient).
constexpr uint32_t XPowModP(unsigned n) {
  constexpr uint32_t kPoly = 0x10000u | ReverseBits16(crc16::kReflectedPoly);
  uint32_t r = 1;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000u) r ^= kPoly;
  }
  return r;
}

// A remainder as a reflected 64-bit operand: the x^d coefficient in bit 63 - d.
constexpr uint64_t Reflect64(uint32_t remainder) {
  uint64_t r = 0;
  for (int d = 0; d < 16; ++d) r |= static_cast<uint64_t>((remainder >> d) & 1u) << (63 - d);
  return r;
}

// Multipliers carrying a block `bytes` ahead: the block's first (higher)
// 64-bit half is worth x^(8*bytes + 64), its second x^(8*bytes).
struct FoldConstants {
  uint64_t high;
  uint64_t low;
};
constexpr FoldConstants FoldBy(unsigned bytes) {
  return {Reflect64(XPowModP(8 * bytes + 64 - 1)), Reflect64(XPowModP(8 * bytes - 1))};
}

constexpr size_t kBlock = 16;
constexpr size_t kLanes = 8;
constexpr size_t kStride = kBlock * kLanes;
constexpr FoldConstants kFold128 = FoldBy(kStride);
constexpr FoldConstants kFold16 = FoldBy(kBlock);

// Self-checks of the derivation: x^16 mod P is P's low part, and a reflected
// remainder of 1 sits in the top bit.
static_assert(XPowModP(16) == 0x8005u);
static_assert(Reflect64(1) == 0x8000000000000000ull);

#define MORVAK_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

MORVAK_CLMUL_TARGET inline __m128i Constants(FoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.low), static_cast<long long>(k.high));
}

MORVAK_CLMUL_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The block's products, degree under 80: they fit the next block's 128 bits.
MORVAK_CLMUL_TARGET inline __m128i Fold(__m128i block, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, k, 0x00), _mm_clmulepi64_si128(block, k, 0x11));
}

MORVAK_CLMUL_TARGET uint16_t Crc16UpdateClmul(uint16_t crc, const uint8_t* data, size_t length) {
  if (length < kStride) return Crc16UpdatePortable(crc, data, length);

  // A reflected CRC that starts from crc equals one that starts from zero over
  // the same bytes with crc added into the first two.
  __m128i lane[kLanes];
  for (size_t i = 0; i < kLanes; ++i) lane[i] = Load(data + i * kBlock);
  lane[0] = _mm_xor_si128(lane[0], _mm_cvtsi32_si128(crc));
  data += kStride;
  length -= kStride;

  const __m128i k128 = Constants(kFold128);
  while (length >= kStride) {
    for (size_t i = 0; i < kLanes; ++i) lane[i] = _mm_xor_si128(Fold(lane[i], k128), Load(data + i * kBlock));
    data += kStride;
    length -= kStride;
  }

  const __m128i k16 = Constants(kFold16);
  __m128i acc = lane[0];
  for (size_t i = 1; i < kLanes; ++i) acc = _mm_xor_si128(Fold(acc, k16), lane[i]);
  while (length >= kBlock) {
    acc = _mm_xor_si128(Fold(acc, k16), Load(data));
    data += kBlock;
    length -= kBlock;
  }

  uint8_t rest[kBlock];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), acc);
  return Crc16UpdatePortable(Crc16UpdatePortable(0, rest, kBlock), data, length);
}

#undef MORVAK_CLMUL_TARGET

}  // namespace

Crc16UpdateFn Crc16UpdateFolding() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1")) return Crc16UpdateClmul;
  return nullptr;
}

#else

Crc16UpdateFn Crc16UpdateFolding() { return nullptr; }

#endif

}  // namespace morvak
