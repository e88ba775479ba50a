// Frame delivery: exact payloads, frame-rate pacing, software triggers, time-outs, closing a
// stream under a waiting fill, and parameter changes racing an acquisition.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "simulator/PatternGenerator.h"
#include "tests/simulator/SimHandles.h"

namespace {

using namespace Quibbon;
using Clock = std::chrono::steady_clock;

using sim_test::kGenerous;

class PacingTest : public sim_test::SmallFastCamera {
protected:
    // A buffer one payload long plus a guard area that a fill must leave alone.
    std::vector<uint8_t> Buffer() { return std::vector<uint8_t>(static_cast<size_t>(*camera.Get(kParamPayloadSize)) + 64, 0xEE); }
    static bool GuardIntact(const std::vector<uint8_t>& buffer, size_t payload) {
        return std::all_of(buffer.begin() + static_cast<long>(payload), buffer.end(), [](uint8_t b) { return b == 0xEE; });
    }
    Sim::ImageSetup CameraImage() {
        return {static_cast<uint32_t>(*camera.Get(kParamPixelFormat)), static_cast<uint32_t>(*camera.Get(kParamWidth)),
                static_cast<uint32_t>(*camera.Get(kParamHeight)), static_cast<uint32_t>(*camera.Get(kParamTestPattern))};
    }
};

TEST_F(PacingTest, FillWritesExactlyTheExpectedPayloadsInFrameOrder) {
    const size_t payload = static_cast<size_t>(*camera.Get(kParamPayloadSize));
    for (uint32_t frame = 0; frame < 3; ++frame) {
        std::vector<uint8_t> buffer = Buffer();
        ASSERT_EQ(stream->Fill(buffer.data(), 0), kOk);
        EXPECT_TRUE(GuardIntact(buffer, payload));
        buffer.resize(payload);
        EXPECT_EQ(buffer, Sim::ExpectedPayload(CameraImage(), frame, false)) << "frame " << frame;
    }
}

TEST_F(PacingTest, ChunkModePutsTheFrameCounterInFront) {
    std::vector<uint8_t> buffer = Buffer();
    ASSERT_EQ(stream->Fill(buffer.data(), 0), kOk);
    ASSERT_EQ(camera.Set(kParamChunkMode, 1), kOk);
    ASSERT_EQ(camera.Set(kParamTestPattern, kPatternColourBars), kOk);
    ASSERT_EQ(stream->Fill(buffer.data(), 0), kOk);
    buffer.resize(static_cast<size_t>(*camera.Get(kParamPayloadSize)));
    EXPECT_EQ(buffer, Sim::ExpectedPayload(CameraImage(), 1, true));
    EXPECT_EQ(buffer[0], 1);
}

TEST_F(PacingTest, FrameRateLimitSpacesFrames) {
    ASSERT_EQ(camera.Set(kParamFrameRate, 1), kOk);
    std::vector<uint8_t> buffer = Buffer();
    ASSERT_EQ(stream->Fill(buffer.data(), 0), kOk);
    std::vector<uint8_t> untouched = Buffer();
    EXPECT_EQ(stream->Fill(untouched.data(), 0), kTimedOut);
    EXPECT_EQ(untouched, Buffer());

    ASSERT_EQ(camera.Set(kParamFrameRate, 50), kOk);
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(stream->Fill(buffer.data(), kGenerous), kOk);
    }
    // Five frames at 50 per second span at least four intervals after the first.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(70));
}

// Frames come on a fixed schedule of the set rate. A frame taken late, but within its interval,
// leaves the schedule alone, so the next frame comes that much sooner; a camera that started its
// schedule afresh at every frame would lose the lateness of each, and its rate would slide. The
// injected delay makes every frame late by a known part of its interval: keeping to the schedule,
// n frames span n intervals plus the lateness of the last; sliding, they cannot span less than n
// delays plus n - 1 intervals, however idle the machine. A loaded machine only makes frames
// later, so windows are tried until one meets the bound between the two: a camera that keeps its
// schedule gets there soon, a sliding one never does.
class LateFramePacingTest : public PacingTest {
protected:
    static constexpr int32_t kRate = 40;
    static constexpr std::chrono::milliseconds kInterval{1000 / kRate};
    static constexpr std::chrono::milliseconds kDelay{10};
    static constexpr int kWindow = 12;
    static constexpr int kTries = 8;

    void SetUp() override {
        PacingTest::SetUp();
        ASSERT_EQ(camera.Set(kParamFrameRate, kRate), kOk);
        ASSERT_EQ(camera.Set(kParamFaultDelayMs, static_cast<int32_t>(kDelay.count())), kOk);
    }

    using Ms = std::chrono::duration<double, std::milli>;

    // Below the shortest span a sliding schedule can give a window.
    static Ms Bound() { return kWindow * kDelay + (kWindow - 1) * kInterval - std::chrono::milliseconds(5); }

    // The shortest span of up to kTries windows of kWindow frames, each counted from the frame
    // before it; the first span below the bound ends the tries.
    Ms ShortestWindow() {
        std::vector<uint8_t> buffer = Buffer();
        Ms shortest = Ms::max();
        for (int attempt = 0; attempt < kTries && shortest >= Bound(); ++attempt) {
            EXPECT_EQ(stream->Fill(buffer.data(), kGenerous), kOk);
            const auto start = Clock::now();
            for (int i = 0; i < kWindow; ++i) {
                EXPECT_EQ(stream->Fill(buffer.data(), kGenerous), kOk);
            }
            shortest = std::min<Ms>(shortest, Clock::now() - start);
        }
        return shortest;
    }
};

TEST_F(LateFramePacingTest, FramesTakenLateWithinTheirIntervalKeepTheRate) {
    EXPECT_LT(ShortestWindow().count(), Bound().count()) << "the schedule slides by each frame's lateness";
}

// After a pause of several intervals the camera starts its schedule afresh: the frame due comes
// at once, the missed ones are not made up in a burst, and the rate holds again.
TEST_F(LateFramePacingTest, AfterAPauseTheScheduleStartsAfreshWithoutABurst) {
    std::vector<uint8_t> buffer = Buffer();
    ASSERT_EQ(stream->Fill(buffer.data(), kGenerous), kOk);
    ASSERT_EQ(camera.Set(kParamFaultDelayMs, 0), kOk);
    std::this_thread::sleep_for(4 * kInterval);  // the pause itself: no grab comes
    const auto resumed = Clock::now();
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), kGenerous), kOk);
    EXPECT_GE(Ms(Clock::now() - resumed).count(), Ms(kInterval).count()) << "the missed frames came in a burst";
    ASSERT_EQ(camera.Set(kParamFaultDelayMs, static_cast<int32_t>(kDelay.count())), kOk);
    EXPECT_LT(ShortestWindow().count(), Bound().count());
}

TEST_F(PacingTest, TriggerModeReleasesOneFramePerSoftwareTrigger) {
    std::vector<uint8_t> buffer = Buffer();
    ASSERT_EQ(camera.Set(kParamSoftwareTrigger, 1), kOk);  // ignored while trigger mode is off
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kTimedOut);
    EXPECT_EQ(stream->Fill(buffer.data(), 20), kTimedOut);
    ASSERT_EQ(camera.Set(kParamSoftwareTrigger, 1), kOk);
    ASSERT_EQ(camera.Set(kParamSoftwareTrigger, 1), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kTimedOut);

    // Leaving trigger mode drops pending triggers.
    ASSERT_EQ(camera.Set(kParamSoftwareTrigger, 1), kOk);
    ASSERT_EQ(camera.Set(kParamTriggerMode, 0), kOk);
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    EXPECT_EQ(stream->Fill(buffer.data(), 0), kTimedOut);
}

TEST_F(PacingTest, WaitingFillWakesOnTriggerAndOnLeavingTriggerMode) {
    ASSERT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    for (int32_t param : {kParamSoftwareTrigger, kParamTriggerMode}) {
        std::vector<uint8_t> buffer = Buffer();
        std::atomic<int32_t> result{1};
        std::thread filler([&] { result = stream->Fill(buffer.data(), kGenerous); });
        ASSERT_EQ(camera.Set(param, param == kParamSoftwareTrigger ? 1 : 0), kOk);
        filler.join();
        EXPECT_EQ(result, kOk) << param;
    }
}

TEST(CameraSessionTest, ClosingASessionEndsItsWaitingGrab) {
    Sim::CameraConfig config;
    config.identity = {"Cam", "Brondix", "Model", "SN1", "Center", 0x01080001};
    Sim::Camera camera(config);
    ASSERT_EQ(camera.SetParameter(kParamTriggerMode, 1), kOk);
    Sim::GrabSession session;
    Sim::GrabSession other;
    std::vector<uint8_t> buffer(640 * 480);
    std::atomic<int32_t> result{1};
    std::thread grabber([&] { result = camera.Grab(session, buffer.data(), buffer.size(), kGenerous, nullptr); });
    sim_test::AwaitWaitingGrabs(camera, 1);
    camera.CloseSession(other);  // another stream's close leaves this grab waiting
    EXPECT_EQ(camera.WaitingGrabs(), 1u);
    const auto start = Clock::now();
    camera.CloseSession(session);
    EXPECT_EQ(camera.WaitingGrabs(), 0u);
    grabber.join();
    EXPECT_EQ(result, kFailed);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kGenerous / 2));
    EXPECT_EQ(camera.Grab(session, buffer.data(), buffer.size(), 0, nullptr), kFailed);
}

TEST_F(PacingTest, FramesStayConsistentWhileSettingsChange) {
    std::atomic<bool> done{false};
    std::atomic<uint32_t> changes{0};
    std::thread changer([&] {
        const int32_t widths[] = {8, 64, 132, 128};
        for (uint32_t i = 0; !done; ++i) {
            camera.Set(kParamWidth, widths[i % 4]);
            camera.Set(kParamHeight, 8 + 4 * static_cast<int32_t>(i % 5));
            camera.Set(kParamTestPattern, static_cast<int32_t>(i % 4));
            camera.Set(kParamChunkMode, static_cast<int32_t>(i % 2));
            camera.Get(kParamPayloadSize);
            ++changes;
            std::this_thread::yield();
        }
    });
    std::vector<uint8_t> buffer(132 * 24 + 64);
    for (uint32_t frame = 0; frame < 100 || changes < 100; ++frame) {
        uint64_t size = buffer.size();
        FrameInfo info{};
        ASSERT_EQ(stream->Grab(buffer.data(), &size, kGenerous, &info), kOk);
        ASSERT_EQ(info.frameNumber, frame);
        // The pattern is not part of the frame description: the frame must match one of them.
        bool matched = false;
        for (uint32_t pattern = 0; pattern < 4 && !matched; ++pattern) {
            const auto expected =
                Sim::ExpectedPayload({info.pixelFormat, info.width, info.height, pattern}, frame, info.chunkMode != 0);
            matched = expected.size() == size && std::equal(expected.begin(), expected.end(), buffer.begin());
        }
        ASSERT_TRUE(matched) << "frame " << frame;
    }
    done = true;
    changer.join();
}

}  // namespace
