#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>

namespace morvak::cli {

CProgressBar::CProgressBar(std::FILE* err)
    : m_err(err), m_enabled(err != nullptr && isatty(fileno(err)) != 0), m_started(std::chrono::steady_clock::now()) {}

std::string CProgressBar::Render(uint64_t range, uint64_t position, uint64_t bytes, uint64_t expectedBytes,
                                 double seconds, int width) {
  double fraction = 0;
  if (expectedBytes > 0)
    fraction = static_cast<double>(bytes) / static_cast<double>(expectedBytes);
  else if (range > 0)
    fraction = static_cast<double>(position) / static_cast<double>(range);
  fraction = std::clamp(fraction, 0.0, 1.0);
  const int filled = static_cast<int>(fraction * width);
  // Appended, not `"[" + std::string`: GCC 12 at -O3 warns falsely (-Wrestrict) of that insert.
  std::string bar(1, '[');
  bar.append(static_cast<size_t>(filled), '#').append(static_cast<size_t>(width - filled), '-') += ']';
  char tail[160];
  const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
  const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0;
  int n = std::snprintf(tail, sizeof tail, " %3d%%  %.1f MiB  %.1f MB/s", static_cast<int>(fraction * 100), mib, rate);
  if (expectedBytes > bytes && rate > 0) {
    const long left = static_cast<long>(static_cast<double>(expectedBytes - bytes) / (rate * 1e6));
    n += std::snprintf(tail + n, sizeof tail - static_cast<size_t>(n), "  %ld:%02ld left", left / 60, left % 60);
  }
  if (range > 0)
    std::snprintf(tail + n, sizeof tail - static_cast<size_t>(n), "  (%llu/%llu)",
                  static_cast<unsigned long long>(position), static_cast<unsigned long long>(range));
  return bar + tail;
}

void CProgressBar::Draw() {
  if (!m_enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (m_shown && now - m_lastDraw < std::chrono::milliseconds(100)) return;
  m_lastDraw = now;
  const uint64_t bytes = m_counter ? m_counter->load() : 0;
  const double seconds = std::chrono::duration<double>(now - m_started).count();
  std::fprintf(m_err, "\r\033[K%s", Render(m_range, m_position, bytes, m_expectedBytes, seconds, 30).c_str());
  std::fflush(m_err);
  m_shown = true;
}

void CProgressBar::Clear() {
  if (!m_shown) return;
  std::fprintf(m_err, "\r\033[K");
  std::fflush(m_err);
  m_shown = false;
}

}  // namespace morvak::cli
