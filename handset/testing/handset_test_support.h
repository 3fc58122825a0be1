#pragma once
// Host-side byte scripts for the handset's tests: what a host writes, built
// step by step, and the frames a handset answered.
#include <cstdint>
#include <vector>

#include "ByteOrder.h"
#include "Crc16.h"
#include "Frame.h"
#include "VirtualHandset.h"

namespace morvak::handset_test {

// Payload bytes that differ between blocks, so a mixed-up block shows.
inline std::vector<uint8_t> Payload(uint32_t length, uint32_t seed) {
  std::vector<uint8_t> bytes(length);
  uint32_t x = seed * 2654435761u + 1u;
  for (uint8_t& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return bytes;
}

inline uint16_t CrcOf(const std::vector<uint8_t>& bytes) {
  return static_cast<uint16_t>(Crc16(bytes.data(), bytes.size()));
}

struct HostScript {
  std::vector<uint8_t> bytes;

  HostScript& Raw(const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
  HostScript& Word(uint32_t word) {
    uint8_t b[4];
    StoreLE32(b, word);
    return Raw({b, b + 4});
  }
  HostScript& Rom(uint32_t loaderLength) { return Word(0xF0030002u).Word(loaderLength).Raw(Payload(loaderLength, 99)); }
  HostScript& Frame(uint32_t magic, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0) {
    uint8_t b[FRAME_SIZE];
    PackFrame(morvak::Frame{magic, code, p1, p2}, b);
    return Raw({b, b + FRAME_SIZE});
  }
  HostScript& Cmd(uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0) { return Frame(COMMAND_MAGIC, code, p1, p2); }
  HostScript& Block(uint32_t kind, uint32_t address, uint32_t length, uint32_t seed) {
    return Frame(DATA_MAGIC, kind, address, length).Raw(Payload(length, seed));
  }
  // Up to the loader running.
  HostScript& ToLoader() { return Rom(300); }
  // Up to the programmer reporting ready.
  HostScript& ToProgrammer() {
    return ToLoader()
        .Cmd(CMD_PING)
        .Cmd(CMD_SET_RAM_TYPE)
        .Block(DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 2000, 1)
        .Cmd(CMD_GET_CRC)
        .Cmd(CMD_RUN);
  }
  HostScript& Configured() { return ToProgrammer().Cmd(CMD_CONFIG_A, 5000, 7).Cmd(CMD_CONFIG_B, 64, 1); }
  // A whole run: programmer, raw part, two records, end.
  HostScript& WholeRun() {
    return Configured()
        .Block(DATA_RAW, 0, 5000, 2)
        .Cmd(CMD_GET_CRC)
        .Cmd(CMD_RUN)
        .Block(DATA_RECORD, 0x80040000u, 700, 3)
        .Cmd(CMD_GET_CRC)
        .Cmd(CMD_RUN)
        .Block(DATA_RECORD, 0x80100000u, 33, 4)
        .Cmd(CMD_GET_CRC)
        .Cmd(CMD_RUN)
        .Cmd(CMD_END_TRANSFER);
  }
};

// The blocks WholeRun sends, as the handset should record them.
inline std::vector<BlockRecord> WholeRunBlocks() {
  return {{DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 2000, CrcOf(Payload(2000, 1))},
          {DATA_RAW, 0, 5000, CrcOf(Payload(5000, 2))},
          {DATA_RECORD, 0x80040000u, 700, CrcOf(Payload(700, 3))},
          {DATA_RECORD, 0x80100000u, 33, CrcOf(Payload(33, 4))}};
}

inline std::vector<uint8_t> TakeAll(VirtualHandset& handset) {
  std::vector<uint8_t> out(handset.Pending());
  out.resize(handset.TakeReply(out.data(), out.size()));
  return out;
}

// Splits a reply stream (after any ASIC ID) into frames, skipping text payloads.
inline std::vector<morvak::Frame> Frames(const std::vector<uint8_t>& bytes, size_t from = 0) {
  std::vector<morvak::Frame> frames;
  size_t at = from;
  while (at + FRAME_SIZE <= bytes.size()) {
    const morvak::Frame f = UnpackFrame(bytes.data() + at);
    frames.push_back(f);
    at += FRAME_SIZE;
    if (f.magic == DATA_MAGIC && f.code == DATA_TEXT) at += f.param2;
  }
  return frames;
}

}  // namespace morvak::handset_test
