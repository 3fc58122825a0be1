#pragma once
// The handsets one port sees, one after another (cycle= of the fault list):
// the faults of every one of them and of single ones. In the fault list an
// item may end in @U: "crc-bad=3@2" is crc-bad=3 for the second handset
// plugged in only, in place of a crc-bad given for all. An item that is a
// whole fault as it stands names no handset: "error=5@2" is error 5 at the
// 2nd CMD_RUN of every handset, "error=5@2@3" the same for the 3rd handset.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FaultPlan.h"

namespace morvak {

// The plan of one handset that has faults of its own.
struct UnitFaults {
  uint32_t unit = 0;  // 1 for the first handset plugged in
  FaultPlan plan;     // its whole plan
  friend bool operator==(const UnitFaults&, const UnitFaults&) = default;
};

struct PortPlan {
  FaultPlan plan;                 // every handset's faults, and the port's own appear= and cycle=
  std::vector<UnitFaults> units;  // in unit order, each unit once

  // The plan of the unit-th handset plugged in (from 1).
  const FaultPlan& PlanOfUnit(uint32_t unit) const;

  friend bool operator==(const PortPlan&, const PortPlan&) = default;
};

// The comma-separated items of a fault list, blanks around them taken off.
// False, with the reason, when an item is empty (two commas, one at an end).
bool SplitFaultList(std::string_view text, std::vector<std::string_view>& items, std::string& error);
std::string JoinFaultList(const std::vector<std::string_view>& items);
// "crc-bad" of "crc-bad=3" and of "crc-bad=3@2".
std::string_view FaultKeyOf(std::string_view item);

// The handset an item names with its trailing @U, and the fault without it
// in `fault`; nothing (and the whole item in `fault`) when it names none.
// The number may be 0, which the parser refuses.
std::optional<uint32_t> UnitOfItem(std::string_view item, std::string_view& fault);

// Parses a fault list whose items may name a handset. On failure returns
// false, leaves `out` untouched and says why, naming the item at fault. A
// handset above the first needs cycle=: without it a port keeps its first.
bool ParsePortPlan(std::string_view text, PortPlan& out, std::string& error);

}  // namespace morvak
