#include "RecordsCommand.h"

#include <algorithm>
#include <charconv>

#include "CliTexts.h"
#include "HandsetOutcome.h"
#include "TextTable.h"

namespace morvak::cli {
namespace {

// The malformed lines named one by one before the rest are only counted.
constexpr size_t kMalformedNamed = 5;
constexpr size_t kShaShown = 12;

// A field as one table cell: control characters (a line end in a file
// name) cannot break the table.
std::string Cell(std::string_view text) {
  if (text.empty()) return "-";
  std::string cell(text);
  for (char& c : cell)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return cell;
}

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

std::vector<const RecordTotals*> TotalRows(const RecordSummary& totals) {
  std::vector<const RecordTotals*> rows;
  for (const RecordTotals& port : totals.ports) rows.push_back(&port);
  rows.push_back(&totals.all);
  return rows;
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (const std::string& f : fields) {
    if (!row.empty()) row += ',';
    row += CsvField(f);
  }
  return row + "\n";
}

void ReportMalformed(const std::string& file, const std::vector<MalformedRecord>& malformed, std::FILE* err) {
  if (malformed.empty()) return;
  std::string text = std::to_string(malformed.size()) + (malformed.size() == 1 ? " line is" : " lines are") +
                     " not a run record and left out: ";
  for (size_t i = 0; i < malformed.size() && i < kMalformedNamed; ++i) {
    if (i > 0) text += ", ";
    text += "line " + std::to_string(malformed[i].line) + " (" + malformed[i].why + ")";
  }
  if (malformed.size() > kMalformedNamed) text += ", ...";
  std::fprintf(err, "morvak-cli: %s: %s\n", Cell(file).c_str(), text.c_str());
}

}  // namespace

std::string CsvField(std::string_view text) {
  const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quoted) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

std::string RecordsText(const std::vector<RecordEntry>& listed, const RecordSummary& totals) {
  std::string text;
  if (listed.empty()) {
    text += "No runs listed.\n";
  } else {
    std::vector<std::vector<std::string>> rows{{"TIME", "PORT", "ASIC ID", "RESULT", "IMAGE", "SHA-256"}};
    for (const RecordEntry& r : listed)
      rows.push_back({Cell(r.time), Cell(r.port), Cell(ShortAsicId(r.asicId)), OutcomeWord(r.outcome),
                      Cell(FileName(r.image)), Cell(r.imageSha256.substr(0, kShaShown))});
    text += FormatTable(rows);
  }
  text += '\n';
  std::vector<std::vector<std::string>> rows{{"PORT", "RUNS", "PASSED", "FAILED", "PASS RATE", "UNITS/HOUR"}};
  for (const RecordTotals* t : TotalRows(totals))
    rows.push_back({t == &totals.all ? "all" : Cell(t->port), std::to_string(t->runs), std::to_string(t->passed),
                    std::to_string(t->failed), Fixed(t->PassRate(), "%", "-"), Fixed(t->UnitsPerHour(), "", "-")});
  return text + FormatTable(rows, {false, true, true, true, true, true});
}

std::string RecordsCsv(const std::vector<RecordEntry>& listed, const RecordSummary& totals) {
  std::string text =
      CsvRow({"time", "port", "asic_id", "result", "image", "image_sha256", "elapsed_seconds", "last_line"});
  for (const RecordEntry& r : listed) {
    text += CsvRow({r.time, r.port, r.asicId, OutcomeWord(r.outcome), r.image, r.imageSha256,
                    Decimal(r.elapsedSeconds, 3), r.lastLine});
  }
  text += "\n";
  text += CsvRow({"port", "runs", "passed", "failed", "pass_rate", "units_per_hour"});
  for (const RecordTotals* t : TotalRows(totals))
    text += CsvRow({t == &totals.all ? "all" : t->port, std::to_string(t->runs), std::to_string(t->passed),
                    std::to_string(t->failed), Fixed(t->PassRate(), "", ""), Fixed(t->UnitsPerHour(), "", "")});
  return text;
}

int RunRecords(const RecordsOptions& options, std::FILE* out, std::FILE* err) {
  RecordFileContent content;
  std::string error;
  if (!ReadRecordFile(options.file, content, error)) {
    std::fprintf(err, "morvak-cli: %s\n", error.c_str());
    return clitexts::kExitFailed;
  }
  std::vector<RecordEntry> counted;
  for (RecordEntry& r : content.records)
    if (!options.since || r.started >= *options.since) counted.push_back(std::move(r));
  std::vector<RecordEntry> listed;
  std::copy_if(counted.begin(), counted.end(), std::back_inserter(listed),
               [&](const RecordEntry& r) { return !options.failedOnly || r.outcome == RunOutcome::Failed; });
  const RecordSummary totals = TotalRecords(counted);
  const std::string text = options.csv ? RecordsCsv(listed, totals) : RecordsText(listed, totals);
  std::fputs(text.c_str(), out);
  std::fflush(out);
  ReportMalformed(options.file, content.malformed, err);
  return clitexts::kExitSucceeded;
}

}  // namespace morvak::cli
