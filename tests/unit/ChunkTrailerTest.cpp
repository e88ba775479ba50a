// The GigE Vision chunk layout read from a payload's end: the chunks in payload order, and a
// payload whose lengths do not lead back to its start (a consumer may have overwritten it) refused
// with the parsing error rather than read outside it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gentl/Exceptions.h"
#include "modules/ChunkTrailer.h"

namespace {

using GenTL::ParseChunkTrailer;

void AppendChunk(std::vector<uint8_t>& bytes, uint32_t id, uint32_t length) {
    bytes.insert(bytes.end(), length, 0xAB);
    for (uint32_t value : {id, length}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<uint8_t>(value >> shift));
        }
    }
}

TEST(ChunkTrailer, ListsTheChunksInPayloadOrder) {
    std::vector<uint8_t> bytes;
    AppendChunk(bytes, 0x0A5A0000, 12);
    AppendChunk(bytes, 0x0A5A0001, 0);
    AppendChunk(bytes, 0xFEDCBA98, 8);
    const std::vector<SINGLE_CHUNK_DATA> chunks = ParseChunkTrailer(bytes.data(), bytes.size());
    ASSERT_EQ(3u, chunks.size());
    EXPECT_EQ(0x0A5A0000u, chunks[0].ChunkID);
    EXPECT_EQ(0, chunks[0].ChunkOffset);
    EXPECT_EQ(12u, chunks[0].ChunkLength);
    EXPECT_EQ(0x0A5A0001u, chunks[1].ChunkID);
    EXPECT_EQ(20, chunks[1].ChunkOffset);
    EXPECT_EQ(0u, chunks[1].ChunkLength);
    EXPECT_EQ(0xFEDCBA98u, chunks[2].ChunkID);
    EXPECT_EQ(28, chunks[2].ChunkOffset);
    EXPECT_EQ(8u, chunks[2].ChunkLength);
    EXPECT_TRUE(ParseChunkTrailer(bytes.data(), 0).empty());
}

TEST(ChunkTrailer, RefusesLengthsThatMissTheStart) {
    std::vector<uint8_t> bytes;
    AppendChunk(bytes, 1, 12);
    AppendChunk(bytes, 2, 4);
    const auto refused = [](const std::vector<uint8_t>& payload) {
        try {
            ParseChunkTrailer(payload.data(), payload.size());
        } catch (const GenTL::gentl_exception& e) {
            return e.GetErrorCode() == -1018;  // GC_ERR_PARSING_CHUNK_DATA
        }
        return false;
    };
    std::vector<uint8_t> longer = bytes;
    longer[bytes.size() - 1] = 0xFF;  // the last chunk claims more than there is
    EXPECT_TRUE(refused(longer));
    std::vector<uint8_t> shifted(bytes.begin() + 4, bytes.end());  // the chain ends inside a trailer
    EXPECT_TRUE(refused(shifted));
    EXPECT_TRUE(refused(std::vector<uint8_t>(5, 0)));
}

}  // namespace
