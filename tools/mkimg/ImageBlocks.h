#pragma once
// What a flashing run must send for a described image: the blocks, in order,
// with the CRC-16 of each payload, computed from the description alone.
#include <cstdint>
#include <vector>

#include "BlockSummary.h"
#include "ImageDescription.h"

namespace morvak {

// A block of an image's run: DATA_RAW or DATA_RECORD. FormatBlockLine
// (BlockSummary.h) gives its line of the --blocks list.
using ImageBlock = BlockSummary;

// CRC-16 of bytes [0, length) of `data`, regenerated in pieces.
uint16_t DataCrc16(const DataDesc& data, uint64_t length);

// The blocks of a whole `.img` run: DATA_RAW at 0 with the raw part, then
// DATA_RECORD for every record with data, in file order, up to the first
// record whose address and checksum are both 0 (the reader stops there, at the
// terminator or at a record written to look like it). The image is taken
// whole: a cut-off or unterminated image makes the run fail instead.
// Returns a PLAN_... code; `blocks` is filled only on PLAN_OK.
int ExpectedImageBlocks(const ImageDesc& desc, std::vector<ImageBlock>& blocks);

// The single DATA_RAW block of a `.raw` run that sends the first `sendLength`
// bytes. False when the file is shorter than that (the run fails to read it).
bool ExpectedRawBlock(const RawDesc& desc, uint32_t sendLength, ImageBlock& block);

}  // namespace morvak
