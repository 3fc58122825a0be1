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

std::string_view KeyOf(std::string_view item) { return Trim(item.substr(0, item.find('='))); }

// "2:ram-refuse" gives 2 and "ram-refuse"; a fault of all handsets gives nothing.
std::optional<std::pair<size_t, std::string_view>> SplitHandsetItem(std::string_view item) {
  const size_t colon = item.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view number = Trim(item.substr(0, colon));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const auto k = ParseDecimal(number);
  return std::make_pair(k ? *k : 0, Trim(item.substr(colon + 1)));
}

std::string Join(const std::vector<std::string_view>& items) {
  std::string text;
  for (std::string_view item : items) {
    if (!text.empty()) text += ',';
    text += item;
  }
  return text;
}

}  // namespace

void ApplyProgramDefaults(FaultPlan& plan) {
  if (!plan.flashMBps) plan.flashMBps = DEFAULT_FLASH_MBPS;
}

bool ParseVirtualHandsets(std::string_view text, VirtualHandsetSet& out, std::string& error) {
  std::vector<std::string_view> common;
  std::vector<std::pair<size_t, std::string_view>> own;
  std::optional<size_t> count;
  for (std::string_view rest = Trim(text); !rest.empty();) {
    const size_t comma = rest.find(',');
    const std::string_view item = Trim(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item.empty() || (comma != std::string_view::npos && Trim(rest).empty())) {
      error = "empty item in the fault list (two commas, or one at an end)";
      return false;
    }
    if (KeyOf(item) == "count") {
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
      // Empty items and the like are the fault list's to refuse.
      common.push_back(item);
    }
  }
  FaultPlan all;
  if (!ParseFaultPlan(Join(common), all, error)) return false;
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
    std::vector<std::string_view> items;
    for (std::string_view item : common) {
      bool replaced = false;
      for (std::string_view m : mine) replaced = replaced || KeyOf(m) == KeyOf(item);
      if (!replaced) items.push_back(item);
    }
    items.insert(items.end(), mine.begin(), mine.end());
    FaultPlan plan;
    if (!ParseFaultPlan(Join(items), plan, error)) {
      error = "handset " + std::to_string(k) + ": " + error;
      return false;
    }
    ApplyProgramDefaults(plan);
    set.plans.push_back(plan);
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
         "example: --virtual-handset=count=4,speed=20,2:ram-refuse,3:error=5@2\n";
}

}  // namespace morvak
