#pragma once
// Writes `.img` and `.raw` files from their descriptions (ImageDescription.h). The
// file is streamed through one buffer, so an image of any size costs a few
// MiB of memory; zero-filled data becomes holes in the file.
#include <string>

#include "ImageDescription.h"

namespace morvak {

inline constexpr int IMAGE_WRITE_OK = 0;
inline constexpr int IMAGE_WRITE_BAD_DESCRIPTION = 1;  // the description cannot be planned
inline constexpr int IMAGE_WRITE_OPEN = 2;      // the file cannot be created
inline constexpr int IMAGE_WRITE_IO = 3;        // writing, sizing or closing failed

// Writes the image described by `desc` to `path`. On success `plan` (when
// given) says where everything landed. On failure `problem` gets one line
// naming the path and the cause; the file may be left incomplete.
int WriteImage(const std::string& path, const ImageDesc& desc, ImagePlan* plan, std::string& problem);

// Writes `desc.size` bytes of `desc.data` to `path`.
int WriteRaw(const std::string& path, const RawDesc& desc, std::string& problem);

}  // namespace morvak
