// An SFNC camera replaying a video: the video's frames are the full sensor image, and region and
// reverse apply to each frame as it is shown.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sfnc/SfncFixture.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/TempFiles.h"

namespace quarvo_test {
namespace {

constexpr int kSensorWidth = 64;
constexpr int kSensorHeight = 48;
constexpr size_t kFrames = 3;

// 16-bit grey frames of noise, stored losslessly: the samples the sensor shows.
const std::vector<std::vector<uint8_t>>& Pictures() {
    static const std::vector<std::vector<uint8_t>> pictures =
        sim_test::NoisePictures(kFrames, size_t{kSensorWidth} * kSensorHeight * 2, 3);
    return pictures;
}

uint16_t SensorSample(size_t frame, uint32_t x, uint32_t y) {
    uint16_t sample = 0;
    std::memcpy(&sample, &Pictures()[frame][(size_t{y} * kSensorWidth + x) * 2], sizeof sample);
    return sample;
}

const char* RigText() {
    static const sim_test::TempFolder folder;
    static const std::string text =
        "[[board]]\n[[board.camera]]\nid = \"Sfnc\"\nprofile = \"sfnc\"\npixel_format = \"Mono16\"\nframe_rate = 0\n"
        "video = \"" +
        sim_test::WriteVideoFile(folder, "scene.mkv", "ffv1", AV_PIX_FMT_GRAY16LE, kSensorWidth, kSensorHeight,
                                 Pictures(), 25) +
        "\"\n";
    return text.c_str();
}

class SfncVideo : public SfncFixture {
protected:
    SfncVideo() : SfncFixture(RigText()) {}
};

TEST_F(SfncVideo, RegionAndReverseApplyToEveryFrameOfTheVideo) {
    EXPECT_EQ(kSensorWidth, camera->Integer("SensorWidth"));
    EXPECT_EQ(kSensorHeight, camera->Integer("SensorHeight"));
    camera->SetInteger("Width", 32);
    camera->SetInteger("Height", 16);
    camera->SetInteger("OffsetX", 8);
    camera->SetInteger("OffsetY", 4);
    camera->SetBoolean("ReverseX", true);
    Start(5);
    for (size_t n = 0; n < 2 * kFrames; ++n) {
        BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        ASSERT_EQ(32u, BufferInfo<size_t>(buffer, BUFFER_INFO_WIDTH));
        ASSERT_EQ(16u, BufferInfo<size_t>(buffer, BUFFER_INFO_HEIGHT));
        ASSERT_FALSE(BufferInfo<bool8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE));
        const size_t frame = BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID) % kFrames;
        const auto* base = static_cast<const uint16_t*>(BufferInfo<void*>(buffer, BUFFER_INFO_BASE));
        for (uint32_t y = 0; y < 16; ++y) {
            for (uint32_t x = 0; x < 32; ++x) {
                ASSERT_EQ(SensorSample(frame, 8 + 31 - x, 4 + y), base[y * 32 + x]) << n << ": " << x << "," << y;
            }
        }
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
    }
    Stop();
}

}  // namespace
}  // namespace quarvo_test
