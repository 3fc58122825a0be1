#include "Inspect.h"

#include <cinttypes>
#include <memory>

#include "CliTexts.h"
#include "ImageFormat.h"
#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "FlashRun.h"
#include "RegularFile.h"
#include "RunConfig.h"
#include "StdioFile.h"

namespace morvak::cli {
namespace {

// Lists the records of an image whose header stands at `offset`, seeking past
// their data as the scans do.
void PrintRecords(std::FILE* out, const std::string& path, uint32_t offset) {
  StdioFile f;
  uint8_t bytes[IMAGE_HEADER_SIZE];
  if (OpenRegularFile(path.c_str(), f) != FileOpenResult::kOpened || fseeko(f.get(), offset, SEEK_SET) != 0 || std::fread(bytes, 1, sizeof bytes, f.get()) != sizeof bytes)
    return;
  ImageHeader header;
  UnpackImageHeader(header, bytes);
  std::fprintf(out, "header words: 0x%08" PRIX32 " 0x%08" PRIX32 "\n", header.word1, header.word2);
  std::fprintf(out, "records (address, length):\n");
  for (;;) {
    if (std::fread(bytes, 1, IMAGE_RECORD_SIZE, f.get()) != IMAGE_RECORD_SIZE) return;
    const ImageRecord record = UnpackImageRecord(bytes);
    if (record.IsTerminator()) return;
    std::fprintf(out, "  0x%08" PRIX32 " %" PRIu32 "%s\n", record.address, record.length,
                 record.length == 0 ? " (no data)" : "");
    if (fseeko(f.get(), record.length, SEEK_CUR) != 0) return;
  }
}

}  // namespace

int RunInspect(const InspectOptions& options, std::FILE* out) {
  // Only Start's checks are wanted: whatever the run would tell goes nowhere.
  IRunEvents nobody;
  FlashRun run(nobody);
  RunSettings settings;
  settings.moduleDirectory = run.m_strModuleDirectory;
  settings.imagePath = options.image;
  settings.flashType = options.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  std::string line;
  if (!run.ApplyStartSettings(settings, line)) {
    std::fprintf(out, "%s\n", line.c_str());
    return clitexts::kExitFailed;
  }
  const RunConfig config =
      ReadRunConfig(ProfileFile::Load(ModuleRelativePath(run.m_strModuleDirectory, kConfigFileName)), run.m_nFlashType);
  const bool withEboot = run.m_nRawFileSize != config.withoutEboot.rawFileSize ||
                         run.m_nBinaryRegionSize != config.withoutEboot.binaryRegionSize;
  std::fprintf(out, "image: %s\n", options.image.c_str());
  std::fprintf(out, "flash type: %s (section %s)\n", options.oneNand ? "OneNAND" : "NAND",
               FlashSection(run.m_nFlashType));
  if (run.m_bRawImage != 0) {
    std::fprintf(out, "type: raw (the extension after the last dot is \"raw\")\n");
    std::fprintf(out, "size pair: %s (the file is %s RawFileSize_WithoutEboot, %" PRIu32 " bytes)\n",
                 withEboot ? "WithEboot" : "WithoutEboot", withEboot ? "longer than" : "no longer than",
                 config.withoutEboot.rawFileSize);
  } else {
    std::fprintf(out, "type: img (the extension after the last dot is not \"raw\")\n");
    std::fprintf(out, "size pair: %s (the image header stands at offset %" PRIu32 ")\n",
                 withEboot ? "WithEboot" : "WithoutEboot", run.m_nRawFileSize);
  }
  std::fprintf(out, "raw part: %" PRIu32 " bytes\nbinary region: %" PRIu32 " bytes\n", run.m_nRawFileSize,
               run.m_nBinaryRegionSize);
  if (run.m_bRawImage == 0) {
    PrintRecords(out, options.image, run.m_nRawFileSize);
    std::fprintf(out, "record count: %" PRIu32 "\n", run.m_nRecordCount);
  }
  std::fprintf(out, "reserved size: %" PRIu32 " bytes\n", run.m_nReservedSize);
  return clitexts::kExitSucceeded;
}

}  // namespace morvak::cli
