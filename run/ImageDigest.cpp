// The SHA-256 of the image a run read, for its record: taken on the worker,
// from the bytes of the run's own descriptor, never by opening the path
// again while a different file may stand there.
#include <cstdio>
#include <vector>

#include "FlashRun.h"
#include "RegularFile.h"
#include "Sha256.h"
#include "StdioFile.h"

namespace morvak {
namespace {

// Feeds the rest of `file` to `digest`; false on a read error.
bool DigestRest(std::FILE* file, Sha256Hasher& digest) {
  std::vector<uint8_t> chunk(1 << 20);
  for (;;) {
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
    digest.Update(chunk.data(), got);
    if (got < chunk.size()) return std::ferror(file) == 0;
  }
}

}  // namespace

void FlashRun::FinishImageDigest(std::FILE* file, Sha256Hasher* digest) {
  m_bImageDigestDone = true;
  m_strImageSha256.clear();
  if (file != nullptr && digest != nullptr) {
    if (DigestRest(file, *digest)) m_strImageSha256 = Sha256Hex(digest->Final());
    return;
  }
  // The run stopped before it read the image: digest the file Start checked,
  // if it is still the one at the path.
  StdioFile image;
  FileIdentity opened;
  if (OpenRegularFile(m_strRunImagePath.c_str(), image, &opened) != FileOpenResult::kOpened ||
      opened != m_imageIdentity)
    return;
  Sha256Hasher whole;
  if (DigestRest(image.get(), whole)) m_strImageSha256 = Sha256Hex(whole.Final());
}

}  // namespace morvak
