#pragma once
#include <cstdio>

#include "CliOptions.h"

namespace morvak::cli {

// morvak-cli inspect: what Start's checks find in an image, or the exact line
// Start would show. 0 when Start would accept the image, 1 otherwise.
int RunInspect(const InspectOptions& options, std::FILE* out);

}  // namespace morvak::cli
