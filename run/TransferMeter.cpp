#include "TransferMeter.h"

#include <algorithm>
#include <cstdio>

namespace morvak {
namespace {

constexpr const char* kSeparator = " \u00b7 ";

}  // namespace

std::string RateText(double bytesPerSecond) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / 1e6);
  return text;
}

std::string TimeLeftText(long seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld left", seconds / 60, seconds % 60);
  return text;
}

std::string SizeText(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

void TransferMeter::Note(uint64_t sent, uint64_t total, Clock::time_point now) {
  if (!m_first) {
    m_first = now;
    m_firstSent = sent;
  }
  m_last = now;
  m_sent = sent;
  m_total = total;
}

int TransferMeter::Percent() const {
  if (m_total == 0) return 0;
  return static_cast<int>(std::min<uint64_t>(m_sent, m_total) * 100 / m_total);
}

std::optional<double> TransferMeter::Rate() const {
  if (!m_first || m_sent <= m_firstSent) return std::nullopt;
  const double seconds = std::chrono::duration<double>(m_last - *m_first).count();
  if (seconds <= 0) return std::nullopt;
  return static_cast<double>(m_sent - m_firstSent) / seconds;
}

std::optional<long> TransferMeter::SecondsLeft() const {
  const std::optional<double> rate = Rate();
  if (!rate || m_sent >= m_total) return std::nullopt;
  return static_cast<long>(static_cast<double>(m_total - m_sent) / *rate + 0.5);
}

std::string TransferMeter::Summary() const {
  std::string text = std::to_string(Percent()) + "%";
  if (const auto rate = Rate()) text += kSeparator + RateText(*rate);
  if (const auto left = SecondsLeft()) text += kSeparator + TimeLeftText(*left);
  return text;
}

std::string TransferMeter::Details() const {
  std::string text = SizeText(m_sent) + " of " + SizeText(m_total) + " sent";
  if (const auto rate = Rate()) text += kSeparator + RateText(*rate);
  if (const auto left = SecondsLeft()) text += kSeparator + TimeLeftText(*left);
  return text;
}

}  // namespace morvak
