// The implementation a run uses is chosen once, on first use, and never changes:
// every checksum of a process comes from the same code.
#include "Crc16.h"

namespace morvak {
namespace {

struct Choice {
  Crc16UpdateFn update;
  const char* name;
};

const Choice& Chosen() {
  static const Choice choice = [] {
    if (const Crc16UpdateFn folding = Crc16UpdateFolding()) return Choice{folding, "folding"};
    return Choice{Crc16UpdatePortable, "portable"};
  }();
  return choice;
}

}  // namespace

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t length) { return Chosen().update(crc, data, length); }

uint32_t Crc16(const uint8_t* data, size_t length) { return Crc16Update(CRC16_INIT, data, length); }

const char* Crc16ImplementationName() { return Chosen().name; }

}  // namespace morvak
