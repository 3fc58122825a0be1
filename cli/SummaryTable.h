#pragma once
// The summary of a console command's runs.
#include <string>
#include <vector>

#include "HandsetOutcome.h"

namespace morvak::cli {

// A plain table, one row per handset in the order given, then a line with the
// counts; every line ends with a line feed.
std::string FormatSummaryTable(const std::vector<HandsetOutcome>& outcomes);

}  // namespace morvak::cli
