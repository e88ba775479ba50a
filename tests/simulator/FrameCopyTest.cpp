// Large frames are written with streaming stores: the bytes must be those of an ordinary copy, at
// any alignment of the consumer's buffer and for any prefix, and nothing beyond them may change.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/FrameCopy.h"
#include "simulator/PatternGenerator.h"

namespace {

using namespace Quibbon::Sim;

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kMargin = 64;

std::vector<uint8_t> Counting(size_t bytes) {
    std::vector<uint8_t> values(bytes);
    std::iota(values.begin(), values.end(), static_cast<uint8_t>(1));
    return values;
}

TEST(FrameCopyTest, StreamingCopyEqualsMemcpyAtEveryAlignmentAndLength) {
    const std::vector<uint8_t> source = Counting(4096 + 200);
    for (size_t offset = 0; offset < 64; ++offset) {
        for (size_t bytes : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{63}, size_t{64}, size_t{65},
                             size_t{79}, size_t{80}, size_t{127}, size_t{143}, size_t{4096}, size_t{4096 + 77}}) {
            std::vector<uint8_t> destination(kMargin + bytes + kMargin, kGuard);
            StreamingCopy(destination.data() + kMargin + offset % 32, source.data() + offset, bytes);
            std::vector<uint8_t> expected(kMargin + bytes + kMargin, kGuard);
            std::memcpy(expected.data() + kMargin + offset % 32, source.data() + offset, bytes);
            ASSERT_EQ(destination, expected) << "offset " << offset << ", " << bytes << " bytes";
        }
    }
}

TEST(FrameCopyTest, OnlyLargeFramesAreStreamed) {
    EXPECT_FALSE(FrameWriter(640 * 480).Streaming());
    EXPECT_TRUE(FrameWriter(kStreamingFrameBytes).Streaming());
}

// Renders into a buffer at an odd address with guard bytes around it.
std::vector<uint8_t> RenderAtOddAddress(const ImageGenerator& generator, uint32_t frame, uint64_t bytes) {
    std::vector<uint8_t> buffer(1 + bytes + kMargin, kGuard);
    generator.RenderPrefix(frame, buffer.data() + 1, bytes);
    EXPECT_EQ(buffer[0], kGuard);
    for (size_t i = 1 + bytes; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], kGuard) << "byte " << i - 1 << " beyond the prefix was written";
    }
    return std::vector<uint8_t>(buffer.begin() + 1, buffer.begin() + 1 + static_cast<std::ptrdiff_t>(bytes));
}

TEST(FrameCopyTest, StreamedFramesEqualTheReference) {
    // One copied from a tile in blocks of rows, one row by row, one planar.
    const ImageSetup setups[] = {{0x01080001, 1024, 1024, Quibbon::kPatternMovingRamp},
                               {0x01080009, 1540, 700, Quibbon::kPatternMovingRamp},
                               {0x02180021, 1028, 344, Quibbon::kPatternMovingRamp}};
    for (const ImageSetup& setup : setups) {
        const ImageGenerator generator(setup);
        ASSERT_TRUE(FrameWriter(generator.PayloadSize()).Streaming()) << setup.width << "x" << setup.height;
        for (uint32_t frame : {0u, 3u, 300u}) {
            const std::vector<uint8_t> reference = RenderReference(setup, frame);
            ASSERT_EQ(RenderAtOddAddress(generator, frame, generator.PayloadSize()), reference)
                << setup.width << "x" << setup.height << " frame " << frame;
            const uint64_t prefix = generator.PayloadSize() - 4093;
            ASSERT_EQ(RenderAtOddAddress(generator, frame, prefix),
                      std::vector<uint8_t>(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(prefix)))
                << setup.width << "x" << setup.height << " frame " << frame << " prefix";
        }
    }
    EXPECT_TRUE(ImageGenerator(setups[0]).CopiesFromTile());
    EXPECT_FALSE(ImageGenerator(setups[1]).CopiesFromTile());
}

}  // namespace
