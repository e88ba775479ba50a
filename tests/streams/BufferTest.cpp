// Buffers of a data stream: announcing, queueing, flushing and revoking in every state, and the
// buffer's own port and information.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "reliability/BufferAccounting.h"
#include "support/OpenStream.h"

namespace quarvo_test {
namespace {

class Buffers : public OpenStream {
protected:
    size_t Queued() { return StreamInfo<size_t>(STREAM_INFO_NUM_QUEUED); }
    size_t Waiting() { return StreamInfo<size_t>(STREAM_INFO_NUM_AWAIT_DELIVERY); }
    size_t Announced() { return StreamInfo<size_t>(STREAM_INFO_NUM_ANNOUNCED); }
    bool IsQueued(BUFFER_HANDLE buffer) { return BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_QUEUED) != 0; }
    bool HasNewData(BUFFER_HANDLE buffer) { return BufferInfo<uint8_t>(buffer, BUFFER_INFO_NEW_DATA) != 0; }

    void SetUp() override {
        OpenStream::SetUp();
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x118, 0));  // as fast as possible
    }

    // Acquires `count` frames into the queued buffers and leaves them waiting for delivery.
    void Fill(uint64_t count) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, count)) << lib.Error().text;
        ASSERT_TRUE(WaitForDelivered(count));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
        ASSERT_EQ(count, Waiting());
    }
};

TEST_F(Buffers, AnnounceChecksAndConsumerMemory) {
    std::vector<uint8_t> memory(64);
    BUFFER_HANDLE buffer = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSAnnounceBuffer(stream, memory.data(), 0, nullptr, &buffer));
    EXPECT_EQ("Specified iSize is 0.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSAnnounceBuffer(stream, nullptr, 64, nullptr, &buffer));
    EXPECT_EQ("Specified pBuffer is invalid: pBuffer = 0x0.", lib.Error().text);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAnnounceBuffer(stream, memory.data(), memory.size(), &memory, &buffer));
    EXPECT_EQ(memory.data(), BufferInfo<void*>(buffer, BUFFER_INFO_BASE));
    EXPECT_EQ(&memory, BufferInfo<void*>(buffer, BUFFER_INFO_USER_PTR));
    EXPECT_EQ(1024u, BufferInfo<size_t>(buffer, BUFFER_INFO_WIDTH));  // nothing filled yet
    uint64_t id = 0;
    size_t size = sizeof id;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_NOT_AVAILABLE, lib.DSGetBufferInfo(stream, buffer, BUFFER_INFO_FRAMEID, &type, &id, &size));
    EXPECT_EQ(GC_ERR_ERROR, lib.DSGetBufferInfo(stream, buffer, BUFFER_INFO_TIMESTAMP, &type, &id, &size));
    EXPECT_EQ("Error Inquire buffer info", lib.Error().text);
    // The buffer port: the address high word first; no register at 0 and no partial words.
    const auto address = reinterpret_cast<uintptr_t>(memory.data());
    EXPECT_EQ(address >> 32, ReadWord(buffer, 0x4));
    EXPECT_EQ(address & 0xFFFFFFFF, ReadWord(buffer, 0x8));
    uint32_t word = 0;
    size = 2;
    EXPECT_EQ(GC_ERR_INVALID_ADDRESS, lib.GCReadPort(buffer, 0x4, &word, &size));
    size = sizeof word;
    EXPECT_EQ(GC_ERR_ERROR, lib.GCReadPort(buffer, 0x0, &word, &size));
    void* revoked = nullptr;
    void* user = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffer, &revoked, &user));
    EXPECT_EQ(memory.data(), revoked);
    EXPECT_EQ(&memory, user);
}

TEST_F(Buffers, AFailedAllocationLeavesNoBufferBehind) {
    BUFFER_HANDLE buffer = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DSAllocAndAnnounceBuffer(stream, SIZE_MAX / 2, nullptr, &buffer));
    EXPECT_EQ("Invalid Memory Buffer", lib.Error().text);
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0u, Announced());
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_TO_INPUT));
    EXPECT_EQ(0u, Queued());
}

// Pages of the buffer [memory, memory + size) that are in memory now.
size_t ResidentPages(const void* memory, size_t size) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(memory) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + size) & ~(page - 1);
    std::vector<unsigned char> resident((end - first) / page);
    EXPECT_EQ(0, mincore(reinterpret_cast<void*>(first), end - first, resident.data()));
    return static_cast<size_t>(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }));
}

// The producer's own buffers are in memory once announced, so the first frames after a start
// take no page faults; a buffer too large to be meant for one frame is left to its first use.
TEST_F(Buffers, AllocatedBuffersAreInMemoryOnceAnnounced) {
    void* probe = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const bool populates = madvise(probe, 4096, MADV_POPULATE_WRITE) == 0;
    munmap(probe, 4096);
    if (!populates) {
        GTEST_SKIP() << "the kernel cannot populate pages ahead of use";
    }
    for (const size_t size : {size_t{4} << 20, size_t{256} << 20}) {
        BUFFER_HANDLE buffer = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(stream, size, nullptr, &buffer)) << lib.Error().text;
        const auto* memory = BufferInfo<void*>(buffer, BUFFER_INFO_BASE);
        const size_t pages = size / static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t resident = ResidentPages(memory, size);
        if (size <= (size_t{64} << 20)) {
            EXPECT_GE(resident, pages - 1) << size;
        } else {
            EXPECT_LT(resident, pages / 2) << size;
        }
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffer, nullptr, nullptr));
    }
}

TEST_F(Buffers, QueueingTwiceAndBuffersOfOtherStreams) {
    auto buffers = AnnounceAndQueue(2, 64);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[0]));
    EXPECT_EQ(2u, Queued());
    // A buffer of another stream is refused here, so no stream can queue a buffer it does not own.
    DEV_HANDLE other = OpenDevice(iface, "Cam01");
    DS_HANDLE otherStream = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(other, "DS0", &otherStream));
    BUFFER_HANDLE foreign = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(otherStream, 64, nullptr, &foreign));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSQueueBuffer(stream, foreign));
    EXPECT_EQ("Invalid Buffer Handle", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSRevokeBuffer(stream, foreign, nullptr, nullptr));
    // Information is answered for any live buffer.
    EXPECT_EQ(64u, BufferInfo<size_t>(foreign, BUFFER_INFO_SIZE));
    std::vector<uint8_t> garbage(64, 0x5A);
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DSQueueBuffer(stream, garbage.data()));
}

TEST_F(Buffers, QueueingAWaitingBufferTakesItOutOfTheOutputQueue) {
    auto buffers = AnnounceAndQueue(2, 640 * 480);
    Announce(3, 64);
    Fill(2);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[0]));
    EXPECT_EQ(1u, Waiting());
    EXPECT_EQ(1u, Queued());
    EXPECT_EQ(GC_ERR_BUSY, lib.DSRevokeBuffer(stream, buffers[1], nullptr, nullptr));
    EXPECT_EQ("Buffer queued.", lib.Error().text);
    EXPECT_EQ(buffers[1], NextBuffer());
    EXPECT_EQ(0u, Waiting());
}

TEST_F(Buffers, EveryFlushOperation) {
    auto buffers = AnnounceAndQueue(4, 640 * 480);
    const BUFFER_HANDLE idle = Announce(1, 640 * 480)[0];
    buffers.push_back(idle);
    Fill(2);  // buffers 0, 1 wait for delivery; 2, 3 are queued; the last is idle
    ASSERT_EQ(buffers[0], NextBuffer());  // delivered: neither queued nor waiting

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_TO_INPUT));
    EXPECT_EQ(5u, Queued());
    EXPECT_EQ(0u, Waiting());

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_INPUT_TO_OUTPUT));
    EXPECT_EQ(0u, Queued());
    EXPECT_EQ(5u, Waiting());
    EXPECT_FALSE(HasNewData(buffers[2]));
    // Moved buffers hold no new data, so the event delivers none of them.
    EVENT_NEW_BUFFER_DATA data{};
    size_t size = sizeof data;
    EXPECT_EQ(GC_ERR_TIMEOUT, lib.EventGetData(newBuffer, nullptr, &size, 0));

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_OUTPUT_DISCARD));
    EXPECT_EQ(0u, Waiting());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[1]));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_UNQUEUED_TO_INPUT));
    EXPECT_EQ(5u, Queued());
    for (BUFFER_HANDLE buffer : buffers) {
        EXPECT_TRUE(IsQueued(buffer));
    }

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
    EXPECT_EQ(0u, Queued());
    EXPECT_EQ(5u, Announced());
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DSFlushQueue(stream, 5));
    EXPECT_EQ("Specified iOperation is invalid.", lib.Error().text);
    for (BUFFER_HANDLE buffer : buffers) {
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffer, nullptr, nullptr)) << lib.Error().text;
    }
    EXPECT_EQ(0u, Announced());
}

// Every flush operation while filled buffers wait for delivery: of six buffers, the consumer
// holds one, two wait in the output queue, two are queued and one is idle. Afterwards each buffer
// is where the operation puts it, and in exactly one place.
enum class Place { Held, Queued, Waiting, Idle };

struct FlushCase {
    const char* name;
    ACQ_QUEUE_TYPE operation;
    // Where the flush leaves the consumer's buffer, the waiting ones, the queued ones, the idle one.
    Place held, waiting, queued, idle;
};

void PrintTo(const FlushCase& flush, std::ostream* out) { *out << flush.name; }

class FlushWhileBuffersWait : public Buffers, public ::testing::WithParamInterface<FlushCase> {};

TEST_P(FlushWhileBuffersWait, LeavesEveryBufferInExactlyOnePlace) {
    const FlushCase& flush = GetParam();
    std::vector<BUFFER_HANDLE> buffers = AnnounceAndQueue(5);
    buffers.push_back(Announce(1, ReadWord(remote, 0x114))[0]);
    Fill(3);
    ASSERT_EQ(buffers[0], NextBuffer());
    ASSERT_EQ(2u, Queued());
    const std::pair<BUFFER_HANDLE, Place> expected[] = {{buffers[0], flush.held},   {buffers[1], flush.waiting},
                                                        {buffers[2], flush.waiting}, {buffers[3], flush.queued},
                                                        {buffers[4], flush.queued},  {buffers[5], flush.idle}};

    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, flush.operation)) << lib.Error().text;
    std::map<Place, std::set<BUFFER_HANDLE>> places;
    for (const auto& [buffer, place] : expected) {
        places[place].insert(buffer);
    }
    EXPECT_EQ(places[Place::Queued].size(), Queued());
    EXPECT_EQ(places[Place::Waiting].size(), Waiting());
    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, places[Place::Held], places[Place::Idle]);
}

INSTANTIATE_TEST_SUITE_P(
    Flushes, FlushWhileBuffersWait,
    ::testing::Values(
        FlushCase{"InputToOutput", ACQ_QUEUE_INPUT_TO_OUTPUT, Place::Held, Place::Waiting, Place::Waiting, Place::Idle},
        FlushCase{"OutputDiscard", ACQ_QUEUE_OUTPUT_DISCARD, Place::Held, Place::Idle, Place::Queued, Place::Idle},
        FlushCase{"AllToInput", ACQ_QUEUE_ALL_TO_INPUT, Place::Queued, Place::Queued, Place::Queued, Place::Queued},
        FlushCase{"UnqueuedToInput", ACQ_QUEUE_UNQUEUED_TO_INPUT, Place::Queued, Place::Waiting, Place::Queued,
                  Place::Queued},
        FlushCase{"AllDiscard", ACQ_QUEUE_ALL_DISCARD, Place::Idle, Place::Idle, Place::Idle, Place::Idle}),
    [](const ::testing::TestParamInfo<FlushCase>& info) { return std::string(info.param.name); });

TEST_F(Buffers, AnnounceAndRevokeAreRefusedWhileAcquiring) {
    auto buffers = AnnounceAndQueue(5, 64);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    BUFFER_HANDLE extra = nullptr;
    std::vector<uint8_t> memory(64);
    EXPECT_EQ(GC_ERR_BUSY, lib.DSAnnounceBuffer(stream, memory.data(), memory.size(), nullptr, &extra));
    EXPECT_EQ(GC_ERR_BUSY, lib.DSAllocAndAnnounceBuffer(stream, 64, nullptr, &extra));
    EXPECT_EQ("Acquisition already started.", lib.Error().text);
    EXPECT_EQ(GC_ERR_BUSY, lib.DSRevokeBuffer(stream, buffers[0], nullptr, nullptr));
    EXPECT_EQ("The acquisition process is running now.", lib.Error().text);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_KILL));
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffers[0], nullptr, nullptr));
}

TEST_F(Buffers, StartNeedsTheMinimumAnnouncedToThisStream) {
    // Buffers announced to another stream do not count for this one.
    DEV_HANDLE other = OpenDevice(iface, "Cam01");
    DS_HANDLE otherStream = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(other, "DS0", &otherStream));
    for (int i = 0; i < 5; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(otherStream, 64, nullptr, &buffer));
    }
    AnnounceAndQueue(4, 64);
    EXPECT_EQ(GC_ERR_INVALID_BUFFER, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 1));
    EXPECT_EQ("The number of announced buffers is leass than the minimum.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSStartAcquisition(stream, 1, 1));
    EXPECT_EQ("Specified iStartFlags is invalid.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 0));
    AnnounceAndQueue(1, 64);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 1));
}

TEST_F(Buffers, StreamIdentityInformationAndPort) {
    EXPECT_EQ("DS0", ReadText(stream, 0x80, 64));
    EXPECT_EQ("Stream DS0", ReadText(stream, 0x100, 256));
    EXPECT_EQ(0xFFFFFFFFu, ReadWord(stream, 0x34));
    AnnounceAndQueue(3, 64);
    EXPECT_EQ(0u, ReadWord(stream, 0x4));  // until 0x0 is written
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(stream, 0x0, 1));
    EXPECT_EQ(3u, ReadWord(stream, 0x4));
    EXPECT_EQ(5u, StreamInfo<size_t>(STREAM_INFO_BUF_ANNOUNCE_MIN));
    EXPECT_EQ(1u, StreamInfo<size_t>(STREAM_INFO_NUM_CHUNKS_MAX));
    char text[16];
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.DSGetInfo(stream, STREAM_INFO_PAYLOAD_SIZE, &type, text, &size));
    EXPECT_EQ("Requested iCmd is not implemented; iCmd = 7.", lib.Error().text);
    uint32_t word = 0;
    size = 3;
    EXPECT_EQ(GC_ERR_INVALID_ADDRESS, lib.GCReadPort(stream, 0x4, &word, &size));
    DS_HANDLE again = nullptr;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.DevOpenDataStream(device, "DS00", &again));
    EXPECT_EQ("Data stream already open", lib.Error().text);
    EXPECT_EQ(GC_ERR_ERROR, lib.DevOpenDataStream(device, "DS1", &again));
    EXPECT_EQ("Unable to open Stream", lib.Error().text);
    DEV_HANDLE parent = nullptr;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetParentDev(stream, &parent));
    EXPECT_EQ(device, parent);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.DSGetNumBufferParts(stream, nullptr, nullptr));
}

}  // namespace
}  // namespace quarvo_test
