// Every simulated camera end to end: each delivered buffer holds exactly the camera's image for its
// frame ID, and the buffer's information and port describe it consistently.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"
#include "support/OpenStream.h"

namespace quarvo_test {
namespace {

namespace Sim = Quibbon::Sim;

struct ImageCase {
    uint32_t board;
    const char* camera;
    uint32_t frame_rate;  // 0: as fast as possible
    bool chunk;
};

class Images : public OpenStream, public ::testing::WithParamInterface<ImageCase> {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        if (!HasFatalFailure()) {
            Open(GetParam().board, GetParam().camera);
        }
    }
};

TEST_P(Images, EveryBufferHoldsTheImageOfItsFrame) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x118, GetParam().frame_rate));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x104, 64));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x108, 40));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x320, GetParam().chunk ? 1 : 0));
    const uint32_t format = ReadWord(remote, 0x10C);
    const uint32_t payload = ReadWord(remote, 0x114);
    AnnounceAndQueue(5);
    constexpr uint64_t kFrames = 12;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, kFrames)) << lib.Error().text;
    uint64_t previous_stamp = 0;
    for (uint64_t expected_id = 0; expected_id < kFrames; ++expected_id) {
        BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        const auto id = BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID);
        ASSERT_EQ(expected_id, id);
        EXPECT_EQ(64u, BufferInfo<size_t>(buffer, BUFFER_INFO_WIDTH));
        EXPECT_EQ(40u, BufferInfo<size_t>(buffer, BUFFER_INFO_HEIGHT));
        EXPECT_EQ(format, BufferInfo<uint64_t>(buffer, BUFFER_INFO_PIXELFORMAT));
        EXPECT_EQ(payload, BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_EQ(GetParam().chunk ? 8u : 1u, BufferInfo<size_t>(buffer, BUFFER_INFO_PAYLOADTYPE));
        EXPECT_EQ(GetParam().chunk, BufferInfo<uint8_t>(buffer, BUFFER_INFO_CONTAINS_CHUNKDATA) != 0);
        EXPECT_FALSE(BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE));
        EXPECT_TRUE(BufferInfo<uint8_t>(buffer, BUFFER_INFO_NEW_DATA));
        const auto stamp = BufferInfo<uint64_t>(buffer, BUFFER_INFO_TIMESTAMP_NS);
        EXPECT_GE(stamp, previous_stamp);
        previous_stamp = stamp;
        // The buffer port holds the same time stamp, high word first.
        EXPECT_EQ(stamp, (uint64_t{ReadWord(buffer, 0x10)} << 32) | ReadWord(buffer, 0x14));
        const auto* bytes = BufferInfo<const uint8_t*>(buffer, BUFFER_INFO_BASE);
        const std::vector<uint8_t> image(bytes, bytes + payload);
        ASSERT_EQ(Sim::ExpectedPayload({format, 64, 40, Quibbon::kPatternMovingRamp}, static_cast<uint32_t>(id),
                                       GetParam().chunk),
                  image)
            << "frame " << id;
        if (GetParam().chunk) {
            size_t chunks = 0;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferChunkData(stream, buffer, nullptr, &chunks));
            EXPECT_EQ(1u, chunks);
        }
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    }
    EXPECT_EQ(kFrames, StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, Images,
    ::testing::Values(ImageCase{0, "Cam00", 0, false}, ImageCase{0, "Cam00", 120, true},
                      ImageCase{0, "Cam01", 0, false}, ImageCase{0, "Cam01", 120, false},
                      ImageCase{1, "Cam10", 0, true}, ImageCase{1, "Cam10", 120, false},
                      ImageCase{1, "Cam11", 0, false}, ImageCase{1, "Cam11", 120, false}),
    [](const auto& info) {
        return std::string(info.param.camera) + (info.param.frame_rate == 0 ? "Unthrottled" : "Paced") +
               (info.param.chunk ? "Chunk" : "");
    });

}  // namespace
}  // namespace quarvo_test
