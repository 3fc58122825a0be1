// Placeholder dispatch until the fast implementations land: everything uses the baseline.
#include "Crc16.h"

namespace morvak {

uint16_t Crc16UpdatePortable(uint16_t crc, const uint8_t* data, size_t length) {
  return Crc16UpdateBaseline(crc, data, length);
}
Crc16UpdateFn Crc16UpdateFolding() { return nullptr; }
const char* Crc16ImplementationName() { return "baseline"; }
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t length) {
  return Crc16UpdateBaseline(crc, data, length);
}
uint32_t Crc16(const uint8_t* data, size_t length) { return Crc16Update(CRC16_INIT, data, length); }

}  // namespace morvak
