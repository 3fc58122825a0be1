#pragma once
// Qt hands events between threads with synchronisation of its own, inside a
// library that is not built with the thread sanitizer, so a sanitizer build
// cannot see that what a sender did before posting happens before what the
// receiver does with the event. HandOver marks the sending side and TakeOver
// the receiving side of one hand-off (the same token on both); in every
// other build they are nothing.
#if defined(__SANITIZE_THREAD__)
#define MORVAK_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVAK_THREAD_SANITIZER 1
#endif
#endif

#ifdef MORVAK_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace morvak {

inline void HandOver([[maybe_unused]] void* token) {
#ifdef MORVAK_THREAD_SANITIZER
  __tsan_release(token);
#endif
}

inline void TakeOver([[maybe_unused]] void* token) {
#ifdef MORVAK_THREAD_SANITIZER
  __tsan_acquire(token);
#endif
}

}  // namespace morvak
