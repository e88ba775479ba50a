#include "modules/ChunkTrailer.h"

#include <algorithm>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"

namespace GenTL {

namespace {

constexpr size_t kTrailerSize = 8;  // ID and length

uint32_t BigEndian(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | static_cast<uint32_t>(bytes[3]);
}

}  // namespace

std::vector<SINGLE_CHUNK_DATA> ParseChunkTrailer(const uint8_t* data, size_t size) {
    std::vector<SINGLE_CHUNK_DATA> chunks;
    size_t end = size;
    while (end > 0) {
        if (end < kTrailerSize) {
            throw parsing_chunk_data_exception(
                MsgComposer("The chunk data ends in %zu bytes that are no chunk trailer.", end));
        }
        const uint32_t id = BigEndian(data + end - kTrailerSize);
        const uint32_t length = BigEndian(data + end - kTrailerSize + 4);
        if (length > end - kTrailerSize) {
            throw parsing_chunk_data_exception(MsgComposer(
                "Chunk 0x%08X claims %u bytes, more than the %zu bytes before it.", id, length, end - kTrailerSize));
        }
        end -= kTrailerSize + length;
        chunks.push_back(SINGLE_CHUNK_DATA{id, static_cast<ptrdiff_t>(end), length});
    }
    std::reverse(chunks.begin(), chunks.end());
    return chunks;
}

}  // namespace GenTL
