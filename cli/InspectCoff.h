#pragma once
// morvak-cli inspect-coff FILE [--flat OUT]: what the COFF reader finds in a
// file, and the flat image the loader's COFF mode makes of it.
#include <ostream>
#include <string>
#include <vector>

namespace morvak::cli {

// 0 when the file was read (and OUT written), 1 when it cannot be read or OUT
// cannot be written, 2 for a usage error. args are those after the command.
int RunInspectCoff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morvak::cli
