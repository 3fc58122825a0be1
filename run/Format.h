#pragma once
#include <string>

namespace morvak {

// printf-style formatting of one status line. The format is always one of the
// fixed texts, so the compiler checks the arguments against it.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The elapsed time of a run: minutes within the hour and seconds within the
// minute, two digits each ("%M Minutes, %S Seconds"); whole hours are dropped.
std::string FormatElapsed(long long seconds);

}  // namespace morvak
