#pragma once
// How far a run's image transfer has come, as a front end shows it: share,
// rate and time left. The rate counts from the first payload byte, so that
// the wait for the handset and the boot do not lower it; before a second
// report there is no rate yet and no time left. Toolkit-free: the window and
// the console word the same figures the same way.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace morvak {

// "19.9 MB/s" (decimal megabytes, as transfer rates are given).
std::string RateText(double bytesPerSecond);
// "0:31 left", "12:05 left".
std::string TimeLeftText(long seconds);
// "12.3 MiB".
std::string SizeText(uint64_t bytes);

class TransferMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // `sent` payload bytes of `total` have gone out by `now`; the first note
  // after Reset is the first byte.
  void Note(uint64_t sent, uint64_t total, Clock::time_point now);
  void Reset() { *this = TransferMeter(); }
  bool Started() const { return m_first.has_value(); }

  int Percent() const;
  // Bytes a second since the first note; none before a second one.
  std::optional<double> Rate() const;
  std::optional<long> SecondsLeft() const;

  // "42% · 19.9 MB/s · 0:31 left" (what is known yet).
  std::string Summary() const;
  // "12.3 MiB of 29.4 MiB sent · 19.9 MB/s · 0:31 left".
  std::string Details() const;

 private:
  std::optional<Clock::time_point> m_first;
  uint64_t m_firstSent = 0;
  Clock::time_point m_last;
  uint64_t m_sent = 0;
  uint64_t m_total = 0;
};

}  // namespace morvak
