#pragma once
// morvak-cli records FILE [--since TIME] [--failed] [--csv]: the runs a
// record file holds, one line each (time, port, ASIC ID as the summary table
// shortens it, result, image and the start of its SHA-256, and for a run that
// did not pass where it ended and why), and their totals per port and for all.
#include <cstdio>

#include "CliOptions.h"

namespace morvak::cli {

// 0 when the file was read (lines that are not records are reported on
// `err` and passed over), 1 when it cannot be read. The file is read as a
// stream, so memory does not grow with its length: the text table reads it
// twice (the first time for its columns' widths and the totals), CSV once.
//
// The text lists the runs in a table, an empty line and the totals per port
// (runs, passed, failed, stopped, pass rate, units per hour) in another.
// CSV (quoted as RFC 4180 has it, lines ending in LF; FieldText.h) has a
// header and a row per run with every field the reader knows, an empty line,
// a header and a row per port and one for all.
int RunRecords(const RecordsOptions& options, std::FILE* out, std::FILE* err);

}  // namespace morvak::cli
