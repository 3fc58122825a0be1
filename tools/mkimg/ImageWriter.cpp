#include "ImageWriter.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ByteOrder.h"
#include "FileSink.h"

namespace morvak {
namespace {

constexpr const char* kCannotCreate = "cannot create ";
constexpr const char* kCannotWrite = "cannot write ";
constexpr const char* kBadDescription = "cannot build ";

std::string Line(const char* what, const std::string& path, const char* cause) {
  return std::string(what) + path + ": " + cause;
}

// The 32-bit sum of the bytes, eight at a time: the bytes of each word are
// added pairwise into four 16-bit lanes, which are emptied before they can
// overflow (128 words add at most 128 * 510 to a lane).
uint32_t ByteSum(const uint8_t* p, size_t n) {
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  uint64_t sum = 0;
  while (n >= 8) {
    uint64_t lanes = 0;
    for (size_t words = std::min<size_t>(n / 8, 128); words != 0; --words, p += 8, n -= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);  // byte order does not matter to a sum
      lanes += (w & kLowBytes) + ((w >> 8) & kLowBytes);
    }
    sum += (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
  }
  for (; n != 0; --n) sum += *p++;
  return static_cast<uint32_t>(sum);
}

// Streams `length` bytes of `data` into the sink; adds their byte sum to `sum` when given.
void WriteData(FileSink& sink, const DataDesc& data, uint64_t length, uint32_t* sum) {
  const uint64_t given = std::min<uint64_t>(length, data.given.size());
  if (given != 0) {
    sink.Append(data.given.data(), static_cast<size_t>(given));
    if (sum != nullptr) *sum += ByteSum(data.given.data(), static_cast<size_t>(given));
  }
  if (data.zeroFill) {
    sink.Skip(length - given);
    return;
  }
  for (uint64_t offset = given; offset < length && sink.Error() == 0;) {
    size_t granted = 0;
    uint8_t* space = sink.Space(static_cast<size_t>(std::min<uint64_t>(length - offset, SIZE_MAX)), granted);
    FillPattern(data.seed, offset, space, granted);
    if (sum != nullptr) *sum += ByteSum(space, granted);
    sink.Commit(granted);
    offset += granted;
  }
}

void WriteRecordHeader(FileSink& sink, uint32_t address, uint32_t length, uint32_t checksum) {
  uint8_t header[IMAGE_RECORD_SIZE];
  StoreLE32(header, address);
  StoreLE32(header + 4, length);
  StoreLE32(header + 8, checksum);
  sink.Append(header, sizeof header);
}

}  // namespace

int WriteImage(const std::string& path, const ImageDesc& desc, ImagePlan* planOut, std::string& problem) {
  ImagePlan plan;
  const int planned = PlanImage(desc, plan);
  if (planned != PLAN_OK) {
    problem = Line(kBadDescription, path, PlanErrorText(planned));
    return IMAGE_WRITE_BAD_DESCRIPTION;
  }
  FileSink sink;
  if (!sink.Open(path, plan.fileSize)) {
    problem = Line(kCannotCreate, path, std::strerror(sink.Error()));
    return IMAGE_WRITE_OPEN;
  }

  WriteData(sink, desc.rawData, desc.rawSize, nullptr);
  uint8_t header[IMAGE_HEADER_SIZE];
  std::copy(desc.signature.begin(), desc.signature.end(), header);
  StoreLE32(header + 7, plan.headerWord1);
  StoreLE32(header + 11, plan.headerWord2);
  sink.Append(header, sizeof header);

  for (const PlannedRecord& planned_record : plan.records) {
    const RecordDesc& record = planned_record.desc;
    // A generated checksum is known only once the data has passed, so the
    // header goes out with 0 there and is patched afterwards.
    WriteRecordHeader(sink, record.address, record.length, record.checksum.value_or(0));
    uint32_t sum = 0;
    WriteData(sink, record.data, record.length, record.checksum ? nullptr : &sum);
    if (!record.checksum) sink.PatchLE32(planned_record.headerOffset + 8, sum != 0 ? sum : 1);
  }
  if (desc.terminator.present) WriteRecordHeader(sink, 0, desc.terminator.length, 0);
  WriteData(sink, desc.trailingData, desc.trailingLength, nullptr);

  if (!sink.Finish(plan.fileSize)) {
    problem = Line(kCannotWrite, path, std::strerror(sink.Error()));
    return IMAGE_WRITE_IO;
  }
  if (planOut != nullptr) *planOut = std::move(plan);
  return IMAGE_WRITE_OK;
}

int WriteRaw(const std::string& path, const RawDesc& desc, std::string& problem) {
  FileSink sink;
  if (!sink.Open(path, desc.size)) {
    problem = Line(kCannotCreate, path, std::strerror(sink.Error()));
    return IMAGE_WRITE_OPEN;
  }
  WriteData(sink, desc.data, desc.size, nullptr);
  if (!sink.Finish(desc.size)) {
    problem = Line(kCannotWrite, path, std::strerror(sink.Error()));
    return IMAGE_WRITE_IO;
  }
  return IMAGE_WRITE_OK;
}

}  // namespace morvak
