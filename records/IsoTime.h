#pragma once
// Times as ISO 8601 writes them, for the records' times and the times an
// operator gives (morvak-cli records --since).
#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace morvak {

// A moment as whole seconds since 1970-01-01T00:00:00Z and the nanoseconds
// into that second. Exact to the nanosecond over every four-digit year, where
// a nanosecond count in 64 bits (the system clock's) ends in 2262.
struct Instant {
  int64_t seconds = 0;
  int32_t nanoseconds = 0;  // 0 .. 999,999,999

  constexpr Instant() = default;
  constexpr Instant(int64_t seconds_, int32_t nanoseconds_) : seconds(seconds_), nanoseconds(nanoseconds_) {}
  // Not explicit: the station tallies its runs by the system clock's times.
  Instant(std::chrono::system_clock::time_point time);

  friend constexpr auto operator<=>(const Instant&, const Instant&) = default;
  // The time from `earlier` to `later`, in seconds; negative when `later` is earlier.
  friend std::chrono::duration<double> operator-(const Instant& later, const Instant& earlier);
};

// `at` plus `seconds` (finite, not negative); a sum beyond any four-digit
// year stays there rather than wrapping.
Instant AddSeconds(const Instant& at, double seconds);

// YYYY-MM-DD, optionally followed by T (or one blank) and hh:mm, hh:mm:ss or
// hh:mm:ss.fff (any number of decimals; beyond nanoseconds they are dropped),
// optionally followed by a zone: Z (UTC) or an offset +hh:mm, +hhmm or +hh
// (or -). Without a zone the time is local, in the zone TZ names (the
// system's when unset); a date alone is that day's local midnight. A local
// time that a clock change skips or repeats is taken as the C library's
// mktime takes it. Nothing for anything else, such as the 30th of February.
std::optional<Instant> ParseIsoTime(std::string_view text);

}  // namespace morvak
