#include "RecordsCommand.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "CliTexts.h"
#include "FieldText.h"
#include "HandsetOutcome.h"
#include "RecordReader.h"
#include "RecordTotals.h"
#include "TextTable.h"

namespace morvak::cli {
namespace {

// The malformed lines named one by one before the rest are only counted.
constexpr size_t kMalformedNamed = 5;
constexpr size_t kShaShown = 12;
// The reason a run did not pass, as far as a table line shows it (bytes).
constexpr size_t kReasonShown = 100;

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A number with `decimals` digits after the point, whatever the C locale.
std::string Decimal(double value, int decimals) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : std::string("-");
}

std::string Fixed(std::optional<double> value, const char* suffix, const char* none) {
  return value ? Decimal(*value, 1) + suffix : none;
}

// Where a run that did not pass ended and why ("record 3: the handset did
// not answer"), its last line when the record gives no reason; "-" for a run
// that passed. Cut to kReasonShown bytes, never inside a character.
std::string ReasonCell(const RecordEntry& r) {
  if (r.outcome == RunOutcome::Succeeded) return "-";
  const std::string& why = r.reason.empty() ? r.lastLine : r.reason;
  std::string cell = TableCell(r.stage.empty() ? why : why.empty() ? r.stage : r.stage + ": " + why);
  if (cell.size() > kReasonShown) {
    size_t cut = kReasonShown;
    while (cut > 0 && (static_cast<unsigned char>(cell[cut]) & 0xC0) == 0x80) --cut;
    cell.resize(cut);
    cell += "...";
  }
  return cell;
}

using Row = std::vector<std::string>;

Row ListingRow(const RecordEntry& r) {
  return {TableCell(r.time),        TableCell(r.port), TableCell(ShortAsicId(r.asicId)),
          OutcomeWord(r.outcome),   TableCell(FileName(r.image)),
          TableCell(r.imageSha256.substr(0, kShaShown)), ReasonCell(r)};
}

// The listing as FormatTable lays a table out (columns two blanks apart,
// flush left, the last not padded), a line at a time: the widths are taken
// from every row first.
class Listing {
 public:
  Listing() : m_header{"TIME", "PORT", "ASIC ID", "RESULT", "IMAGE", "SHA-256", "REASON"} { Fit(m_header); }

  void Fit(const Row& row) {
    m_widths.resize(std::max(m_widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c) m_widths[c] = std::max(m_widths[c], row[c].size());
  }

  const Row& Header() const { return m_header; }

  // A row wider than the widths (the file changed between the readings)
  // only shifts its own line.
  void Write(const Row& row, std::string& line) const {
    line.clear();
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 == row.size()) break;
      const size_t width = c < m_widths.size() ? m_widths[c] : 0;
      line.append(width > row[c].size() ? width - row[c].size() : 0, ' ');
      line += "  ";
    }
    line += '\n';
  }

 private:
  Row m_header;
  std::vector<size_t> m_widths;
};

std::string CsvRow(std::initializer_list<std::string_view> fields) {
  std::string row;
  for (const std::string_view f : fields) {
    if (!row.empty()) row += ',';
    AppendCsvField(f, row);
  }
  return row + "\n";
}

std::string CsvListingRow(const RecordEntry& r) {
  return CsvRow({r.time, r.port, r.asicId, OutcomeWord(r.outcome), r.image, r.imageSha256,
                 Decimal(r.elapsedSeconds, 3), r.lastLine, r.stage, r.errorCode, r.reason});
}

std::vector<const RecordTotals*> TotalRows(const RecordSummary& totals) {
  std::vector<const RecordTotals*> rows;
  for (const RecordTotals& port : totals.ports) rows.push_back(&port);
  rows.push_back(&totals.all);
  return rows;
}

std::string TotalsText(const RecordSummary& totals) {
  std::vector<Row> rows{{"PORT", "RUNS", "PASSED", "FAILED", "STOPPED", "PASS RATE", "UNITS/HOUR"}};
  for (const RecordTotals* t : TotalRows(totals))
    rows.push_back({t == &totals.all ? "all" : TableCell(t->port), std::to_string(t->runs), std::to_string(t->passed),
                    std::to_string(t->failed), std::to_string(t->stopped), Fixed(t->PassRate(), "%", "-"),
                    Fixed(t->UnitsPerHour(), "", "-")});
  return FormatTable(rows, {false, true, true, true, true, true, true});
}

std::string TotalsCsv(const RecordSummary& totals) {
  std::string text = CsvRow({"port", "runs", "passed", "failed", "stopped", "pass_rate", "units_per_hour"});
  for (const RecordTotals* t : TotalRows(totals))
    text += CsvRow({t == &totals.all ? "all" : t->port, std::to_string(t->runs), std::to_string(t->passed),
                    std::to_string(t->failed), std::to_string(t->stopped), Fixed(t->PassRate(), "", ""),
                    Fixed(t->UnitsPerHour(), "", "")});
  return text;
}

// The lines that are no record: all counted, the first few kept to be named.
class MalformedLines {
 public:
  void Add(const MalformedRecord& m) {
    if (m_count++ < kMalformedNamed) m_named.push_back(m);
  }

  void Report(const std::string& file, std::FILE* err) const {
    if (m_count == 0) return;
    std::string text = std::to_string(m_count) + (m_count == 1 ? " line is" : " lines are") +
                       " not a run record and left out: ";
    for (size_t i = 0; i < m_named.size(); ++i) {
      if (i > 0) text += ", ";
      text += "line " + std::to_string(m_named[i].line) + " (" + m_named[i].why + ")";
    }
    if (m_count > kMalformedNamed) text += ", ...";
    std::fprintf(err, "morvak-cli: %s: %s\n", TableCell(file).c_str(), text.c_str());
  }

 private:
  size_t m_count = 0;
  std::vector<MalformedRecord> m_named;
};

void Put(const std::string& text, std::FILE* out) { std::fwrite(text.data(), 1, text.size(), out); }

}  // namespace

int RunRecords(const RecordsOptions& options, std::FILE* out, std::FILE* err) {
  const auto unreadable = [&](const std::string& error) {
    std::fflush(out);
    std::fprintf(err, "morvak-cli: %s\n", error.c_str());
    return clitexts::kExitFailed;
  };
  RecordFile file;
  std::string error;
  if (!file.Open(options.file, error)) return unreadable(error);

  const auto counted = [&](const RecordEntry& r) { return !options.since || r.started >= *options.since; };
  const auto listed = [&](const RecordEntry& r) {
    return counted(r) && (!options.failedOnly || r.outcome == RunOutcome::Failed);
  };
  RecordTally tally;
  MalformedLines malformed;
  Listing listing;
  size_t listedRuns = 0;
  std::string line;
  if (options.csv)
    Put(CsvRow({"time", "port", "asic_id", "result", "image", "image_sha256", "elapsed_seconds", "last_line",
                "stage", "error_code", "reason"}),
        out);
  // The totals, the malformed lines, and the CSV rows or the table's widths.
  const RecordSink first{[&](const RecordEntry& r) {
                           if (!counted(r)) return;
                           tally.Add(r);
                           if (!listed(r)) return;
                           ++listedRuns;
                           if (options.csv) {
                             Put(CsvListingRow(r), out);
                           } else {
                             listing.Fit(ListingRow(r));
                           }
                         },
                         [&](const MalformedRecord& m) { malformed.Add(m); }};
  if (!file.Read(first, error)) return unreadable(error);

  if (options.csv) {
    Put("\n" + TotalsCsv(tally.Summary()), out);
  } else {
    if (listedRuns == 0) {
      Put("No runs listed.\n", out);
    } else {
      listing.Write(listing.Header(), line);
      Put(line, out);
      const RecordSink second{[&](const RecordEntry& r) {
                                if (!listed(r)) return;
                                listing.Write(ListingRow(r), line);
                                Put(line, out);
                              },
                              {}};
      if (!file.Read(second, error)) return unreadable(error);
    }
    Put("\n" + TotalsText(tally.Summary()), out);
  }
  std::fflush(out);
  malformed.Report(options.file, err);
  return clitexts::kExitSucceeded;
}

}  // namespace morvak::cli
