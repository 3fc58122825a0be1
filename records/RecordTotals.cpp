#include "RecordTotals.h"

#include <algorithm>

namespace morvak {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> RecordTotals::PassRate() const {
  if (passed + failed == 0) return std::nullopt;
  return 100.0 * static_cast<double>(passed) / static_cast<double>(passed + failed);
}

std::optional<double> RecordTotals::UnitsPerHour() const {
  const double hours = (lastEnd - first).count() / 3600.0;
  if (runs == 0 || !(hours > 0)) return std::nullopt;
  return static_cast<double>(runs) / hours;
}

void RecordTotals::Add(const RecordEntry& record) {
  const auto ended = record.Ended();
  first = runs == 0 ? record.started : std::min(first, record.started);
  lastEnd = runs == 0 ? ended : std::max(lastEnd, ended);
  ++runs;
  switch (record.outcome) {
    case RunOutcome::Succeeded: ++passed; break;
    case RunOutcome::Failed: ++failed; break;
    case RunOutcome::Stopped: ++stopped; break;
  }
}

bool PortBefore(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      // Leading zeros aside, the longer run of digits is the larger number.
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int order = a.compare(si, ei - si, b, sj, ej - sj);
      if (order != 0) return order < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // "1-02" and "1-2" still have an order
}

void RecordTally::Add(const RecordEntry& record) {
  // Runs of one port tend to come together.
  if (m_last == m_ports.end() || m_last->first != record.port) {
    m_last = m_ports.find(record.port);
    if (m_last == m_ports.end()) {
      m_last = m_ports.emplace(record.port, RecordTotals{}).first;
      m_last->second.port = record.port;
    }
  }
  m_last->second.Add(record);
  m_all.Add(record);
}

RecordSummary RecordTally::Summary() const {
  RecordSummary summary;
  for (const auto& [name, totals] : m_ports) summary.ports.push_back(totals);
  summary.all = m_all;
  return summary;
}

RecordSummary TotalRecords(const std::vector<RecordEntry>& records) {
  RecordTally tally;
  for (const RecordEntry& r : records) tally.Add(r);
  return tally.Summary();
}

}  // namespace morvak
