#include "GuardedOutput.h"

#include <utility>

namespace morvak::cli {

GuardedOutput::GuardedOutput(std::FILE* target, std::function<void()> onFailure)
    : m_target(target), m_onFailure(std::move(onFailure)) {
  cookie_io_functions_t functions{};
  functions.write = &GuardedOutput::Write;
  m_stream = fopencookie(this, "w", functions);
}

GuardedOutput::~GuardedOutput() {
  if (m_stream != nullptr) std::fclose(m_stream);
}

ssize_t GuardedOutput::Write(void* cookie, const char* data, size_t size) {
  auto& self = *static_cast<GuardedOutput*>(cookie);
  if (self.m_failed) return static_cast<ssize_t>(size);
  const size_t written = std::fwrite(data, 1, size, self.m_target);
  if (written != size || std::fflush(self.m_target) != 0 || std::ferror(self.m_target) != 0) {
    self.m_failed = true;
    if (self.m_onFailure) self.m_onFailure();
  }
  return static_cast<ssize_t>(size);
}

}  // namespace morvak::cli
