#include "RunConfig.h"

#include <optional>

namespace morvak {

const char* FlashSection(int flashType) { return flashType == 0 ? kNandSection : kOneNandSection; }

const char* ProgrammerFileName(int flashType) { return flashType == 0 ? kNandProgrammerName : kOneNandProgrammerName; }

RunConfig ReadRunConfig(const ProfileFile& profile, int flashType) {
  const bool nand = flashType == 0;
  const char* section = FlashSection(flashType);
  RunConfig config;
  config.crcEnable = profile.GetInt(kParamsSection, "CRCEnable", 1);
  config.downloadRaw = profile.GetInt(kParamsSection, "DownloadRaw", 0);
  config.withoutEboot.rawFileSize = profile.GetInt(section, "RawFileSize_WithoutEboot", nand ? 0xC0000u : 0x20000u);
  config.withoutEboot.binaryRegionSize =
      profile.GetInt(section, "BinaryRegionSize_WithoutEboot", nand ? 0xC0000u : 0x20000u);
  config.withEboot.rawFileSize = profile.GetInt(section, "RawFileSize_WithEboot", nand ? 0x100000u : 0x60000u);
  config.withEboot.binaryRegionSize =
      profile.GetInt(section, "BinaryRegionSize_WithEboot", nand ? 0x120000u : 0x80000u);
  config.recordFile = profile.GetString(kParamsSection, kRecordFileKey).value_or(std::string());
  // A bound that a typo turned into "no bound" would let a hung handset hold
  // the run for ever: only whole seconds are taken.
  if (const std::optional<std::string> text = profile.GetString(kParamsSection, kReplyTimeoutKey);
      text && !text->empty()) {
    uint64_t seconds = 0;
    bool valid = text->size() <= 9;
    for (const char c : *text) {
      valid = valid && c >= '0' && c <= '9';
      if (valid) seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
    }
    if (valid)
      config.replyTimeoutSeconds = static_cast<uint32_t>(seconds);
    else
      config.badReplyTimeout = *text;
  }
  return config;
}

bool IsRawImagePath(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && path.compare(dot + 1, std::string::npos, "raw") == 0;
}

}  // namespace morvak
