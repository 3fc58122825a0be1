#include "FopenHook.h"

#include <dlfcn.h>
#include <fcntl.h>

#include <cstdarg>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace morvak::testing {
namespace {

struct Armed {
  std::mutex mutex;
  std::string path;
  int nth = 0;
  int seen = 0;
  std::function<void()> action;
};

Armed& State() {
  static Armed armed;
  return armed;
}

// An action that opens files itself does not count or trigger again.
thread_local bool t_inAction = false;

void OnFopen(const char* path) {
  if (t_inAction || path == nullptr) return;
  std::function<void()> action;
  {
    Armed& a = State();
    std::lock_guard lock(a.mutex);
    if (a.path.empty() || a.path != path) return;
    if (++a.seen == a.nth) action = std::move(a.action);
  }
  if (action) {
    t_inAction = true;
    action();
    t_inAction = false;
  }
}

}  // namespace

void ArmFopen(const std::string& path, int nth, std::function<void()> action) {
  Armed& a = State();
  std::lock_guard lock(a.mutex);
  a.path = path;
  a.nth = nth;
  a.seen = 0;
  a.action = std::move(action);
}

void DisarmFopen() { ArmFopen({}, 0, {}); }

int ArmedFopens() {
  Armed& a = State();
  std::lock_guard lock(a.mutex);
  return a.seen;
}

}  // namespace morvak::testing

// Takes the place of the C library's fopen for this program; the real one
// (or a sanitizer's in front of it) is the next in the lookup order.
extern "C" std::FILE* fopen(const char* __restrict path, const char* __restrict mode) {
  using Real = std::FILE* (*)(const char*, const char*);
  static const Real real = [] {
    void* symbol = dlsym(RTLD_NEXT, "fopen");
    Real function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
  }();
  morvak::testing::OnFopen(path);
  return real(path, mode);
}

// The program's own opens of image and target files use open(2) (without
// blocking, regular files only); they count as the same kind of open.
namespace {

template <typename Real>
Real NextSymbol(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  Real function = nullptr;
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

int ForwardOpen(const char* name, const char* path, int flags, va_list arguments) {
  using Real = int (*)(const char*, int, ...);
  static const Real realOpen = NextSymbol<Real>("open");
  static const Real realOpen64 = NextSymbol<Real>("open64");
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
  // Only reads are the run's opens; the action may create files itself.
  if ((flags & O_ACCMODE) == O_RDONLY) morvak::testing::OnFopen(path);
  const Real real = std::strcmp(name, "open") == 0 ? realOpen : realOpen64;
  return real(path, flags, mode);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const int fd = ForwardOpen("open", path, flags, arguments);
  va_end(arguments);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const int fd = ForwardOpen("open64", path, flags, arguments);
  va_end(arguments);
  return fd;
}
