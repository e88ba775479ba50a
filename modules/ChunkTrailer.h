// The chunks of a payload in the GigE Vision layout: every chunk (the image included, first) is
// its data followed by its 4-byte ID and 4-byte length, big-endian, so the chunks are found by
// reading from the payload's end toward its start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gentl/GenTL.h"

namespace GenTL {

// The chunks of the size bytes at data, in payload order (offsets from data). Raises
// parsing_chunk_data_exception when the chain of lengths does not lead back exactly to the start.
std::vector<SINGLE_CHUNK_DATA> ParseChunkTrailer(const uint8_t* data, size_t size);

}  // namespace GenTL
