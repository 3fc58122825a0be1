#pragma once
// Times as ISO 8601 writes them, for the records' times and the times an
// operator gives (morvak-cli records --since).
#include <chrono>
#include <optional>
#include <string_view>

namespace morvak {

// YYYY-MM-DD, optionally followed by T (or one blank) and hh:mm, hh:mm:ss or
// hh:mm:ss.fff (any number of decimals; beyond nanoseconds they are dropped),
// optionally followed by a zone: Z (UTC) or an offset +hh:mm, +hhmm or +hh
// (or -). Without a zone the time is local, in the zone TZ names (the
// system's when unset); a date alone is that day's local midnight. A local
// time that a clock change skips or repeats is taken as the C library's
// mktime takes it. Nothing for anything else, such as the 30th of February.
std::optional<std::chrono::system_clock::time_point> ParseIsoTime(std::string_view text);

}  // namespace morvak
