#include "ImageBlocks.h"

#include <algorithm>
#include <memory>

#include "Crc16.h"
#include "Frame.h"

namespace morvak {

uint16_t DataCrc16(const DataDesc& data, uint64_t length) {
  constexpr size_t kPiece = size_t{1} << 20;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  uint16_t crc = CRC16_INIT;
  for (uint64_t offset = 0; offset < length;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, length - offset));
    FillData(data, offset, piece.get(), n);
    crc = Crc16Update(crc, piece.get(), n);
    offset += n;
  }
  return crc;
}

int ExpectedImageBlocks(const ImageDesc& desc, std::vector<ImageBlock>& blocks) {
  ImagePlan plan;
  const int planned = PlanImage(desc, plan);
  if (planned != PLAN_OK) return planned;
  blocks.clear();
  blocks.push_back({DATA_RAW, 0, desc.rawSize, DataCrc16(desc.rawData, desc.rawSize)});
  for (const PlannedRecord& planned_record : plan.records) {
    const RecordDesc& record = planned_record.desc;
    // A generated checksum is never 0 (see RecordDesc), so only an explicit 0 ends the stream.
    if (record.address == 0 && record.checksum == 0u) break;
    if (record.length == 0) continue;
    blocks.push_back({DATA_RECORD, record.address, record.length, DataCrc16(record.data, record.length)});
  }
  return PLAN_OK;
}

bool ExpectedRawBlock(const RawDesc& desc, uint32_t sendLength, ImageBlock& block) {
  if (sendLength > desc.size) return false;
  block = {DATA_RAW, 0, sendLength, DataCrc16(desc.data, sendLength)};
  return true;
}

}  // namespace morvak
