// Grabbing through the stream object: buffers smaller than the payload, stops that end waiting
// grabs (the camera's and the stream object's own), and frame numbers per stream object.
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

class GrabTest : public sim_test::SmallFastCamera {
protected:
    std::vector<uint8_t> Buffer() const { return std::vector<uint8_t>(payload + 64, kGuard); }
    int32_t Trigger() { return camera.Set(kParamSoftwareTrigger, 1); }
    // Grabs into a fresh buffer; the frame number of what came, or the negative result.
    int64_t GrabNumber(IDataStream& from, uint32_t timeoutMs) {
        std::vector<uint8_t> buffer = Buffer();
        uint64_t size = buffer.size();
        FrameInfo info{};
        const int32_t result = from.Grab(buffer.data(), &size, timeoutMs, &info);
        return result < 0 ? int64_t{result} : int64_t{info.frameNumber};
    }
    // Runs a grab on another thread that must block (trigger mode, no trigger), then stop(); the
    // grab's result.
    template <class Stop>
    int32_t BlockedGrabEndedBy(IDataStream& grabbing, Stop stop) {
        std::vector<uint8_t> buffer = Buffer();
        std::atomic<int32_t> result{1};
        std::thread grabber([&] {
            uint64_t size = buffer.size();
            result = grabbing.Grab(buffer.data(), &size, kGenerous, nullptr);
        });
        sim_test::AwaitWaitingGrabs(camera.model, 1);
        stop();
        grabber.join();
        EXPECT_EQ(buffer, Buffer());
        return result;
    }
};

TEST_F(GrabTest, SmallBufferGetsThePayloadsStartAndUsesUpFrameAndTrigger) {
    ASSERT_EQ(camera.Set(kParamChunkMode, 1), kOk);
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    const Sim::ImageSetup imageSetup{0x01080001, 64, 16, kPatternMovingRamp};
    uint32_t frame = 0;
    for (uint64_t capacity : {uint64_t{2}, payload - 5}) {  // inside the chunk, then inside the image
        ASSERT_EQ(Trigger(), kOk);
        std::vector<uint8_t> buffer = Buffer();
        uint64_t size = capacity;
        FrameInfo info{};
        ASSERT_EQ(stream->Grab(buffer.data(), &size, 0, &info), kTruncated);
        EXPECT_EQ(size, payload);
        EXPECT_EQ(info.filledSize, capacity);
        EXPECT_EQ(info.payloadSize, payload);
        EXPECT_EQ(info.frameNumber, frame);
        const std::vector<uint8_t> expected = Sim::ExpectedPayload(imageSetup, frame, true);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + static_cast<long>(capacity), expected.begin()));
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(capacity), buffer.end(),
                                [](uint8_t b) { return b == kGuard; }));
        EXPECT_EQ(GrabNumber(*stream, 0), kTimedOut) << "the trigger was used up";
        ++frame;
    }
}

// A caller that knows only FrameInfo gets nothing written beyond it; one that asks for the frame
// record gets it whole: a camera without a clock or chunks leaves stamp and layout at 0.
TEST_F(GrabTest, WritesTheFrameRecordOnlyWhenAskedFor) {
    std::vector<uint8_t> buffer = Buffer();
    uint64_t size = buffer.size();
    struct {
        FrameInfo info;
        uint8_t after[sizeof(FrameRecord) - sizeof(FrameInfo)];
    } plain{};
    std::fill(std::begin(plain.after), std::end(plain.after), kGuard);
    ASSERT_EQ(stream->Grab(buffer.data(), &size, kGenerous, &plain.info), kOk);
    EXPECT_EQ(0u, plain.info.reserved);
    EXPECT_TRUE(std::all_of(std::begin(plain.after), std::end(plain.after), [](uint8_t b) { return b == kGuard; }));

    FrameRecord record{};
    record.info.reserved = sizeof record;
    record.timestamp = 99;
    record.chunkLayoutId = 77;
    ASSERT_EQ(stream->Grab(buffer.data(), &size, kGenerous, &record.info), kOk);
    EXPECT_EQ(sizeof record, record.info.reserved);
    EXPECT_EQ(1u, record.info.frameNumber);
    EXPECT_EQ(0u, record.timestamp);
    EXPECT_EQ(0u, record.chunkLayoutId);
    EXPECT_EQ(payload, record.imageSize);
}

TEST_F(GrabTest, CameraStopEndsWaitingGrabsOnceAndLeavesLaterOnesAlone) {
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    ASSERT_EQ(stream->StartAcquisition(0, -1), kOk);
    auto other = camera.Stream();
    EXPECT_EQ(BlockedGrabEndedBy(*stream, [&] { EXPECT_EQ(other->StopAcquisition(0, 1), kOk); }), kStopped);
    // A stop of a camera that is not acquiring still ends the waiting grabs.
    EXPECT_EQ(BlockedGrabEndedBy(*stream, [&] { EXPECT_LT(other->StopAcquisition(0, 1), 0); }), kStopped);
    ASSERT_EQ(Trigger(), kOk);
    EXPECT_EQ(GrabNumber(*stream, kGenerous), 0);
}

TEST_F(GrabTest, DisarmedStreamRefusesAtOnceUntilReArmedWithoutTouchingTheCamera) {
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    ASSERT_EQ(stream->StartAcquisition(0, -1), kOk);
    auto other = camera.Stream();
    EXPECT_EQ(BlockedGrabEndedBy(*stream, [&] { EXPECT_EQ(stream->StopAcquisition(kStreamOnly, 1), kOk); }), kStopped);

    ASSERT_EQ(Trigger(), kOk);
    EXPECT_EQ(GrabNumber(*stream, kGenerous), kStopped);
    std::vector<uint8_t> buffer = Buffer();
    EXPECT_EQ(stream->Fill(buffer.data(), kGenerous), kStopped);
    EXPECT_EQ(buffer, Buffer());
    EXPECT_EQ(GrabNumber(*other, 0), 0) << "another stream object stays armed";
    ASSERT_EQ(Trigger(), kOk);

    uint8_t grabbing = 0;
    uint64_t started = 0;
    uint64_t size = 1;
    ASSERT_EQ(stream->StartAcquisition(kStreamOnly, -1), kOk);
    ASSERT_EQ(stream->GetInfo(kStreamInfoIsGrabbing, &grabbing, &size), kOk);
    size = 8;
    ASSERT_EQ(stream->GetInfo(kStreamInfoNumStarted, &started, &size), kOk);
    EXPECT_EQ(grabbing, 1);
    EXPECT_EQ(started, 1u);
    EXPECT_EQ(GrabNumber(*stream, 0), 0) << "the refused grabs used no frame number";
}

TEST_F(GrabTest, FrameNumbersCountPerStreamObjectAndRenderTheImage) {
    EXPECT_EQ(GrabNumber(*stream, 0), 0);
    EXPECT_EQ(GrabNumber(*stream, 0), 1);
    auto other = camera.Stream();
    EXPECT_EQ(GrabNumber(*other, 0), 0);
    std::vector<uint8_t> buffer = Buffer();
    ASSERT_EQ(stream->Fill(buffer.data(), 0), kOk);
    buffer.resize(payload);
    EXPECT_EQ(buffer, Sim::ExpectedPayload({0x01080001, 64, 16, kPatternMovingRamp}, 2, false));
    EXPECT_EQ(GrabNumber(*stream, 0), 3);
    EXPECT_EQ(GrabNumber(*other, 0), 1);
}

}  // namespace
