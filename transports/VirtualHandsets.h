#pragma once
// The virtual handsets of one command: how many there are and the faults of
// each, from the text given to --virtual-handset=. The text is the fault list
// of FaultPlan.h, whose faults apply to every handset, with two more kinds of
// item:
//   count=N    N handsets (1 to MAX_VIRTUAL_HANDSETS), named virtual-1 .. virtual-N
//   K:FAULT    FAULT for handset K only, in place of a fault of the same key
//              given for all (e.g. "count=4,speed=20,2:ram-refuse,3:speed=5")
// With cycle= each of them is a port of a bench that sees handset after
// handset, and FAULT@U (PortPlan.h) is FAULT for the U-th of them: K:FAULT@U
// for the U-th at port K only.
// The programs' virtual handsets write at DEFAULT_FLASH_MBPS unless told
// otherwise; a plan made in code without flash= writes at once.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "FaultPlan.h"
#include "PortPlan.h"

namespace morvak {

inline constexpr size_t MAX_VIRTUAL_HANDSETS = 64;

struct VirtualHandsetSet {
  bool countGiven = false;  // count=N was given (even count=1)
  std::vector<PortPlan> ports;  // one per handset (a port of a bench with cycle=), at least one
};

// A plan parsed from a program's fault text, with the programs' defaults in
// place of what it does not give: the flash speed.
void ApplyProgramDefaults(FaultPlan& plan);
void ApplyProgramDefaults(PortPlan& plan);

// False, with the reason in `error` naming the item or handset at fault, when
// the text is not understood; `out` is then untouched. The plans have the
// programs' defaults applied.
bool ParseVirtualHandsets(std::string_view text, VirtualHandsetSet& out, std::string& error);

// "virtual-1" for index 0: the port name a virtual handset goes by.
std::string VirtualHandsetName(size_t index);

// The help on count=N, K:FAULT and K:FAULT@U, for --help; ends with a newline.
std::string VirtualHandsetsHelp();

}  // namespace morvak
