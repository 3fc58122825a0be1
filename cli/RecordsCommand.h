#pragma once
// morvak-cli records FILE [--since TIME] [--failed] [--csv]: the runs a
// record file holds, one line each (time, port, ASIC ID as the summary table
// shortens it, result, image and the start of its SHA-256), and their totals
// per port and for all.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "CliOptions.h"
#include "RecordReader.h"
#include "RecordTotals.h"

namespace morvak::cli {

// 0 when the file was read (lines that are not records are reported on
// `err` and passed over), 1 when it cannot be read.
int RunRecords(const RecordsOptions& options, std::FILE* out, std::FILE* err);

// The listing and the totals as the console shows them.
std::string RecordsText(const std::vector<RecordEntry>& listed, const RecordSummary& totals);
// The same as CSV (quoted as RFC 4180 has it, lines ending in LF): a header
// and a row per run, an empty line, a header and a row per port and one for all.
std::string RecordsCsv(const std::vector<RecordEntry>& listed, const RecordSummary& totals);

// One CSV field: quoted, its quotes doubled, when it holds a comma, a quote,
// a line end or blanks at an end.
std::string CsvField(std::string_view text);

}  // namespace morvak::cli
