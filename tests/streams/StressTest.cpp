// Several consumer threads against running acquisitions on two cameras at once: waiting, queueing,
// flushing and reading information and ports. Under ThreadSanitizer this finds races; afterwards
// every announced buffer must be accounted for exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "support/OpenStream.h"

namespace quarvo_test {
namespace {

constexpr size_t kBuffers = 8;
constexpr int kFramesPerConsumer = 300;

struct StreamUnderTest {
    DS_HANDLE stream = nullptr;
    PORT_HANDLE remote = nullptr;
    EVENT_HANDLE newBuffer = nullptr;
    std::vector<BUFFER_HANDLE> buffers;
};

class Stress : public OpenStream {
protected:
    StreamUnderTest Prepare(DS_HANDLE s, PORT_HANDLE port, EVENT_HANDLE event) {
        StreamUnderTest under{s, port, event, {}};
        EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(port, 0x118, 0));
        EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(port, 0x104, 64));
        EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(port, 0x108, 32));
        for (size_t i = 0; i < kBuffers; ++i) {
            BUFFER_HANDLE buffer = nullptr;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(s, ReadWord(port, 0x114), nullptr, &buffer));
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(s, buffer));
            under.buffers.push_back(buffer);
        }
        return under;
    }

    // Takes filled buffers and queues them again. The disturbers' flushes may take a buffer back
    // into the input pool while it is handed out, so its frame ID may be gone by the time it is
    // read.
    void Consume(const StreamUnderTest& under) {
        for (int taken = 0; taken < kFramesPerConsumer;) {
            EVENT_NEW_BUFFER_DATA data{};
            ASSERT_EQ(GC_ERR_SUCCESS, WaitForNewBuffer(lib, under.newBuffer, data)) << lib.Error().text;
            uint64_t id = 0;
            size_t id_size = sizeof id;
            INFO_DATATYPE type = 0;
            const GC_ERROR read =
                lib.DSGetBufferInfo(under.stream, data.BufferHandle, BUFFER_INFO_FRAMEID, &type, &id, &id_size);
            ASSERT_TRUE(read == GC_ERR_SUCCESS || read == GC_ERR_NOT_AVAILABLE) << read;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(under.stream, data.BufferHandle)) << lib.Error().text;
            ++taken;
        }
    }

    // Flushes, reads information and ports until told to stop.
    void Disturb(const StreamUnderTest& under, const std::atomic<bool>& done) {
        for (unsigned round = 0; !done; ++round) {
            const ACQ_QUEUE_TYPE operation = round % 2 == 0 ? ACQ_QUEUE_UNQUEUED_TO_INPUT : ACQ_QUEUE_ALL_TO_INPUT;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(under.stream, operation));
            size_t count = 0;
            size_t size = sizeof count;
            INFO_DATATYPE type = 0;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetInfo(under.stream, STREAM_INFO_NUM_QUEUED, &type, &count, &size));
            uint8_t flag = 0;
            size = sizeof flag;
            const BUFFER_HANDLE buffer = under.buffers[round % under.buffers.size()];
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferInfo(under.stream, buffer, BUFFER_INFO_IS_QUEUED, &type, &flag, &size));
            uint32_t word = 0;
            size = sizeof word;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(buffer, 0x10, &word, &size));
            size = sizeof word;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(under.stream, 0x34, &word, &size));
            size = sizeof word;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(under.remote, 0x114, &word, &size));
            EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(under.stream, 0x0, 1));
        }
    }

    // After the stop: every buffer is handed out once at most, and all are back in the pool after
    // a flush.
    void CheckAccounting(const StreamUnderTest& under) {
        std::set<BUFFER_HANDLE> delivered;
        for (;;) {
            EVENT_NEW_BUFFER_DATA data{};
            size_t size = sizeof data;
            if (lib.EventGetData(under.newBuffer, &data, &size, 0) != GC_ERR_SUCCESS) {
                break;
            }
            EXPECT_TRUE(delivered.insert(data.BufferHandle).second);
        }
        size_t queued = 0;
        size_t size = sizeof queued;
        INFO_DATATYPE type = 0;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSGetInfo(under.stream, STREAM_INFO_NUM_QUEUED, &type, &queued, &size));
        EXPECT_LE(queued + delivered.size(), kBuffers);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(under.stream, ACQ_QUEUE_ALL_TO_INPUT));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSGetInfo(under.stream, STREAM_INFO_NUM_QUEUED, &type, &queued, &size));
        EXPECT_EQ(kBuffers, queued);
    }
};

TEST_F(Stress, ConsumersAndDisturbersOnTwoRunningCameras) {
    std::vector<StreamUnderTest> streams{Prepare(stream, remote, newBuffer)};
    IF_HANDLE otherInterface = OpenInterface(1);
    DEV_HANDLE otherDevice = OpenDevice(otherInterface, "Cam10");
    DS_HANDLE otherStream = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(otherDevice, "DS0", &otherStream));
    EVENT_HANDLE otherEvent = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(otherStream, EVENT_NEW_BUFFER, &otherEvent));
    streams.push_back(Prepare(otherStream, RemotePort(otherDevice), otherEvent));
    for (const auto& under : streams) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(under.stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    }
    std::atomic<bool> done{false};
    std::vector<std::thread> consumers;
    std::vector<std::thread> disturbers;
    for (const auto& under : streams) {
        consumers.emplace_back([this, &under] { Consume(under); });
        disturbers.emplace_back([this, &under, &done] { Disturb(under, done); });
    }
    for (auto& thread : consumers) {
        thread.join();
    }
    done = true;
    for (auto& thread : disturbers) {
        thread.join();
    }
    for (const auto& under : streams) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(under.stream, ACQ_STOP_FLAGS_DEFAULT));
        CheckAccounting(under);
    }
}

}  // namespace
}  // namespace quarvo_test
