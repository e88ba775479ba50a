// The simulated camera's drop fault at its extreme: every frame dropped without a frame-rate
// limit. A grab must still end at its deadline instead of dropping frames forever.
#include <gtest/gtest.h>

#include "tests/simulator/SimHandles.h"

namespace {

using namespace Quibbon;

TEST(DroppingCamera, AGrabOnACameraThatDropsEveryFrameTimesOutAndTheDropsAreReportedLater) {
    sim_test::OpenCamera camera;
    ASSERT_EQ(kOk, camera.Set(kParamWidth, 64));
    ASSERT_EQ(kOk, camera.Set(kParamHeight, 16));
    ASSERT_EQ(kOk, camera.Set(kParamFrameRate, 0));
    ASSERT_EQ(kOk, camera.Set(kParamFaultDropEvery, 1));
    const auto stream = camera.Stream();
    std::vector<uint8_t> buffer(static_cast<size_t>(*camera.Get(kParamPayloadSize)));
    for (uint32_t timeoutMs : {0u, 20u}) {
        uint64_t size = buffer.size();
        FrameInfo info{};
        EXPECT_EQ(kTimedOut, stream->Grab(buffer.data(), &size, timeoutMs, &info)) << timeoutMs << " ms";
    }
    ASSERT_EQ(kOk, camera.Set(kParamFaultDropEvery, 0));
    uint64_t size = buffer.size();
    FrameInfo info{};
    ASSERT_EQ(kOk, stream->Grab(buffer.data(), &size, 0, &info));
    EXPECT_LE(2u, info.droppedBefore);
    EXPECT_EQ(info.droppedBefore, info.frameNumber);
}

}  // namespace
