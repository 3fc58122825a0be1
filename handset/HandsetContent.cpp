#include "HandsetContent.h"

#include <cstring>

#include "ByteOrder.h"
#include "Crc16.h"

namespace morvak {
namespace {

constexpr uint32_t kChipId = 0x00005A17u;
constexpr size_t kTextLengths[] = {40, MAX_TEXT_REPORT, 255, 256, 1, 180};
constexpr char kFiller[] = "abcdefghijklmnopqrstuvwxyz0123456789";

}  // namespace

void VirtualAsicId(uint8_t out[VIRTUAL_ASIC_ID_SIZE], BenchUnit where) {
  std::memcpy(out, "VHND", 4);
  out[4] = 1;
  StoreLE32(out + 5, kChipId);
  for (size_t i = 0; i < 16; ++i) out[9 + i] = static_cast<uint8_t>(i * 37u + 11u);
  if (where != BenchUnit{}) {
    StoreLE32(out + 17, where.port);
    StoreLE32(out + 21, where.unit);
  }
  for (size_t i = 25; i < VIRTUAL_ASIC_ID_SIZE - 2; ++i) out[i] = static_cast<uint8_t>(0xA5u ^ i);
  StoreLE16(out + VIRTUAL_ASIC_ID_SIZE - 2,
            static_cast<uint16_t>(Crc16Update(CRC16_INIT, out, VIRTUAL_ASIC_ID_SIZE - 2)));
}

std::string VirtualTextReport(uint32_t run, uint32_t index) {
  const size_t length = kTextLengths[index % (sizeof kTextLengths / sizeof kTextLengths[0])];
  std::string text = "Programmer run " + std::to_string(run) + ", message " + std::to_string(index + 1);
  if (index == 0) text += std::string(1, '\0') + "not shown";
  for (size_t i = 0; text.size() < length; ++i) text += kFiller[i % (sizeof kFiller - 1)];
  text.resize(length);
  return text;
}

}  // namespace morvak
