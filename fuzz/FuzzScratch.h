#pragma once
// Files for the fuzz targets that work on paths: one private directory per
// process, made on first use and removed when the process ends normally.
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvak::fuzz {

// The directory with its trailing '/'; empty when it could not be made.
const std::string& ScratchDirectory();
// Writes the bytes to `name` inside the directory, replacing the file; the
// full path, or empty when it could not be written.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
// The process's open file descriptors, or -1 when they cannot be counted.
int OpenDescriptorCount();

}  // namespace morvak::fuzz
