#include "VirtualHandsets.h"

#include <charconv>
#include <optional>
#include <utility>

#include "TextTrim.h"

namespace morvak {
namespace {

std::optional<size_t> ParseDecimal(std::string_view s) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  size_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// "2:ram-refuse" gives 2 and "ram-refuse"; a fault of all handsets gives nothing.
std::optional<std::pair<size_t, std::string_view>> SplitHandsetItem(std::string_view item) {
  const size_t colon = item.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view number = Trim(item.substr(0, colon));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const auto k = ParseDecimal(number);
  return std::make_pair(k ? *k : 0, Trim(item.substr(colon + 1)));
}

// What an item of a handset's own takes the place of: the same key for the
// same unit ("crc-bad" for all, or "crc-bad" of the 2nd handset plugged in).
std::pair<std::string_view, uint32_t> Slot(std::string_view item) {
  std::string_view fault;
  const uint32_t unit = UnitOfItem(item, fault).value_or(0);
  return {FaultKeyOf(fault), unit};
}

}  // namespace

void ApplyProgramDefaults(FaultPlan& plan) {
  if (!plan.flashMBps) plan.flashMBps = DEFAULT_FLASH_MBPS;
}

void ApplyProgramDefaults(PortPlan& plan) {
  ApplyProgramDefaults(plan.plan);
  for (UnitFaults& unit : plan.units) ApplyProgramDefaults(unit.plan);
}

bool ParseVirtualHandsets(std::string_view text, VirtualHandsetSet& out, std::string& error) {
  std::vector<std::string_view> items;
  if (!SplitFaultList(text, items, error)) return false;
  std::vector<std::string_view> common;
  std::vector<std::pair<size_t, std::string_view>> own;
  std::optional<size_t> count;
  for (std::string_view item : items) {
    if (FaultKeyOf(item) == "count") {
      const size_t equals = item.find('=');
      const auto n = equals == std::string_view::npos ? std::nullopt : ParseDecimal(Trim(item.substr(equals + 1)));
      if (count) {
        error = "\"count\" given twice";
        return false;
      }
      if (!n || *n == 0 || *n > MAX_VIRTUAL_HANDSETS) {
        error = "\"" + std::string(item) + "\": count needs a number of handsets from 1 to " +
                std::to_string(MAX_VIRTUAL_HANDSETS);
        return false;
      }
      count = *n;
    } else if (const auto split = SplitHandsetItem(item)) {
      if (split->second.empty()) {
        error = "\"" + std::string(item) + "\" names no fault after the handset number";
        return false;
      }
      own.push_back(*split);
    } else {
      common.push_back(item);
    }
  }
  // The faults for all are checked once, so that their faults are told without a handset number.
  std::vector<std::string_view> forAll;
  for (std::string_view item : common) {
    std::string_view fault;
    if (!UnitOfItem(item, fault)) forAll.push_back(item);
  }
  FaultPlan all;
  if (!ParseFaultPlan(JoinFaultList(forAll), all, error)) return false;
  VirtualHandsetSet set;
  set.countGiven = count.has_value();
  const size_t n = count.value_or(1);
  for (const auto& [k, item] : own) {
    if (!count) {
      // Appended, not `"\"" + std::string`: GCC 12 at -O3 warns falsely (-Wrestrict) of that insert.
      error = std::string("\"").append(std::to_string(k)).append(":").append(item);
      error += "\" names a handset, but no count=N is given";
      return false;
    }
    if (k == 0 || k > n) {
      error = "\"" + std::to_string(k) + ":" + std::string(item) + "\": there are handsets 1 to " + std::to_string(n);
      return false;
    }
  }
  for (size_t k = 1; k <= n; ++k) {
    std::vector<std::string_view> mine;
    for (const auto& [which, item] : own)
      if (which == k) mine.push_back(item);
    std::vector<std::string_view> merged;
    for (std::string_view item : common) {
      bool replaced = false;
      for (std::string_view m : mine) replaced = replaced || Slot(m) == Slot(item);
      if (!replaced) merged.push_back(item);
    }
    merged.insert(merged.end(), mine.begin(), mine.end());
    PortPlan plan;
    if (!ParsePortPlan(JoinFaultList(merged), plan, error)) {
      if (count) error = "handset " + std::to_string(k) + ": " + error;
      return false;
    }
    ApplyProgramDefaults(plan);
    set.ports.push_back(std::move(plan));
  }
  out = std::move(set);
  return true;
}

std::string VirtualHandsetName(size_t index) { return "virtual-" + std::to_string(index + 1); }

std::string VirtualHandsetsHelp() {
  return "several virtual handsets (items of the same FAULTS list):\n"
         "  count=N            N handsets at once (1 to " +
         std::to_string(MAX_VIRTUAL_HANDSETS) +
         "), named virtual-1 .. virtual-N; the faults\n"
         "                     above apply to every one of them\n"
         "  K:FAULT            FAULT for handset K only, in place of the same fault given\n"
         "                     for all\n"
         "  K:FAULT@U          FAULT for the U-th handset plugged in at K only (with\n"
         "                     cycle=, K is a port of a bench), in place of FAULT@U for\n"
         "                     all: count=4,cycle=1000,2:ram-refuse@3 refuses the RAM type\n"
         "                     of the 3rd handset at port 2\n"
         "example: --virtual-handset=count=4,speed=20,2:ram-refuse,3:error=5@2\n";
}

}  // namespace morvak
