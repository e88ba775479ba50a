// Injected faults: each knob gives exactly its pattern of failed, late, dropped and incomplete
// frames, counted per camera and restarted by writing the knob.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "simulator/PatternGenerator.h"
#include "tests/simulator/SimHandles.h"

namespace {

using namespace Quibbon;
using sim_test::kGenerous;

constexpr uint8_t kGuard = 0xEE;

struct Grabbed {
    int32_t result;
    FrameInfo info;
    std::vector<uint8_t> buffer;
};

class FaultTest : public sim_test::SmallFastCamera {
protected:
    Grabbed Grab(IDataStream& from, uint32_t timeoutMs = 0) {
        Grabbed grabbed{0, {}, std::vector<uint8_t>(payload + 16, kGuard)};
        uint64_t size = grabbed.buffer.size();
        grabbed.result = from.Grab(grabbed.buffer.data(), &size, timeoutMs, &grabbed.info);
        return grabbed;
    }
    // Frame numbers (or negative results) of count grabs.
    std::vector<int64_t> Numbers(int count, uint32_t timeoutMs = 0) {
        std::vector<int64_t> numbers;
        for (int i = 0; i < count; ++i) {
            const Grabbed grabbed = Grab(*stream, timeoutMs);
            numbers.push_back(grabbed.result < 0 ? int64_t{grabbed.result} : int64_t{grabbed.info.frameNumber});
        }
        return numbers;
    }
    std::vector<uint8_t> Expected(uint32_t frame) const {
        return Sim::ExpectedPayload({0x01080001, 64, 16, kPatternMovingRamp}, frame, false);
    }
    // Grab on another thread that blocks in a fault's wait until stop() ends it; its result.
    template <class Stop>
    int32_t BlockedGrabEndedBy(Stop stop) {
        std::atomic<int32_t> result{1};
        std::thread grabber([&] { result = Grab(*stream, kGenerous).result; });
        sim_test::AwaitWaitingGrabs(camera.model, 1);
        stop();
        grabber.join();
        return result;
    }
};

TEST_F(FaultTest, KnobsReadBackAndRefuseNegativeValues) {
    for (int32_t param = kParamFaultFailEvery; param <= kParamFaultIncompleteEvery; ++param) {
        EXPECT_EQ(camera.Get(param), 0) << param;
        EXPECT_EQ(camera.Set(param, 7), kOk) << param;
        EXPECT_LT(camera.Set(param, -1), 0) << param;
        EXPECT_EQ(camera.Get(param), 7) << param;
    }
}

TEST_F(FaultTest, DropEverySkipsEveryNthFrameNumberAndReportsItWithTheNextFrame) {
    ASSERT_EQ(camera.Set(kParamFaultDropEvery, 3), kOk);
    const uint32_t numbers[] = {0, 1, 3, 4, 6};
    const uint32_t dropped[] = {0, 0, 1, 0, 1};
    for (int i = 0; i < 5; ++i) {
        Grabbed grabbed = Grab(*stream);
        ASSERT_EQ(grabbed.result, kOk);
        EXPECT_EQ(grabbed.info.frameNumber, numbers[i]);
        EXPECT_EQ(grabbed.info.droppedBefore, dropped[i]) << "frame " << numbers[i];
        grabbed.buffer.resize(payload);
        EXPECT_EQ(grabbed.buffer, Expected(numbers[i]));
    }
    // Frames 0 to 6 were counted; writing the knob starts the count again at frame 7.
    ASSERT_EQ(camera.Set(kParamFaultDropEvery, 3), kOk);
    EXPECT_EQ(Numbers(3), (std::vector<int64_t>{7, 8, 10}));
    // Frame 12, due to be dropped and made incomplete at once, is dropped.
    ASSERT_EQ(camera.Set(kParamFaultDropEvery, 2), kOk);
    ASSERT_EQ(camera.Set(kParamFaultIncompleteEvery, 2), kOk);
    EXPECT_EQ(Numbers(2), (std::vector<int64_t>{11, 13}));
}

TEST_F(FaultTest, IncompleteEveryWritesExactlyTheFirstHalfOfThePayload) {
    ASSERT_EQ(camera.Set(kParamFaultIncompleteEvery, 2), kOk);
    for (uint32_t frame = 0; frame < 4; ++frame) {
        const Grabbed grabbed = Grab(*stream);
        ASSERT_EQ(grabbed.result, kOk);
        const bool incomplete = frame % 2 == 1;
        const size_t filled = incomplete ? payload / 2 : payload;
        EXPECT_EQ(grabbed.info.flags, incomplete ? kFrameIncomplete : 0u) << frame;
        EXPECT_EQ(grabbed.info.filledSize, filled) << frame;
        EXPECT_EQ(grabbed.info.payloadSize, payload);
        const std::vector<uint8_t> expected = Expected(frame);
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + static_cast<long>(filled), grabbed.buffer.begin()));
        EXPECT_TRUE(std::all_of(grabbed.buffer.begin() + static_cast<long>(filled), grabbed.buffer.end(),
                                [](uint8_t b) { return b == kGuard; }))
            << frame;
    }
}

TEST_F(FaultTest, FailEveryUsesUpTheTriggerButNoFrameNumberAndCountsPerCamera) {
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    ASSERT_EQ(camera.Set(kParamFaultFailEvery, 2), kOk);
    auto other = camera.Stream();
    auto triggered = [&](IDataStream& from) {
        EXPECT_EQ(camera.Set(kParamSoftwareTrigger, 1), kOk);
        return Grab(from);
    };
    EXPECT_EQ(triggered(*stream).info.frameNumber, 0u);
    const Grabbed failed = triggered(*stream);
    EXPECT_EQ(failed.result, kCameraError);
    EXPECT_TRUE(std::all_of(failed.buffer.begin(), failed.buffer.end(), [](uint8_t b) { return b == kGuard; }));
    EXPECT_EQ(Grab(*stream).result, kTimedOut) << "the failed frame used the trigger";
    EXPECT_EQ(triggered(*stream).info.frameNumber, 1u);
    EXPECT_EQ(triggered(*other).result, kCameraError);
    EXPECT_EQ(triggered(*other).info.frameNumber, 0u);
}

TEST_F(FaultTest, TimeoutEveryWaitsOutTheTimeOutUsingNothingUnlessStopped) {
    ASSERT_EQ(camera.Set(kParamFaultTimeoutEvery, 2), kOk);
    EXPECT_EQ(Numbers(4), (std::vector<int64_t>{0, kTimedOut, 1, kTimedOut}));
    ASSERT_EQ(camera.Set(kParamFaultTimeoutEvery, 1), kOk);
    EXPECT_EQ(BlockedGrabEndedBy([&] { stream->StopAcquisition(kStreamOnly, 1); }), kStopped);
}

TEST_F(FaultTest, DelayedFrameLaterThanTheTimeOutIsNotTaken) {
    ASSERT_EQ(camera.Set(kParamFaultDelayMs, 60000), kOk);
    EXPECT_EQ(Numbers(1), (std::vector<int64_t>{kTimedOut}));
    EXPECT_EQ(BlockedGrabEndedBy([&] { stream->StopAcquisition(0, 1); }), kStopped);
    ASSERT_EQ(camera.Set(kParamFaultDelayMs, 1), kOk);
    EXPECT_EQ(Numbers(1, kGenerous), (std::vector<int64_t>{0}));
}

}  // namespace
