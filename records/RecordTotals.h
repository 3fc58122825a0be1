#pragma once
// The totals of run records, per port and for all: runs, passed, failed,
// stopped, pass rate (of the runs that passed or failed), and units (runs)
// per hour over the time the runs took.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "RecordReader.h"

namespace morvak {

struct RecordTotals {
  std::string port;  // "" for runs whose port is not known
  size_t runs = 0;
  size_t passed = 0;
  size_t failed = 0;
  size_t stopped = 0;  // ended by the operator: neither passed nor failed
  // From the first run's start to the last run's end (a start and its
  // elapsed seconds), over every run counted.
  Instant first;
  Instant lastEnd;

  // Passed runs in percent of those that passed or failed; nothing without such runs.
  std::optional<double> PassRate() const;
  // Runs per hour over the span from the first start to the last end;
  // nothing when that span is empty.
  std::optional<double> UnitsPerHour() const;

  void Add(const RecordEntry& record);
};

struct RecordSummary {
  std::vector<RecordTotals> ports;  // in natural order: virtual-2 before virtual-10
  RecordTotals all;
};

// Natural order of port names: runs of digits compare as numbers.
bool PortBefore(const std::string& a, const std::string& b);

// The totals of records taken one at a time, as a file is read.
class RecordTally {
 public:
  RecordTally() = default;
  RecordTally(const RecordTally&) = delete;
  RecordTally& operator=(const RecordTally&) = delete;

  void Add(const RecordEntry& record);
  RecordSummary Summary() const;

 private:
  using Ports = std::map<std::string, RecordTotals, decltype(&PortBefore)>;
  Ports m_ports{&PortBefore};
  Ports::iterator m_last = m_ports.end();
  RecordTotals m_all;
};

RecordSummary TotalRecords(const std::vector<RecordEntry>& records);

}  // namespace morvak
