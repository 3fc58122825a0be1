#pragma once
// The faults a virtual handset shows on request, and their short text form
// (for example "crc-bad=3,error=5@2"), as given to --virtual-handset=FAULTS.
// FaultPlanHelp() documents the grammar; every key appears at most once.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvak {

// Where a reply that never comes is due. Every point but Asic counts its
// occurrences from 1 since power-on: "hang=crc:2" answers the first CRC query
// and never the second.
enum class HangPoint {
  None,
  Asic,    // the boot ROM never sends its ASIC ID
  Ping,    // CMD_PING
  Ram,     // CMD_SET_RAM_TYPE
  Ack,     // the acknowledgement of a data block (header and payload)
  Crc,     // CMD_GET_CRC
  Config,  // a configuration command: 1 is CMD_CONFIG_A, 2 is CMD_CONFIG_B
  Run,     // CMD_RUN: none of its reports come (the programmer start counts as 1)
};

enum class ConfigRefusal { None, A, B };

struct FaultPlan {
  uint32_t appearMs = 0;  // the handset shows up this long after its transport is made
  // A bench: the handset is unplugged this long after its run has ended and
  // the next one plugged in as long after that; 0 keeps the one handset.
  uint32_t cycleMs = 0;
  // A bench: every handset comes back once after its unplugging, with its own
  // ASIC ID, as a handset that re-enumerates after its flash.
  bool reenumerate = false;
  bool asicFail = false;  // the read of the ASIC ID fails
  bool pingBad = false;   // CMD_PING is answered with the wrong frame
  bool ramRefuse = false;  // CMD_SET_RAM_TYPE is refused
  uint32_t crcBad = 0;     // the first N CRC answers carry a wrong checksum
  ConfigRefusal configRefuse = ConfigRefusal::None;
  // The errorRun-th CMD_RUN (1-based, 0 for none) ends in REPORT_ERROR errorCode.
  uint32_t errorRun = 0;
  uint32_t errorCode = 0;
  uint32_t textsPerRun = 0;  // DATA_TEXT frames sent after every CMD_RUN
  HangPoint hang = HangPoint::None;
  uint32_t hangOccurrence = 1;
  // The handset goes away once it has taken this many bytes from the host.
  bool disconnect = false;
  uint64_t disconnectAfter = 0;
  uint32_t speedMBps = 0;  // link limit in 10^6 bytes per second, 0 for none
  // How fast the flash programmer writes a data block, in 10^6 bytes per
  // second; 0 writes at once. Not given (nullopt) writes at once too, but the
  // programs' virtual handsets put DEFAULT_FLASH_MBPS in its place.
  std::optional<uint32_t> flashMBps;

  friend bool operator==(const FaultPlan&, const FaultPlan&) = default;
};

// The flash speed of the programs' virtual handsets when their fault list
// gives none: slow enough that a window's progress bar is seen to move (the
// demo image takes a few seconds), far within the default reply time-out.
inline constexpr uint32_t DEFAULT_FLASH_MBPS = 1;

// Largest flash=N and speed=N accepted, in MB/s.
inline constexpr uint32_t MAX_SPEED_MBPS = 100000;

// Largest appear=MS and cycle=MS accepted: a day.
inline constexpr uint32_t MAX_DELAY_MS = 24u * 3600u * 1000u;

// Largest texts=N accepted: each CMD_RUN queues that many frames at once.
inline constexpr uint32_t MAX_TEXTS_PER_RUN = 1000;

// Parses the fault text; an empty text (or only blanks) is a handset without
// faults. On failure returns false, leaves `out` untouched and says why in
// `error`, naming the item at fault.
bool ParseFaultPlan(std::string_view text, FaultPlan& out, std::string& error);

// The plan in its canonical text form; ParseFaultPlan gives the same plan back.
// Empty for a plan without faults.
std::string FaultPlanText(const FaultPlan& plan);

// One line in words for an operator, e.g. "the first 3 CRC answers are wrong;
// CMD_RUN 2 ends in error 5"; "no faults" for an empty plan.
std::string DescribeFaultPlan(const FaultPlan& plan);

// The help text on the faults, for the programs' --help; ends with a newline.
std::string FaultPlanHelp();

}  // namespace morvak
