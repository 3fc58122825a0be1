#pragma once
// The 16-byte frames of the host-target protocol: four little-endian words,
// magic, code, first and second parameter.
#include <cstddef>
#include <cstdint>

namespace morvak {

inline constexpr uint32_t COMMAND_MAGIC = 0xFFFDFBF9u;  // bytes F9 FB FD FF: commands and reports
inline constexpr uint32_t DATA_MAGIC = 0xF9FBFDFFu;     // bytes FF FD FB F9: data headers and texts

// Commands, host to target.
inline constexpr uint32_t CMD_GET_CRC = 0x00100000u;
inline constexpr uint32_t CMD_RUN = 0x00200000u;
inline constexpr uint32_t CMD_PING = 0x00300000u;
inline constexpr uint32_t CMD_SET_RAM_TYPE = 0x00400000u;
inline constexpr uint32_t CMD_CONFIG_A = 0x00600000u;
inline constexpr uint32_t CMD_CONFIG_B = 0x00700000u;
inline constexpr uint32_t CMD_END_TRANSFER = 0x00800000u;

// Reports, target to host.
inline constexpr uint32_t REPORT_PROGRESS = 0x10000000u;
inline constexpr uint32_t REPORT_RANGE = 0x20000000u;
inline constexpr uint32_t REPORT_ERROR = 0x30000000u;
inline constexpr uint32_t REPORT_ACK = 0x40000000u;
inline constexpr uint32_t REPORT_CRC = 0x50000000u;

// Data kinds (with DATA_MAGIC).
inline constexpr uint32_t DATA_RAW = 0x00010000u;
inline constexpr uint32_t DATA_RECORD = 0x00020000u;
inline constexpr uint32_t DATA_PROGRAM = 0x00030000u;
inline constexpr uint32_t DATA_TEXT = 0x01000000u;  // target to host only

inline constexpr size_t FRAME_SIZE = 16;

struct Frame {
  uint32_t magic = 0;
  uint32_t code = 0;
  uint32_t param1 = 0;
  uint32_t param2 = 0;
  friend bool operator==(const Frame&, const Frame&) = default;
};

void PackFrame(const Frame& frame, uint8_t out[FRAME_SIZE]);
Frame UnpackFrame(const uint8_t in[FRAME_SIZE]);

}  // namespace morvak
