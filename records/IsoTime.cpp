#include "IsoTime.h"

#include <cmath>
#include <ctime>

namespace morvak {
namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
// Ten thousand years and more: beyond every time a record can give.
constexpr double kFarSeconds = 1e12;

class Cursor {
 public:
  explicit Cursor(std::string_view text) : m_text(text) {}

  bool AtEnd() const { return m_at == m_text.size(); }
  bool Take(char c) {
    if (AtEnd() || m_text[m_at] != c) return false;
    ++m_at;
    return true;
  }
  // Exactly `count` decimal digits.
  std::optional<int> Digits(size_t count) {
    if (m_text.size() - m_at < count) return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
      const char c = m_text[m_at + i];
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    m_at += count;
    return value;
  }
  // One or more digits after the decimal point, as nanoseconds.
  std::optional<long> Fraction() {
    long nanos = 0;
    size_t digits = 0;
    while (!AtEnd() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
      if (digits < 9) nanos = nanos * 10 + (m_text[m_at] - '0');
      ++digits;
      ++m_at;
    }
    if (digits == 0) return std::nullopt;
    for (size_t d = digits; d < 9; ++d) nanos *= 10;
    return nanos;
  }

 private:
  std::string_view m_text;
  size_t m_at = 0;
};

}  // namespace

Instant::Instant(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto sinceEpoch = time.time_since_epoch();
  const auto whole = floor<std::chrono::seconds>(sinceEpoch);
  seconds = whole.count();
  nanoseconds = static_cast<int32_t>(duration_cast<std::chrono::nanoseconds>(sinceEpoch - whole).count());
}

std::chrono::duration<double> operator-(const Instant& later, const Instant& earlier) {
  return std::chrono::duration<double>(static_cast<double>(later.seconds - earlier.seconds) +
                                       static_cast<double>(later.nanoseconds - earlier.nanoseconds) * 1e-9);
}

Instant AddSeconds(const Instant& at, double seconds) {
  if (!(seconds > 0)) return at;
  const double whole = std::floor(seconds);
  if (whole >= kFarSeconds) return Instant{at.seconds + static_cast<int64_t>(kFarSeconds), at.nanoseconds};
  int64_t nanos = at.nanoseconds + std::llround((seconds - whole) * 1e9);
  int64_t sum = at.seconds + static_cast<int64_t>(whole);
  if (nanos >= kNanosPerSecond) {
    nanos -= kNanosPerSecond;
    ++sum;
  }
  return Instant{sum, static_cast<int32_t>(nanos)};
}

std::optional<Instant> ParseIsoTime(std::string_view text) {
  using namespace std::chrono;
  Cursor at(text);
  const auto y = at.Digits(4);
  if (!y || !at.Take('-')) return std::nullopt;
  const auto mo = at.Digits(2);
  if (!mo || !at.Take('-')) return std::nullopt;
  const auto d = at.Digits(2);
  if (!d) return std::nullopt;
  const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)}, day{static_cast<unsigned>(*d)}};
  if (!date.ok()) return std::nullopt;

  int hour = 0, minute = 0, second = 0;
  long nanos = 0;
  std::optional<int> offsetMinutes;  // east of UTC; none for local time
  if (!at.AtEnd()) {
    if (!at.Take('T') && !at.Take(' ')) return std::nullopt;
    const auto h = at.Digits(2);
    if (!h || !at.Take(':')) return std::nullopt;
    const auto mi = at.Digits(2);
    if (!mi) return std::nullopt;
    hour = *h;
    minute = *mi;
    if (at.Take(':')) {
      const auto s = at.Digits(2);
      if (!s) return std::nullopt;
      second = *s;
      if (at.Take('.') || at.Take(',')) {
        const auto f = at.Fraction();
        if (!f) return std::nullopt;
        nanos = *f;
      }
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (at.Take('Z')) {
      offsetMinutes = 0;
    } else if (!at.AtEnd()) {
      const bool east = at.Take('+');
      if (!east && !at.Take('-')) return std::nullopt;
      const auto oh = at.Digits(2);
      if (!oh) return std::nullopt;
      int om = 0;
      if (!at.AtEnd()) {
        at.Take(':');
        const auto m = at.Digits(2);
        if (!m) return std::nullopt;
        om = *m;
      }
      if (*oh > 23 || om > 59) return std::nullopt;
      offsetMinutes = (east ? 1 : -1) * (*oh * 60 + om);
    }
    if (!at.AtEnd()) return std::nullopt;
  }

  int64_t whole = 0;
  if (offsetMinutes) {
    // Days since 1970 in plain integers: no clock's range is involved.
    const int64_t days = sys_days(date).time_since_epoch().count();
    whole = days * 86400 + hour * 3600 + minute * 60 + second - int64_t{*offsetMinutes} * 60;
  } else {
    std::tm parts{};
    parts.tm_year = *y - 1900;
    parts.tm_mon = *mo - 1;
    parts.tm_mday = *d;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    // mktime answers -1 both for an error and for 1969-12-31T23:59:59Z; it
    // sets the day of the week only when it succeeds.
    parts.tm_wday = -1;
    const std::time_t t = std::mktime(&parts);
    if (parts.tm_wday < 0) return std::nullopt;
    whole = static_cast<int64_t>(t);
  }
  return Instant{whole, static_cast<int32_t>(nanos)};
}

}  // namespace morvak
