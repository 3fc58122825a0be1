#pragma once
// The run's block buffers: owned by whoever asks for one, and asked for
// without an exception, since a run that finds no memory for a block says so
// in a line of its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace morvak {

// `size` bytes, left uninitialised (every block is read into before it is
// sent), or null when there is no memory for them.
inline std::unique_ptr<uint8_t[]> AllocateBytes(size_t size) {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace morvak
