#include "PortPlan.h"

#include <algorithm>
#include <charconv>

namespace morvak {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Keys that say where and when handsets are plugged in: the port's, never one handset's.
bool IsPortKey(std::string_view key) { return key == "appear" || key == "cycle"; }

}  // namespace

const FaultPlan& PortPlan::PlanOfUnit(uint32_t unit) const {
  for (const UnitFaults& u : units)
    if (u.unit == unit) return u.plan;
  return plan;
}

bool SplitFaultList(std::string_view text, std::vector<std::string_view>& items, std::string& error) {
  items.clear();
  for (std::string_view rest = Trim(text); !rest.empty();) {
    const size_t comma = rest.find(',');
    const std::string_view item = Trim(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item.empty() || (comma != std::string_view::npos && Trim(rest).empty())) {
      error = "empty item in the fault list (two commas, or one at an end)";
      return false;
    }
    items.push_back(item);
  }
  return true;
}

std::string JoinFaultList(const std::vector<std::string_view>& items) {
  std::string text;
  for (std::string_view item : items) {
    if (!text.empty()) text += ',';
    text += item;
  }
  return text;
}

std::string_view FaultKeyOf(std::string_view item) { return Trim(item.substr(0, item.find_first_of("=@"))); }

std::optional<uint32_t> UnitOfItem(std::string_view item, std::string_view& fault) {
  fault = item;
  const size_t at = item.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view number = Trim(item.substr(at + 1));
  uint32_t unit = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), unit);
  if (number.empty() || ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
  // error=C@K carries an @ of its own: what parses whole names no handset.
  FaultPlan whole;
  std::string ignored;
  if (ParseFaultPlan(item, whole, ignored)) return std::nullopt;
  fault = Trim(item.substr(0, at));
  return unit;
}

bool ParsePortPlan(std::string_view text, PortPlan& out, std::string& error) {
  std::vector<std::string_view> items;
  if (!SplitFaultList(text, items, error)) return false;
  std::vector<std::string_view> common;
  struct Own {
    uint32_t unit;
    std::string_view fault;
    std::string_view item;
  };
  std::vector<Own> own;
  for (std::string_view item : items) {
    std::string_view fault;
    const std::optional<uint32_t> unit = UnitOfItem(item, fault);
    if (!unit) {
      common.push_back(item);
      continue;
    }
    if (*unit == 0) {
      error = "\"" + std::string(item) + "\": handsets are counted from 1, the first plugged in";
      return false;
    }
    if (IsPortKey(FaultKeyOf(fault))) {
      error = "\"" + std::string(item) + "\": " + std::string(FaultKeyOf(fault)) +
              " belongs to the port, not to one handset";
      return false;
    }
    own.push_back(Own{*unit, fault, item});
  }
  PortPlan plan;
  if (!ParseFaultPlan(JoinFaultList(common), plan.plan, error)) return false;

  std::vector<uint32_t> units;
  for (const Own& o : own) units.push_back(o.unit);
  std::sort(units.begin(), units.end());
  units.erase(std::unique(units.begin(), units.end()), units.end());
  for (uint32_t unit : units) {
    std::vector<std::string_view> mine;
    for (const Own& o : own)
      if (o.unit == unit) mine.push_back(o.fault);
    std::vector<std::string_view> merged;
    for (std::string_view item : common) {
      const bool replaced = std::any_of(mine.begin(), mine.end(),
                                        [&](std::string_view m) { return FaultKeyOf(m) == FaultKeyOf(item); });
      if (!replaced) merged.push_back(item);
    }
    merged.insert(merged.end(), mine.begin(), mine.end());
    UnitFaults faults{unit, {}};
    if (!ParseFaultPlan(JoinFaultList(merged), faults.plan, error)) {
      error = "@" + std::to_string(unit) + ": " + error;
      return false;
    }
    plan.units.push_back(std::move(faults));
  }
  if (plan.plan.cycleMs == 0) {
    for (const Own& o : own) {
      if (o.unit == 1) continue;
      error = "\"" + std::string(o.item) + "\": without cycle=MS only the first handset is ever plugged in";
      return false;
    }
  }
  out = std::move(plan);
  return true;
}

}  // namespace morvak
