// fuzz_image_scan: the image scans and the Start checks on arbitrary files.
#include <cstdio>
#include <cstring>

#include "FlashRun.h"
#include "FuzzInputs.h"
#include "FuzzScratch.h"
#include "FuzzTargets.h"
#include "ImageFormat.h"
#include "ImageModel.h"
#include "RunConfig.h"

namespace morvak::fuzz {
namespace {

// A run state without a front end: the Start checks report to nobody.
class QuietRun : private IRunEvents, public FlashRun {
 public:
  QuietRun() : FlashRun(static_cast<IRunEvents&>(*this)) {}
};

struct Setup {
  int flashType = FLASH_TYPE_NAND;
  bool eraseReserved = false;
  bool crc = true;
  const char* name = kImageScanNames[0];
  uint32_t rawWithout = 0;
  uint32_t rawWith = 0;
};

Setup ReadSetup(const uint8_t* data) {
  Setup s;
  s.flashType = (data[0] & IMAGE_SCAN_ONENAND) != 0 ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  s.eraseReserved = (data[0] & IMAGE_SCAN_ERASE_RESERVED) != 0;
  s.crc = (data[0] & IMAGE_SCAN_NO_CRC) == 0;
  s.name = kImageScanNames[(data[0] >> IMAGE_SCAN_NAME_SHIFT) & IMAGE_SCAN_NAME_MASK];
  s.rawWithout = data[1];
  s.rawWith = data[2];
  return s;
}

bool WriteConfig(const Setup& s) {
  char text[512];
  const int n = std::snprintf(text, sizeof text,
                              "[%s]\nCRCEnable=%d\n[%s]\nRawFileSize_WithoutEboot=%u\n"
                              "BinaryRegionSize_WithoutEboot=%u\nRawFileSize_WithEboot=%u\n"
                              "BinaryRegionSize_WithEboot=%u\n",
                              kParamsSection, s.crc ? 1 : 0, FlashSection(s.flashType), s.rawWithout,
                              s.rawWithout + IMAGE_SCAN_REGION_EXTRA, s.rawWith, s.rawWith + IMAGE_SCAN_REGION_EXTRA);
  return n > 0 && !WriteScratchFile("file/LURRA.ini", reinterpret_cast<const uint8_t*>(text),
                                    static_cast<size_t>(n)).empty();
}

struct Scan {
  int counted = 0;
  uint32_t count = 0;
  int found = 0;
  uint32_t reserved = 0;
};

// Both scans at one offset, held against the in-memory reading.
std::string ScanAt(const std::string& path, uint32_t offset, const uint8_t* file, size_t fileSize, Scan& scan) {
  scan.counted = CountImageRecordsIn(path, static_cast<int32_t>(offset), scan.count);
  scan.found = FindReservedSizeIn(path, static_cast<int32_t>(offset), scan.reserved);
  if (scan.counted != 0 && scan.counted != 1) return "CountImageRecordsIn returned neither 0 nor 1";
  if (scan.found != 0 && scan.found != 1) return "FindReservedSizeIn returned neither 0 nor 1";
  const ModelScan model = ScanImageModel(file, fileSize, offset);
  if (scan.counted != model.counted || scan.count != model.count)
    return "CountImageRecordsIn differs from a walk over the bytes";
  if (scan.found != model.found || scan.reserved != model.reserved)
    return "FindReservedSizeIn differs from a walk over the bytes";
  return {};
}

bool SignatureAt(const uint8_t* file, size_t size, uint32_t offset) {
  return size >= offset && size - offset >= IMAGE_SIGNATURE.size() &&
         std::memcmp(file + offset, IMAGE_SIGNATURE.data(), IMAGE_SIGNATURE.size()) == 0;
}

std::string CheckStart(const Setup& s, const std::string& path, const uint8_t* file, size_t size) {
  QuietRun run;
  RunSettings settings;
  settings.moduleDirectory = ScratchDirectory();
  settings.imagePath = path;
  settings.flashType = s.flashType;
  settings.eraseReserved = s.eraseReserved;
  std::string line;
  const bool started = run.ApplyStartSettings(settings, line);
  if (started != line.empty()) return started ? "Start went ahead with a line to show" : "Start refused without a line";
  if (run.m_bCrcEnable != (s.crc ? 1 : 0)) return "Start did not take CRCEnable";
  if (!started) {
    if (IsRawImagePath(path)) return "Start refused a raw image that exists";
    return {};
  }
  if (run.m_bEraseReserved != (s.eraseReserved ? 1 : 0)) return "Start did not take the erase choice";
  if (IsRawImagePath(path)) {
    const bool withEboot = size > s.rawWithout;
    const uint32_t raw = withEboot ? s.rawWith : s.rawWithout;
    if (run.m_bRawImage != 1 || run.m_nRawFileSize != raw || run.m_nBinaryRegionSize != raw + IMAGE_SCAN_REGION_EXTRA)
      return "Start chose the wrong size pair for a raw image";
    if (run.m_nReservedSize != 0) return "Start left a reserved size for a raw image";
    return {};
  }
  if (size < uint64_t{s.rawWithout} + IMAGE_HEADER_SIZE) return "Start took an image too short for its header";
  const uint32_t offset = SignatureAt(file, size, s.rawWithout) ? s.rawWithout : s.rawWith;
  if (run.m_bRawImage != 0 || run.m_nRawFileSize != offset ||
      run.m_nBinaryRegionSize != offset + IMAGE_SCAN_REGION_EXTRA)
    return "Start chose the wrong size pair for an image";
  Scan scan;
  if (std::string problem = ScanAt(path, offset, file, size, scan); !problem.empty()) return problem;
  if (scan.counted != 1 || scan.found != 1) return "Start took an image its scans refuse";
  if (run.m_nRecordCount != scan.count || run.m_nReservedSize != scan.reserved)
    return "Start kept other scan results than the scans give";
  return {};
}

}  // namespace

std::string FuzzImageScan(const uint8_t* data, size_t size) {
  if (size < IMAGE_SCAN_SETUP_SIZE) return {};
  const Setup setup = ReadSetup(data);
  const uint8_t* file = data + IMAGE_SCAN_SETUP_SIZE;
  const size_t fileSize = size - IMAGE_SCAN_SETUP_SIZE;
  if (!WriteConfig(setup)) return "the configuration could not be written";
  const std::string path = WriteScratchFile(setup.name, file, fileSize);
  if (path.empty()) return "the image could not be written";

  const int descriptors = OpenDescriptorCount();
  for (const uint32_t offset : {0u, setup.rawWithout, setup.rawWith}) {
    Scan scan;
    if (std::string problem = ScanAt(path, offset, file, fileSize, scan); !problem.empty()) return problem;
  }
  if (std::string problem = CheckStart(setup, path, file, fileSize); !problem.empty()) return problem;
  if (OpenDescriptorCount() != descriptors) return "a file was left open";
  return {};
}

}  // namespace morvak::fuzz
