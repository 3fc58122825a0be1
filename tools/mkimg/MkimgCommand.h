#pragma once
// The command line of morvak-mkimg: parsed into a description, then run.
// Nothing here prints; main() shows the texts it is handed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ImageDescription.h"

namespace morvak {

inline constexpr int MKIMG_EXIT_OK = 0;
inline constexpr int MKIMG_EXIT_FAILED = 1;
inline constexpr int MKIMG_EXIT_USAGE = 2;

enum class MkimgAction { Help, Version, Image, Raw };

struct MkimgCommand {
  MkimgAction action = MkimgAction::Help;
  std::string output;
  ImageDesc image;
  RawDesc raw;
  std::string blocksPath;               // where to write the expected block lines, if anywhere
  std::optional<uint32_t> rawSendLength;  // raw: how much a run sends (default: the whole file)
};

// Decimal or 0x hex, optionally followed by K, M or G (binary multiples).
// False on anything else or on a value above `max`.
bool ParseMkimgNumber(std::string_view text, uint64_t max, uint64_t& value);

// `args` without the program name. False with a one-line `error` on bad usage.
bool ParseMkimgArgs(const std::vector<std::string>& args, MkimgCommand& command, std::string& error);

// Writes the file (and the block list) a parsed command describes. `report`
// gets a summary of what was written (a file map for images); on failure
// `problem` gets one line. Returns an MKIMG_EXIT_... code.
int RunMkimg(const MkimgCommand& command, std::string& report, std::string& problem);

const char* MkimgUsage();

// "morvak-mkimg VERSION" and a line end.
std::string MkimgVersion();

}  // namespace morvak
