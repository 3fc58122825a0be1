#pragma once
// CRC-16/MODBUS: polynomial 0x8005 bit-reflected (0xA001), initial value 0xFFFF,
// input and output reflected, no final XOR. Check value ("123456789") 0x4B37;
// empty input 0xFFFF. It guards every data block's payload, never its header.
#include <cstddef>
#include <cstdint>

namespace morvak {

inline constexpr uint16_t CRC16_INIT = 0xFFFF;

// The checksum a run uses: the fastest implementation this processor has,
// chosen once at run time. The result is the 16-bit CRC in a 32-bit word with
// the high half zero.
uint32_t Crc16(const uint8_t* data, size_t length);

// Continues a CRC over more bytes: Crc16Update(Crc16Update(CRC16_INIT, a), b)
// equals the CRC of a followed by b. Same implementation choice as Crc16.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t length);

// The individual implementations, for tests and benchmarks. All give identical
// results, and the same as the byte-at-a-time reference the tests hold them to
// (testing/Crc16Baseline.h).
uint16_t Crc16UpdatePortable(uint16_t crc, const uint8_t* data, size_t length);  // portable table-driven, several bytes a step
// Carry-less multiplication folding; nullptr when the processor lacks it.
using Crc16UpdateFn = uint16_t (*)(uint16_t crc, const uint8_t* data, size_t length);
Crc16UpdateFn Crc16UpdateFolding();
// The name of the implementation Crc16 uses ("folding", "portable").
const char* Crc16ImplementationName();

}  // namespace morvak
