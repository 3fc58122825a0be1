#include "BlockSummary.h"

#include <cstdio>

#include "Frame.h"

namespace morvak {

std::string FormatBlockLine(const BlockSummary& block) {
  char kind[16];
  switch (block.kind) {
    case DATA_RAW: std::snprintf(kind, sizeof kind, "DATA_RAW"); break;
    case DATA_RECORD: std::snprintf(kind, sizeof kind, "DATA_RECORD"); break;
    case DATA_PROGRAM: std::snprintf(kind, sizeof kind, "DATA_PROGRAM"); break;
    default: std::snprintf(kind, sizeof kind, "0x%08X", block.kind); break;
  }
  char line[64];
  std::snprintf(line, sizeof line, "%s 0x%08X %u 0x%04X", kind, block.address, block.length,
                static_cast<unsigned>(block.crc));
  return line;
}

}  // namespace morvak
