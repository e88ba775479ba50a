// The acquisition engine through the exported functions: frame counts and IDs, triggers,
// underruns, small buffers, stopping and closing in the middle of an acquisition, and the
// new-buffer event.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "reliability/BufferAccounting.h"
#include "simulator/PatternGenerator.h"
#include "support/OpenStream.h"

namespace quarvo_test {
namespace {

class Acquisition : public OpenStream {
protected:
    void SetUp() override {
        OpenStream::SetUp();
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x118, 0));  // as fast as possible
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x104, 64));
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x108, 32));
    }

    uint64_t Delivered() { return StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED); }

    GC_ERROR Start(uint64_t frames = GENTL_INFINITE) {
        return lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, frames);
    }
    GC_ERROR Stop() { return lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT); }

};

TEST_F(Acquisition, ALimitedAcquisitionDeliversExactlyThatManyAndIDsGoOnAfterARestart) {
    AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start(3));
    for (uint64_t id = 0; id < 3; ++id) {
        EXPECT_EQ(id, BufferInfo<uint64_t>(NextBuffer(), BUFFER_INFO_FRAMEID));
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(3u, Delivered());
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, Start(3));
    EXPECT_EQ("Acquisition already started.", lib.Error().text);
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, Stop());
    EXPECT_EQ("The acquisition has already been terminated or it has not been started.", lib.Error().text);

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_TO_INPUT));
    ASSERT_EQ(GC_ERR_SUCCESS, Start(2));
    EXPECT_EQ(3u, BufferInfo<uint64_t>(NextBuffer(), BUFFER_INFO_FRAMEID));
    EXPECT_EQ(4u, BufferInfo<uint64_t>(NextBuffer(), BUFFER_INFO_FRAMEID));
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
}

TEST_F(Acquisition, SoftwareTriggersReleaseOneFrameEachAndTheLimitRegisterEndsTheThread) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x120, 1));  // trigger mode
    AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    EXPECT_EQ(0xFFFFFFFFu, ReadWord(stream, 0x34));
    for (int trigger = 0; trigger < 3; ++trigger) {
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
        ASSERT_NE(nullptr, NextBuffer());
    }
    // Two more frames, then the thread ends by itself although more triggers come.
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(stream, 0x34, 2));
    for (int trigger = 0; trigger < 4; ++trigger) {
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    }
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(0u, ReadWord(stream, 0x34));
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    EXPECT_EQ(5u, Delivered());
}

TEST_F(Acquisition, UnderrunsAreCountedWhileNoBufferIsQueued) {
    Announce(5, ReadWord(remote, 0x114));
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    const auto give_up = std::chrono::steady_clock::now() + kWatchdog;
    while (StreamInfo<uint64_t>(STREAM_INFO_NUM_UNDERRUN) == 0 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_LT(0u, StreamInfo<uint64_t>(STREAM_INFO_NUM_UNDERRUN));
    BUFFER_HANDLE buffer = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferID(stream, 0, &buffer));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    EXPECT_EQ(buffer, NextBuffer());
    EXPECT_EQ(GC_ERR_INVALID_INDEX, lib.DSGetBufferID(stream, 5, &buffer));
    EXPECT_EQ("Invalid Buffer Index 5", lib.Error().text);
}

// A buffer smaller than the image receives its first bytes, never more; the frame is used up and
// the next buffer gets the next frame.
TEST_F(Acquisition, ASmallBufferIsFilledTruncatedAndReported) {
    EVENT_HANDLE errors = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors));
    const uint32_t payload = ReadWord(remote, 0x114);
    constexpr size_t kSmall = 64;
    std::vector<uint8_t> memory(kSmall + 64, 0xEE);
    BUFFER_HANDLE small = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAnnounceBuffer(stream, memory.data(), kSmall, nullptr, &small));
    const auto normal = Announce(4, payload);
    for (BUFFER_HANDLE buffer : {normal[0], small, normal[1]}) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    }
    ASSERT_EQ(GC_ERR_SUCCESS, Start(3));
    EXPECT_EQ(normal[0], NextBuffer());
    ASSERT_EQ(small, NextBuffer());
    EXPECT_TRUE(BufferInfo<uint8_t>(small, BUFFER_INFO_IS_INCOMPLETE));
    EXPECT_TRUE(BufferInfo<uint8_t>(small, BUFFER_INFO_DATA_LARGER_THAN_BUFFER));
    EXPECT_EQ(kSmall, BufferInfo<size_t>(small, BUFFER_INFO_SIZE_FILLED));
    const std::vector<uint8_t> expected =
        Quibbon::Sim::ExpectedPayload({ReadWord(remote, 0x10C), 64, 32, Quibbon::kPatternMovingRamp}, 1, false);
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + kSmall, expected.begin()));
    EXPECT_TRUE(std::all_of(memory.begin() + kSmall, memory.end(), [](uint8_t byte) { return byte == 0xEE; }));
    const BUFFER_HANDLE next = NextBuffer();
    ASSERT_EQ(normal[1], next);
    EXPECT_EQ(2u, BufferInfo<uint64_t>(next, BUFFER_INFO_FRAMEID));
    EXPECT_FALSE(BufferInfo<uint8_t>(next, BUFFER_INFO_IS_INCOMPLETE));
    char data[256] = {};
    size_t size = sizeof data;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetData(errors, data, &size, 1000)) << lib.Error().text;
    int32_t code = 0;
    std::memcpy(&code, data, sizeof code);
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, code);
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
}

// In trigger mode without triggers the thread waits inside the grab; stopping ends that wait.
TEST_F(Acquisition, StopEndsAGrabWaitingForATrigger) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x120, 1));
    AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    EXPECT_EQ(1u, ReadWord(stream, 0x50));
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    EXPECT_EQ(0u, ReadWord(stream, 0x50));
    EXPECT_EQ(0u, Delivered());
    EXPECT_EQ(5u, StreamInfo<size_t>(STREAM_INFO_NUM_QUEUED));  // the buffer the grab held is back
    // The stream starts again and a trigger gets its frame.
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    EXPECT_NE(nullptr, NextBuffer());
}

TEST_F(Acquisition, NewBufferEventQueriesAndWaits) {
    auto buffers = AnnounceAndQueue(5);
    EVENT_NEW_BUFFER_DATA data{};
    size_t size = 0;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.EventGetData(newBuffer, nullptr, &size, 0));
    size_t value = 0;
    size_t value_size = sizeof value;
    INFO_DATATYPE type = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(newBuffer, EVENT_SIZE_MAX, &type, &value, &value_size));
    EXPECT_EQ(16u, value);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(newBuffer, EVENT_INFO_DATA_SIZE_MAX, &type, &value, &value_size));
    EXPECT_EQ(8u, value);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.EventGetInfo(newBuffer, EVENT_NUM_FIRED, &type, &value, &value_size));

    // A waiting reader is woken by the first frame.
    BlockingCall<GC_ERROR> reader([&] { return WaitForNewBuffer(lib, newBuffer, data); });
    ASSERT_TRUE(reader.Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, Start(2));
    ASSERT_EQ(GC_ERR_SUCCESS, reader.Get());
    EXPECT_EQ(buffers[0], data.BufferHandle);
    EXPECT_EQ(reinterpret_cast<void*>(1), data.pUserPointer);
    ASSERT_TRUE(WaitForDelivered(2));
    size = sizeof data;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetData(newBuffer, nullptr, &size, 0));  // a size query
    EXPECT_EQ(16u, size);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(newBuffer, EVENT_NUM_IN_QUEUE, &type, &value, &value_size));
    EXPECT_EQ(1u, value);

    void* pointer = nullptr;
    size_t pointer_size = sizeof pointer;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(newBuffer, &data, sizeof data, EVENT_DATA_VALUE, &type, &pointer,
                                                   &pointer_size));
    EXPECT_EQ(INFO_DATATYPE_PTR, type);
    EXPECT_EQ(reinterpret_cast<void*>(1), pointer);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER,
              lib.EventGetDataInfo(newBuffer, &data, 8, EVENT_DATA_ID, &type, &pointer, &pointer_size));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventFlush(newBuffer));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(newBuffer, EVENT_NUM_IN_QUEUE, &type, &value, &value_size));
    EXPECT_EQ(0u, value);
}

// Queueing a buffer that waits for delivery takes it out of the output queue, which the
// acquisition thread appends to. One thread queues the waiting buffer while the acquisition thread
// grabs the next frame, triggered once the queueing is done; the reader then takes that frame. The
// test learns of the queueing through a flag that carries no ordering, and of the delivery through
// the buffer's queued flag (consumer calls on one stream are ordered among themselves, so a wait on
// the new-buffer event would order the two): only the stream's queue locks order the queueing and
// the delivery, and ThreadSanitizer reports a queueing that leaves them out.
TEST_F(Acquisition, QueueingAWaitingBufferWhileTheNextFrameIsDelivered) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x120, 1));  // trigger mode
    const auto buffers = AnnounceAndQueue(6);
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    ASSERT_TRUE(WaitForDelivered(1));
    // The thread holds the second buffer in its grab once four are left in the input pool.
    ASSERT_TRUE(Eventually([&] { return StreamInfo<size_t>(STREAM_INFO_NUM_QUEUED) == 4; }));

    std::atomic<bool> queued{false};
    std::thread queuer([&] {
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[0])) << lib.Error().text;
        queued.store(true, std::memory_order_relaxed);
    });
    while (!queued.load(std::memory_order_relaxed)) {
        std::this_thread::yield();
    }
    // The queueing thread is joined only after the delivery, as joining would order the two; no
    // assertion may return before the join.
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    EXPECT_TRUE(Eventually([&] { return BufferInfo<uint8_t>(buffers[1], BUFFER_INFO_IS_QUEUED) == 0; }));
    EXPECT_EQ(buffers[1], NextBuffer());  // the queued buffer is not delivered again
    queuer.join();
    EXPECT_EQ(1u, BufferInfo<uint8_t>(buffers[0], BUFFER_INFO_IS_QUEUED));
    ASSERT_EQ(GC_ERR_SUCCESS, Stop());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {buffers[1]});
}

TEST_F(Acquisition, KillAndUnregisterEndABlockedWait) {
    AnnounceAndQueue(5);
    const auto wait = [this] {
        EVENT_NEW_BUFFER_DATA data{};
        size_t size = sizeof data;
        return lib.EventGetData(newBuffer, &data, &size, GENTL_INFINITE);
    };
    {
        BlockingCall<GC_ERROR> reader(wait);
        ASSERT_TRUE(reader.Blocks());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.EventKill(newBuffer));
        EXPECT_EQ(GC_ERR_ABORT, reader.Get());
    }
    // A kill with nobody waiting does not end the next wait.
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventKill(newBuffer));
    ASSERT_EQ(GC_ERR_SUCCESS, Start(1));
    EXPECT_NE(nullptr, NextBuffer());
    {
        BlockingCall<GC_ERROR> reader(wait);
        ASSERT_TRUE(reader.Blocks());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCUnregisterEvent(stream, EVENT_NEW_BUFFER));
        EXPECT_EQ(GC_ERR_ABORT, reader.Get());
    }
}

// Closing in the middle of an acquisition, from the stream up to the library, stops the thread
// and frees every buffer in both queues (AddressSanitizer) and wakes a waiting consumer.
class ClosingMidAcquisition : public Acquisition, public ::testing::WithParamInterface<const char*> {
protected:
    GC_ERROR Close() {
        const std::string how = GetParam();
        if (how == "DSClose") return lib.DSClose(stream);
        if (how == "DevClose") return lib.DevClose(device);
        if (how == "IFClose") return lib.IFClose(iface);
        if (how == "TLClose") return lib.TLClose(system);
        return lib.GCCloseLib();
    }
};

TEST_P(ClosingMidAcquisition, StopsTheThreadAndFreesEveryBuffer) {
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x120, 1));  // trigger mode: the grab waits
    auto buffers = AnnounceAndQueue(6);
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x124, 1));
    ASSERT_TRUE(WaitForDelivered(2));  // two buffers wait for delivery, four are queued
    EVENT_HANDLE errors = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors));
    BlockingCall<GC_ERROR> reader([this, errors] {
        char data[64];
        size_t size = sizeof data;
        return lib.EventGetData(errors, data, &size, GENTL_INFINITE);
    });
    ASSERT_TRUE(reader.Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, Close());
    EXPECT_EQ(GC_ERR_ABORT, reader.Get());
    // Back to an open interface, so that only the handles themselves can be refused.
    const std::string how = GetParam();
    if (how == "GCCloseLib") {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    }
    if (how == "GCCloseLib" || how == "TLClose") {
        system = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system));
    }
    if (how != "DSClose" && how != "DevClose") {
        OpenInterface(1);
    }
    uint32_t word = 0;
    size_t size = sizeof word;
    for (void* dead : {stream, buffers[0], buffers[5]}) {
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(dead, 0x4, &word, &size));
    }
}

INSTANTIATE_TEST_SUITE_P(Closes, ClosingMidAcquisition,
                         ::testing::Values("DSClose", "DevClose", "IFClose", "TLClose", "GCCloseLib"));

}  // namespace
}  // namespace quarvo_test

namespace quarvo_test {
namespace {

// A consumer that unloads the producer in the middle of an acquisition, without closing anything,
// must not leave its acquisition thread running in unloaded code.
TEST(UnloadWithoutClosing, StopsTheAcquisitionFirst) {
    for (int round = 0; round < 2; ++round) {
        ProducerLib lib;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
        TL_HANDLE system = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 100));
        IF_HANDLE iface = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, "QB::Board0", &iface));
        DEV_HANDLE device = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFOpenDevice(iface, "Cam00", DEVICE_ACCESS_CONTROL, &device));
        DS_HANDLE stream = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(device, "DS0", &stream));
        for (int i = 0; i < 5; ++i) {
            BUFFER_HANDLE buffer = nullptr;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(stream, 640 * 480, nullptr, &buffer));
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
        }
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    }
}

}  // namespace
}  // namespace quarvo_test
