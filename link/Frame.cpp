#include "Frame.h"

#include "ByteOrder.h"

namespace morvak {

void PackFrame(const Frame& frame, uint8_t out[FRAME_SIZE]) {
  StoreLE32(out + 0, frame.magic);
  StoreLE32(out + 4, frame.code);
  StoreLE32(out + 8, frame.param1);
  StoreLE32(out + 12, frame.param2);
}

Frame UnpackFrame(const uint8_t in[FRAME_SIZE]) {
  return Frame{LoadLE32(in + 0), LoadLE32(in + 4), LoadLE32(in + 8), LoadLE32(in + 12)};
}

}  // namespace morvak
