#pragma once

namespace morvak::cli {

// The console front end: 0 success, 1 failure, 2 bad usage.
int Main(int argc, char** argv);

}  // namespace morvak::cli
