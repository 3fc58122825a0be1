#include "Format.h"

#include <cstdarg>
#include <cstdio>

namespace morvak {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

std::string FormatElapsed(long long seconds) {
  if (seconds < 0) seconds = 0;  // the wall clock was set back during the run
  char text[40];
  std::snprintf(text, sizeof text, "%02lld Minutes, %02lld Seconds", (seconds / 60) % 60, seconds % 60);
  return text;
}

}  // namespace morvak
