#pragma once
// The run's configuration file "file/LURRA.ini" and the names beside the
// executable. Every value is read afresh at each Start; the file is never written.
#include <cstdint>
#include <string>

#include "ProfileFile.h"

namespace morvak {

inline constexpr const char* kConfigFileName = "file\\LURRA.ini";
inline constexpr const char* kBootFileName = "file\\2ND.nb0";
inline constexpr const char* kNandProgrammerName = "file\\NANDOUT.nb0";
inline constexpr const char* kOneNandProgrammerName = "file\\OneNANDOUT.nb0";
// The longest name, "file\OneNANDOUT.nb0", and its NUL must fit a 256-byte field.
inline constexpr unsigned kModuleDirectoryLimit = 236;

inline constexpr const char* kParamsSection = "LURRA_PARAMS";
inline constexpr const char* kNandSection = "LURRA_NAND";
inline constexpr const char* kOneNandSection = "LURRA_OneNAND";
// [LURRA_PARAMS] RecordFile=: the run record file; empty or missing for none.
inline constexpr const char* kRecordFileKey = "RecordFile";
// [LURRA_PARAMS] ReplyTimeout=: seconds a read may go without a byte from the
// handset before it fails; 0 for no limit. Whole seconds, nothing else.
inline constexpr const char* kReplyTimeoutKey = "ReplyTimeout";
inline constexpr uint32_t kDefaultReplyTimeoutSeconds = 60;

struct SizePair {
  uint32_t rawFileSize = 0;
  uint32_t binaryRegionSize = 0;
};

struct RunConfig {
  uint32_t crcEnable = 1;
  uint32_t downloadRaw = 0;
  SizePair withoutEboot;  // chosen when the image header stands at its raw size
  SizePair withEboot;
  std::string recordFile;  // as written; a relative name is beside the program
  uint32_t replyTimeoutSeconds = kDefaultReplyTimeoutSeconds;
  // ReplyTimeout= as written when it is not a whole number of seconds (the
  // run is then refused); empty otherwise.
  std::string badReplyTimeout;
};

// The section is LURRA_NAND for flash type 0 and LURRA_OneNAND for any other.
const char* FlashSection(int flashType);
const char* ProgrammerFileName(int flashType);
RunConfig ReadRunConfig(const ProfileFile& profile, int flashType);

// A file is a raw image when the text after the last dot of its path is
// exactly "raw" (case-sensitive); every other file is an .img.
bool IsRawImagePath(const std::string& path);

}  // namespace morvak
