#pragma once
// How the fuzz targets read their inputs: the few leading bytes that set a
// target up, shared by the bodies and the seed writer so that seeds reach past
// the set-up.
#include <cstddef>
#include <cstdint>

namespace morvak::fuzz {

// fuzz_image_scan: three set-up bytes, then the image file.
//   byte 0  IMAGE_SCAN_* flags and the name (IMAGE_SCAN_NAME_MASK picks one of kImageScanNames)
//   byte 1  RawFileSize_WithoutEboot of the configuration (0 to 255)
//   byte 2  RawFileSize_WithEboot
inline constexpr size_t IMAGE_SCAN_SETUP_SIZE = 3;
inline constexpr uint8_t IMAGE_SCAN_ONENAND = 0x01;
inline constexpr uint8_t IMAGE_SCAN_ERASE_RESERVED = 0x02;
inline constexpr uint8_t IMAGE_SCAN_NO_CRC = 0x04;
inline constexpr uint8_t IMAGE_SCAN_NAME_SHIFT = 3;
inline constexpr uint8_t IMAGE_SCAN_NAME_MASK = 0x03;
// The file's names: only the text after the last dot, exactly "raw", makes a raw image.
inline constexpr const char* kImageScanNames[4] = {"image.img", "image.raw", "image.RAW", "image.raw.img"};
// Each region size of the configuration is its raw size plus this, so that a
// pair taken apart shows.
inline constexpr uint32_t IMAGE_SCAN_REGION_EXTRA = 0x1000;

// fuzz_wait_report: one set-up byte, then the bytes the target sends.
//   WAIT_REPORT_BLOCKS: each wait follows a data block and CMD_RUN, as in a
//   run, so the block's acknowledgement (and, with WAIT_REPORT_CRC, its
//   checksum answer) comes first.
inline constexpr size_t WAIT_REPORT_SETUP_SIZE = 1;
inline constexpr uint8_t WAIT_REPORT_BLOCKS = 0x01;
inline constexpr uint8_t WAIT_REPORT_CRC = 0x02;
inline constexpr uint32_t WAIT_REPORT_BLOCK_ADDRESS = 0x00200000u;
inline constexpr uint8_t kWaitReportBlock[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                                                 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

// fuzz_handset_parser: a split seed, the fault plan text's length and the
// text, then the host's bytes.
inline constexpr size_t HANDSET_SETUP_SIZE = 2;
// A plan may ask for up to 1000 texts per run; more than a few only slows the
// fuzzer down without reaching new code.
inline constexpr uint32_t HANDSET_MAX_TEXTS = 4;

}  // namespace morvak::fuzz
