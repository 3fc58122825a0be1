#include "FaultPlan.h"

#include <charconv>
#include <limits>
#include <optional>
#include <vector>

#include "TextTrim.h"

namespace morvak {
namespace {

// A decimal number, or hexadecimal after "0x"; no sign, no blanks.
std::optional<uint64_t> ParseUnsigned(std::string_view s, uint64_t max) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (ec != std::errc() || end != s.data() + s.size() || value > max) return std::nullopt;
  return value;
}

// An error code as the programmer sends it: a 32-bit word, written either as
// a signed decimal (-1) or as an unsigned number (4294967295, 0xFFFFFFFF).
std::optional<uint32_t> ParseCode(std::string_view s) {
  if (!s.empty() && s[0] == '-') {
    const std::string_view digits = s.substr(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    const auto magnitude = ParseUnsigned(digits, uint64_t{1} << 31);
    if (!magnitude) return std::nullopt;
    return static_cast<uint32_t>(0u - static_cast<uint32_t>(*magnitude));
  }
  const auto value = ParseUnsigned(s, std::numeric_limits<uint32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

struct HangName {
  HangPoint point;
  const char* name;
};
constexpr HangName kHangNames[] = {
    {HangPoint::Asic, "asic"}, {HangPoint::Ping, "ping"},     {HangPoint::Ram, "ram"},
    {HangPoint::Ack, "ack"},   {HangPoint::Crc, "crc"},       {HangPoint::Config, "config"},
    {HangPoint::Run, "run"},
};

const char* HangPointName(HangPoint point) {
  for (const HangName& h : kHangNames)
    if (h.point == point) return h.name;
  return "none";
}

// One key of the fault text. `parse` gets the value (empty for a bare key)
// and returns an empty string or the reason it is wrong.
struct FaultKey {
  const char* name;
  bool takesValue;
  std::string (*parse)(FaultPlan& plan, std::string_view value);
  bool (*isSet)(const FaultPlan& plan);
  std::string (*text)(const FaultPlan& plan);      // the value in canonical form, "" for a bare key
  std::string (*describe)(const FaultPlan& plan);  // for DescribeFaultPlan
};

std::string ParseCount(std::string_view value, uint64_t max, uint64_t& out) {
  const auto n = ParseUnsigned(value, max);
  if (!n) return "needs a number from 0 to " + std::to_string(max);
  out = *n;
  return {};
}

template <typename T>
std::string ParseCountInto(std::string_view value, uint64_t max, T& field) {
  uint64_t n = 0;
  std::string error = ParseCount(value, max, n);
  if (error.empty()) field = static_cast<T>(n);
  return error;
}

std::string ParseHang(FaultPlan& plan, std::string_view value) {
  const size_t colon = value.find(':');
  const std::string_view name = value.substr(0, colon);
  HangPoint point = HangPoint::None;
  for (const HangName& h : kHangNames)
    if (name == h.name) point = h.point;
  if (point == HangPoint::None) return "needs a point: asic, ping, ram, ack, crc, config or run, with :K for the K-th";
  uint32_t occurrence = 1;
  if (colon != std::string_view::npos) {
    const auto k = ParseUnsigned(value.substr(colon + 1), std::numeric_limits<uint32_t>::max());
    if (!k || *k == 0) return "needs a count K of 1 or more after the colon";
    if (point == HangPoint::Asic && *k != 1) return "asic happens once: no count";
    if (point == HangPoint::Config && *k > 2) return "config:K counts CMD_CONFIG_A (1) and CMD_CONFIG_B (2)";
    occurrence = static_cast<uint32_t>(*k);
  }
  plan.hang = point;
  plan.hangOccurrence = occurrence;
  return {};
}

std::string ParseError(FaultPlan& plan, std::string_view value) {
  const size_t at = value.find('@');
  if (at == std::string_view::npos) return "needs CODE@K, for example 5@2";
  const auto code = ParseCode(value.substr(0, at));
  if (!code) return "needs a 32-bit code before the @ (-2147483648 to 4294967295)";
  const auto k = ParseUnsigned(value.substr(at + 1), std::numeric_limits<uint32_t>::max());
  if (!k || *k == 0) return "needs the number K of the CMD_RUN after the @, 1 or more";
  plan.errorCode = *code;
  plan.errorRun = static_cast<uint32_t>(*k);
  return {};
}

std::string Ordinal(uint32_t n) {
  const uint32_t lastTwo = n % 100;
  const char* suffix = "th";
  if (lastTwo < 11 || lastTwo > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

std::string HangWhat(const FaultPlan& p) {
  const std::string nth = Ordinal(p.hangOccurrence);
  switch (p.hang) {
    case HangPoint::Asic: return "the ASIC ID never comes";
    case HangPoint::Ping: return "the " + nth + " CMD_PING is never answered";
    case HangPoint::Ram: return "the " + nth + " CMD_SET_RAM_TYPE is never answered";
    case HangPoint::Ack: return "the " + nth + " data block is never acknowledged";
    case HangPoint::Crc: return "the " + nth + " CMD_GET_CRC is never answered";
    case HangPoint::Config:
      return p.hangOccurrence == 1 ? "CMD_CONFIG_A is never answered" : "CMD_CONFIG_B is never answered";
    case HangPoint::Run: return "the " + nth + " CMD_RUN never reports";
    case HangPoint::None: break;
  }
  return {};
}

std::string SignedText(uint32_t code) { return std::to_string(static_cast<int32_t>(code)); }

// The keys in canonical order. New keys (a serial per handset, a handset
// count) go here; nothing else in the parser needs to know them.
const std::vector<FaultKey>& Keys() {
  static const std::vector<FaultKey> keys = {
      {"appear", true,
       [](FaultPlan& p, std::string_view v) { return ParseCountInto(v, MAX_DELAY_MS, p.appearMs); },
       [](const FaultPlan& p) { return p.appearMs != 0; },
       [](const FaultPlan& p) { return std::to_string(p.appearMs); },
       [](const FaultPlan& p) { return "appears " + std::to_string(p.appearMs) + " ms late"; }},
      {"cycle", true, [](FaultPlan& p, std::string_view v) { return ParseCountInto(v, MAX_DELAY_MS, p.cycleMs); },
       [](const FaultPlan& p) { return p.cycleMs != 0; },
       [](const FaultPlan& p) { return std::to_string(p.cycleMs); },
       [](const FaultPlan& p) {
         const std::string ms = std::to_string(p.cycleMs) + " ms";
         return "each handset is unplugged " + ms + " after its run, the next plugged in " + ms + " later";
       }},
      {"reenumerate", false,
       [](FaultPlan& p, std::string_view) {
         p.reenumerate = true;
         return std::string();
       },
       [](const FaultPlan& p) { return p.reenumerate; }, [](const FaultPlan&) { return std::string(); },
       [](const FaultPlan&) { return std::string("each handset comes back once after its run, as the same unit"); }},
      {"asic-fail", false,
       [](FaultPlan& p, std::string_view) {
         p.asicFail = true;
         return std::string();
       },
       [](const FaultPlan& p) { return p.asicFail; }, [](const FaultPlan&) { return std::string(); },
       [](const FaultPlan&) { return std::string("the ASIC ID read fails"); }},
      {"ping-bad", false,
       [](FaultPlan& p, std::string_view) {
         p.pingBad = true;
         return std::string();
       },
       [](const FaultPlan& p) { return p.pingBad; }, [](const FaultPlan&) { return std::string(); },
       [](const FaultPlan&) { return std::string("the ping is answered wrongly"); }},
      {"ram-refuse", false,
       [](FaultPlan& p, std::string_view) {
         p.ramRefuse = true;
         return std::string();
       },
       [](const FaultPlan& p) { return p.ramRefuse; }, [](const FaultPlan&) { return std::string(); },
       [](const FaultPlan&) { return std::string("the RAM type is refused"); }},
      {"crc-bad", true,
       [](FaultPlan& p, std::string_view v) {
         return ParseCountInto(v, std::numeric_limits<uint32_t>::max(), p.crcBad);
       },
       [](const FaultPlan& p) { return p.crcBad != 0; },
       [](const FaultPlan& p) { return std::to_string(p.crcBad); },
       [](const FaultPlan& p) {
         return p.crcBad == 1 ? std::string("the first CRC answer is wrong")
                              : "the first " + std::to_string(p.crcBad) + " CRC answers are wrong";
       }},
      {"config-refuse", true,
       [](FaultPlan& p, std::string_view v) {
         if (v == "a" || v == "A") {
           p.configRefuse = ConfigRefusal::A;
         } else if (v == "b" || v == "B") {
           p.configRefuse = ConfigRefusal::B;
         } else {
           return std::string("needs a or b");
         }
         return std::string();
       },
       [](const FaultPlan& p) { return p.configRefuse != ConfigRefusal::None; },
       [](const FaultPlan& p) { return std::string(p.configRefuse == ConfigRefusal::A ? "a" : "b"); },
       [](const FaultPlan& p) {
         return std::string(p.configRefuse == ConfigRefusal::A ? "CMD_CONFIG_A" : "CMD_CONFIG_B") + " is refused";
       }},
      {"error", true, ParseError, [](const FaultPlan& p) { return p.errorRun != 0; },
       [](const FaultPlan& p) { return SignedText(p.errorCode) + "@" + std::to_string(p.errorRun); },
       [](const FaultPlan& p) {
         return "the " + Ordinal(p.errorRun) + " CMD_RUN ends in error " + SignedText(p.errorCode);
       }},
      {"texts", true,
       [](FaultPlan& p, std::string_view v) { return ParseCountInto(v, MAX_TEXTS_PER_RUN, p.textsPerRun); },
       [](const FaultPlan& p) { return p.textsPerRun != 0; },
       [](const FaultPlan& p) { return std::to_string(p.textsPerRun); },
       [](const FaultPlan& p) { return std::to_string(p.textsPerRun) + " text frames after every CMD_RUN"; }},
      {"hang", true, ParseHang, [](const FaultPlan& p) { return p.hang != HangPoint::None; },
       [](const FaultPlan& p) {
         std::string s = HangPointName(p.hang);
         // Appended piecewise: GCC 12 at -O3 warns falsely (-Wrestrict) of the
         // insert behind `":" + std::string`.
         if (p.hangOccurrence != 1) {
           s += ':';
           s += std::to_string(p.hangOccurrence);
         }
         return s;
       },
       HangWhat},
      {"disconnect", true,
       [](FaultPlan& p, std::string_view v) {
         std::string error = ParseCountInto(v, std::numeric_limits<uint64_t>::max(), p.disconnectAfter);
         if (error.empty()) p.disconnect = true;
         return error;
       },
       [](const FaultPlan& p) { return p.disconnect; },
       [](const FaultPlan& p) { return std::to_string(p.disconnectAfter); },
       [](const FaultPlan& p) {
         return "goes away after " + std::to_string(p.disconnectAfter) + " bytes from the host";
       }},
      {"speed", true,
       [](FaultPlan& p, std::string_view v) {
         const auto n = ParseUnsigned(v, MAX_SPEED_MBPS);
         if (!n || *n == 0) return "needs a speed in MB/s from 1 to " + std::to_string(MAX_SPEED_MBPS);
         p.speedMBps = static_cast<uint32_t>(*n);
         return std::string();
       },
       [](const FaultPlan& p) { return p.speedMBps != 0; },
       [](const FaultPlan& p) { return std::to_string(p.speedMBps); },
       [](const FaultPlan& p) { return "the link carries at most " + std::to_string(p.speedMBps) + " MB/s"; }},
      {"flash", true,
       [](FaultPlan& p, std::string_view v) {
         const auto n = ParseUnsigned(v, MAX_SPEED_MBPS);
         if (!n) return "needs a speed in MB/s from 0 (at once) to " + std::to_string(MAX_SPEED_MBPS);
         p.flashMBps = static_cast<uint32_t>(*n);
         return std::string();
       },
       [](const FaultPlan& p) { return p.flashMBps.has_value(); },
       [](const FaultPlan& p) { return std::to_string(p.flashMBps.value_or(0)); },
       [](const FaultPlan& p) {
         return p.flashMBps.value_or(0) == 0
                    ? std::string("the flash programmer writes at once")
                    : "the flash programmer writes " + std::to_string(*p.flashMBps) + " MB/s";
       }},
  };
  return keys;
}

}  // namespace

bool ParseFaultPlan(std::string_view text, FaultPlan& out, std::string& error) {
  FaultPlan plan;
  std::vector<bool> seen(Keys().size(), false);
  text = Trim(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = Trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) {
      error = "empty item in the fault list (two commas, or one at an end)";
      return false;
    }
    if (comma != std::string_view::npos && Trim(text).empty()) {
      error = "empty item in the fault list (two commas, or one at an end)";
      return false;
    }
    const size_t equals = item.find('=');
    const std::string_view name = Trim(item.substr(0, equals));
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? Trim(item.substr(equals + 1)) : std::string_view();
    size_t index = 0;
    while (index < Keys().size() && name != Keys()[index].name) ++index;
    if (index == Keys().size()) {
      error = "unknown fault \"" + std::string(name) + "\"";
      return false;
    }
    const FaultKey& key = Keys()[index];
    if (seen[index]) {
      error = "fault \"" + std::string(name) + "\" given twice";
      return false;
    }
    seen[index] = true;
    if (key.takesValue && !hasValue) {
      error = "fault \"" + std::string(name) + "\" needs a value (" + key.name + "=...)";
      return false;
    }
    if (!key.takesValue && hasValue) {
      error = "fault \"" + std::string(name) + "\" takes no value";
      return false;
    }
    const std::string problem = key.parse(plan, value);
    if (!problem.empty()) {
      error = "fault \"" + std::string(item) + "\": " + std::string(name) + " " + problem;
      return false;
    }
  }
  out = plan;
  return true;
}

std::string FaultPlanText(const FaultPlan& plan) {
  std::string text;
  for (const FaultKey& key : Keys()) {
    if (!key.isSet(plan)) continue;
    if (!text.empty()) text += ',';
    text += key.name;
    if (key.takesValue) {
      text += '=';  // piecewise, as above
      text += key.text(plan);
    }
  }
  return text;
}

std::string DescribeFaultPlan(const FaultPlan& plan) {
  std::string text;
  for (const FaultKey& key : Keys()) {
    if (!key.isSet(plan)) continue;
    if (!text.empty()) text += "; ";
    text += key.describe(plan);
  }
  return text.empty() ? "no faults" : text;
}

std::string FaultPlanHelp() {
  return std::string("virtual handset faults (FAULTS is a comma-separated list, each key at most once):\n"
         "  appear=MS          the handset shows up MS milliseconds after the program looks\n"
         "  cycle=MS           a bench: the handset is unplugged MS milliseconds after its\n"
         "                     run has ended (its channel closed) and a fresh one, with an\n"
         "                     ASIC ID of its own, is plugged in MS milliseconds later\n"
         "  reenumerate        with cycle=: every handset comes back once after its run, as\n"
         "                     the same unit (a handset that re-enumerates after its flash)\n"
         "  asic-fail          the read of the ASIC ID fails\n"
         "  ping-bad           the second-stage loader answers the ping with a wrong frame\n"
         "  ram-refuse         setting the RAM type is refused\n"
         "  crc-bad=N          the first N checksum answers are wrong (4 in a row fail a block)\n"
         "  config-refuse=a|b  the first (a) or second (b) configuration command is refused\n"
         "  error=C@K          the K-th run command (the programmer start is the 1st) ends in\n"
         "                     error code C (decimal, negative, or 0x... hexadecimal)\n"
         "  texts=N            N text frames (up to 300 bytes, one with a NUL) after every run\n"
         "                     command\n"
         "  hang=POINT[:K]     the K-th (default 1st) reply at POINT never comes; POINT is\n"
         "                     asic, ping, ram, ack (of a data block), crc, config (1 = a,\n"
         "                     2 = b) or run\n"
         "  disconnect=N       the handset goes away after N bytes from the host\n"
         "  speed=N            the link carries at most N MB/s (10^6 bytes per second)\n"
         "  flash=N            the flash programmer writes a block at N MB/s, reporting its\n"
         "                     progress meanwhile; 0 writes at once (default ") +
         std::to_string(DEFAULT_FLASH_MBPS) +
         ")\n"
         "  FAULT@U            FAULT for the U-th handset plugged in only (the first is 1;\n"
         "                     above 1 with cycle=), in place of the same fault for all;\n"
         "                     error=C@K@U is error=C@K for handset U; appear= and cycle=\n"
         "                     belong to the port and take no @U\n"
         "example: --virtual-handset=crc-bad=3,error=5@2\n"
         "         --virtual-handset=cycle=500,hang=crc@3\n";
}

}  // namespace morvak
