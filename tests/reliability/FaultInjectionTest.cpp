// The acquisition engine against a failing camera: the simulator's fault injection, set on the
// camera the producer acquires from, makes grabs fail, time out, wait, drop frames and deliver
// incomplete ones. Failed grabs must put their buffer back, stop and close must end any waiting
// grab, the counters must stay right, and no buffer may be lost or handed out twice.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "reliability/BufferAccounting.h"
#include "simulator/PatternGenerator.h"
#include "support/OpenStream.h"
#include "support/SimulatorAccess.h"

namespace quarvo_test {
namespace {

constexpr uint64_t kRegWidth = 0x104;
constexpr uint64_t kRegHeight = 0x108;
constexpr uint64_t kRegPixelFormat = 0x10C;
constexpr uint64_t kRegPayload = 0x114;
constexpr uint64_t kRegFrameRate = 0x118;
constexpr uint64_t kRegTriggerMode = 0x120;
constexpr uint64_t kRegThreadRunning = 0x50;

class FaultInjection : public OpenStream {
protected:
    void SetUp() override {
        OpenStream::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegFrameRate, 0));  // as fast as possible
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegWidth, 64));
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegHeight, 32));
        camera = std::make_unique<SimulatedCamera>(lib, "Board0", "Cam00");
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors)) << lib.Error().text;
    }
    void TearDown() override {
        camera.reset();
        OpenStream::TearDown();
    }

    void Fault(int32_t parameter, int32_t value) {
        ASSERT_TRUE(camera->TrySet(parameter, value)) << parameter;
        ASSERT_EQ(value, camera->Get(parameter)) << parameter;
    }

    GC_ERROR Start(uint64_t frames = GENTL_INFINITE) {
        return lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, frames);
    }
    GC_ERROR Stop() { return lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT); }

    uint64_t Delivered() { return StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED); }
    size_t Queued() { return StreamInfo<size_t>(STREAM_INFO_NUM_QUEUED); }

    // Error events waiting, each checked to be the camera's failure report.
    size_t CameraErrors() {
        size_t count = 0;
        for (;;) {
            char data[512] = {};
            size_t size = sizeof data;
            if (lib.EventGetData(errors, data, &size, 0) != GC_ERR_SUCCESS) {
                return count;
            }
            int32_t code = 0;
            std::memcpy(&code, data, sizeof code);
            EXPECT_EQ(GC_ERR_ERROR, code);
            EXPECT_NE(nullptr, std::strstr(data + 4, "The camera failed to deliver a frame.")) << data + 4;
            ++count;
        }
    }

    std::unique_ptr<SimulatedCamera> camera;
    EVENT_HANDLE errors = nullptr;
};

// A failed grab gives its buffer back at the front of the input pool: with every buffer queued
// again at once, the buffers still come in queue order, and the frame IDs have no gaps since a
// failed frame uses up no frame number. Each failure is reported once on the error event.
TEST_F(FaultInjection, FailedGrabsPutTheBufferBackAtTheFrontAndUseUpNoFrameID) {
    Fault(Quibbon::kParamFaultFailEvery, 2);
    const auto buffers = AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start(10));
    for (uint64_t frame = 0; frame < 10; ++frame) {
        const BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_EQ(buffers[frame % 5], buffer) << "frame " << frame;
        EXPECT_EQ(frame, BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID));
        EXPECT_FALSE(BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(10u, Delivered());
    // Due frames 2, 4, ..., 18 failed; the 19th was the tenth delivered.
    EXPECT_EQ(9u, CameraErrors());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {});
}

// Dropped frames are gaps in the frame IDs, and the image in each buffer is the one of its ID.
TEST_F(FaultInjection, DroppedFramesShowAsGapsInTheFrameIDs) {
    Fault(Quibbon::kParamFaultDropEvery, 3);
    const auto buffers = AnnounceAndQueue(6);
    const Quibbon::Sim::ImageSetup setup{ReadWord(remote, kRegPixelFormat), 64, 32, Quibbon::kPatternMovingRamp};
    ASSERT_EQ(GC_ERR_SUCCESS, Start(6));
    std::set<BUFFER_HANDLE> taken;
    for (uint64_t expected : {0, 1, 3, 4, 6, 7}) {
        const BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        taken.insert(buffer);
        ASSERT_EQ(expected, BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID));
        const auto* image = static_cast<const uint8_t*>(BufferInfo<void*>(buffer, BUFFER_INFO_BASE));
        const std::vector<uint8_t> reference = Quibbon::Sim::ExpectedPayload(setup, static_cast<uint32_t>(expected), false);
        ASSERT_EQ(reference.size(), BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_TRUE(std::equal(reference.begin(), reference.end(), image)) << "frame " << expected;
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(6u, Delivered());
    EXPECT_EQ(0u, CameraErrors());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, taken);
}

TEST_F(FaultInjection, IncompleteFramesAreDeliveredHalfFilledAndFlagged) {
    Fault(Quibbon::kParamFaultIncompleteEvery, 2);
    const auto buffers = AnnounceAndQueue(5);
    const size_t payload = ReadWord(remote, kRegPayload);
    ASSERT_EQ(GC_ERR_SUCCESS, Start(4));
    for (uint64_t frame = 0; frame < 4; ++frame) {
        const BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        EXPECT_EQ(frame, BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID));
        const bool incomplete = frame % 2 == 1;
        EXPECT_EQ(incomplete, BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE) != 0) << "frame " << frame;
        EXPECT_EQ(incomplete ? payload / 2 : payload, BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_FALSE(BufferInfo<uint8_t>(buffer, BUFFER_INFO_DATA_LARGER_THAN_BUFFER));
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(4u, Delivered());
    EXPECT_EQ(0u, CameraErrors());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {buffers[0], buffers[1], buffers[2], buffers[3]});
}

// Every fault at once, with a consumer that queues each buffer again: the frame IDs, the
// incomplete flags, the delivered count and the failures are exactly those the fault settings
// give. Due frames fail every 3rd time; of the others every 4th is dropped and every 5th (unless
// dropped) is incomplete.
TEST_F(FaultInjection, EveryFaultAtOnceKeepsTheCountsExact) {
    Fault(Quibbon::kParamFaultFailEvery, 3);
    Fault(Quibbon::kParamFaultDropEvery, 4);
    Fault(Quibbon::kParamFaultIncompleteEvery, 5);
    Fault(Quibbon::kParamFaultDelayMs, 1);
    constexpr uint64_t kFrames = 30;
    const auto buffers = AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start(kFrames));

    std::vector<uint64_t> expected_ids;
    std::set<uint64_t> expected_incomplete;
    uint64_t expected_failures = 0;
    for (uint64_t due = 1, frame = 0; expected_ids.size() < kFrames; ++due) {
        if (due % 3 == 0) {
            ++expected_failures;
            continue;
        }
        ++frame;  // frames that were not failed, from 1
        if (frame % 4 == 0) {
            continue;
        }
        expected_ids.push_back(frame - 1);
        if (frame % 5 == 0) {
            expected_incomplete.insert(frame - 1);
        }
    }

    for (uint64_t expected : expected_ids) {
        const BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        const uint64_t id = BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID);
        EXPECT_EQ(expected, id);
        EXPECT_EQ(expected_incomplete.count(id) == 1, BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE) != 0)
            << "frame " << id;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(kFrames, Delivered());
    EXPECT_EQ(expected_failures, CameraErrors());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {});
}

// A grab that waits (out its time-out, for a slow camera, for a frame that is not dropped, or for
// a trigger) ends at once when the acquisition stops or the stream closes: the buffer it held is back in the input pool, nothing
// was delivered, and the stream acquires again afterwards. The time stop and close take is
// printed; the grab itself would wait up to 500 ms.
struct HeldGrab {
    const char* name;
    int32_t parameter;  // a fault parameter, or 0 for trigger mode
    int32_t value;
};

class GrabHeldUp : public FaultInjection, public ::testing::WithParamInterface<HeldGrab> {
protected:
    void HoldUp(bool on) {
        const HeldGrab& held = GetParam();
        if (held.parameter == 0) {
            ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegTriggerMode, on ? 1 : 0));
        } else {
            Fault(held.parameter, on ? held.value : 0);
        }
    }

    // Starts, waits until the thread holds a buffer in its grab, then runs the call and returns
    // how long it took in milliseconds.
    template <class Call>
    double TimedWhileGrabbing(Call call) {
        EXPECT_EQ(GC_ERR_SUCCESS, Start());
        EXPECT_TRUE(Eventually([&] { return Queued() == 4; }));
        const auto begin = std::chrono::steady_clock::now();
        BlockingCall<GC_ERROR> running(call);  // gives up loudly if the call never returns
        EXPECT_EQ(GC_ERR_SUCCESS, running.Get()) << lib.Error().text;
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    }
};

TEST_P(GrabHeldUp, StopAndCloseEndTheWaitingGrab) {
    HoldUp(true);
    const auto buffers = AnnounceAndQueue(5);
    const double stop_ms = TimedWhileGrabbing([&] { return Stop(); });
    EXPECT_EQ(0u, ReadWord(stream, kRegThreadRunning));
    EXPECT_EQ(5u, Queued());
    EXPECT_EQ(0u, Delivered());
    for (BUFFER_HANDLE buffer : buffers) {
        EXPECT_FALSE(BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_ACQUIRING));
    }
    EXPECT_FALSE(StreamInfo<uint8_t>(STREAM_INFO_IS_GRABBING));

    // The stream object was re-armed: frames flow again once the camera behaves.
    HoldUp(false);
    ASSERT_EQ(GC_ERR_SUCCESS, Start(2));
    const BUFFER_HANDLE first = NextBuffer();
    const BUFFER_HANDLE second = NextBuffer();
    ASSERT_EQ(buffers[0], first);
    ASSERT_EQ(buffers[1], second);
    EXPECT_EQ(BufferInfo<uint64_t>(first, BUFFER_INFO_FRAMEID) + 1, BufferInfo<uint64_t>(second, BUFFER_INFO_FRAMEID));
    ASSERT_TRUE(WaitForThreadEnd());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {first, second});

    HoldUp(true);
    const double close_ms = TimedWhileGrabbing([&] { return lib.DSClose(stream); });
    std::printf("[ measured ] %s: stop %.2f ms, close %.2f ms while a grab waited\n", GetParam().name, stop_ms,
                close_ms);
    RecordProperty("stop_ms", std::to_string(stop_ms));
    RecordProperty("close_ms", std::to_string(close_ms));
}

INSTANTIATE_TEST_SUITE_P(Faults, GrabHeldUp,
                         ::testing::Values(HeldGrab{"TimeOutEveryGrab", Quibbon::kParamFaultTimeoutEvery, 1},
                                           HeldGrab{"SlowCamera", Quibbon::kParamFaultDelayMs, 400},
                                           HeldGrab{"DropEveryFrame", Quibbon::kParamFaultDropEvery, 1},
                                           HeldGrab{"WaitingForATrigger", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A flush that discards every buffer while the thread fills one must not leave that buffer queued
// twice once the consumer queues it again: the grab gives it back (or delivers it) as well.
TEST_F(FaultInjection, DiscardingTheBufferInTheGrabNeitherLosesNorDuplicatesIt) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegTriggerMode, 1));
    const auto buffers = AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    ASSERT_TRUE(Eventually([&] { return Queued() == 4; }));  // buffers[0] is in the grab
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
    EXPECT_EQ(0u, Queued());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[0]));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[1]));
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    EXPECT_EQ(2u, Queued());
    // Two triggered frames fill the two queued buffers, one each.
    ASSERT_EQ(GC_ERR_SUCCESS, Start(2));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    const BUFFER_HANDLE first = NextBuffer();
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    const BUFFER_HANDLE second = NextBuffer();
    EXPECT_EQ((std::set<BUFFER_HANDLE>{buffers[0], buffers[1]}), (std::set<BUFFER_HANDLE>{first, second}));
    ASSERT_TRUE(WaitForThreadEnd());
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {first, second}, {buffers[2], buffers[3], buffers[4]});
}

}  // namespace
}  // namespace quarvo_test
