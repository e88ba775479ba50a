// The acquisition thread when the system fails it: no thread can be created, or memory runs out
// inside the thread. This executable replaces operator new and pthread_create for the whole
// process (the producer loaded with dlopen binds to them too), so that a test can make them fail
// on demand; unarmed, they forward to malloc and to the C library.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "framegrabber/Quibbon.h"
#include "support/OpenStream.h"
#include "support/SimulatorAccess.h"

namespace {

std::atomic<bool> g_refuseThreads{false};
// While set, the next allocation made on a thread other than g_allocatingThread fails.
std::atomic<bool> g_failNextForeignAllocation{false};
std::thread::id g_allocatingThread;

void* Allocate(std::size_t size) {
    if (g_failNextForeignAllocation.load() && std::this_thread::get_id() != g_allocatingThread &&
        g_failNextForeignAllocation.exchange(false)) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

}  // namespace

// Exported, against the build's hidden default, so that the loaded libraries bind to them.
#define QUARVO_EXPORTED __attribute__((visibility("default")))
QUARVO_EXPORTED void* operator new(std::size_t size) { return Allocate(size); }
QUARVO_EXPORTED void* operator new[](std::size_t size) { return Allocate(size); }
QUARVO_EXPORTED void operator delete(void* memory) noexcept { std::free(memory); }
QUARVO_EXPORTED void operator delete[](void* memory) noexcept { std::free(memory); }
QUARVO_EXPORTED void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
QUARVO_EXPORTED void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
// The no-throw forms too, so that no memory is ever freed by another allocator than its own.
QUARVO_EXPORTED void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
QUARVO_EXPORTED void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
QUARVO_EXPORTED void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
QUARVO_EXPORTED void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

extern "C" QUARVO_EXPORTED int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (g_refuseThreads.load()) {
        return EAGAIN;
    }
    return next(thread, attr, start, arg);
}

namespace quarvo_test {
namespace {

constexpr uint64_t kRegFramesRemaining = 0x34;
constexpr uint64_t kRegThreadRunning = 0x50;
constexpr uint64_t kRegWidth = 0x104;
constexpr uint64_t kRegHeight = 0x108;
constexpr uint64_t kRegFrameRate = 0x118;

class ThreadFailure : public OpenStream {
protected:
    void SetUp() override {
        OpenStream::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegFrameRate, 0));
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegWidth, 64));
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, kRegHeight, 32));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors)) << lib.Error().text;
    }
    void TearDown() override {
        g_refuseThreads = false;
        g_failNextForeignAllocation = false;
        OpenStream::TearDown();
    }

    GC_ERROR Start(uint64_t frames = GENTL_INFINITE) {
        return lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, frames);
    }

    // The stream works as new: it starts, delivers a frame and stops.
    void ExpectAcquisitionWorks() {
        ASSERT_EQ(GC_ERR_SUCCESS, Start(1)) << lib.Error().text;
        EXPECT_NE(nullptr, NextBuffer());
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT)) << lib.Error().text;
    }

    EVENT_HANDLE errors = nullptr;
};

// Start undoes every step when no thread can be made: the stream is not acquiring (buffers can
// be revoked and announced, the frame grabber is not armed, register 0x50 reads 0) and the frame
// limit of the refused start does not replace the one before it.
TEST_F(ThreadFailure, AStartWithoutAThreadLeavesTheStreamIdle) {
    const auto buffers = Announce(5, 64 * 32);
    g_refuseThreads = true;
    EXPECT_EQ(GC_ERR_ERROR, Start(3));
    g_refuseThreads = false;
    const LastError error = lib.Error();
    EXPECT_EQ(GC_ERR_ERROR, error.code);
    EXPECT_EQ(0u, error.text.find("Unable to start the acquisition: the system refused a new thread")) << error.text;
    EXPECT_EQ(0u, ReadWord(stream, kRegThreadRunning));
    EXPECT_EQ(0xFFFFFFFFu, ReadWord(stream, kRegFramesRemaining));
    EXPECT_FALSE(StreamInfo<uint8_t>(STREAM_INFO_IS_GRABBING));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffers[0], nullptr, nullptr)) << lib.Error().text;
    AnnounceAndQueue(1, 64 * 32);
    for (size_t i = 1; i < buffers.size(); ++i) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffers[i])) << lib.Error().text;
    }
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
    ExpectAcquisitionWorks();
}

// Memory running out on the acquisition thread (here while it reports a failed grab) ends the
// acquisition instead of the process: the failure is reported on the error event, register 0x50
// reads 0, every buffer is back in the input pool, and stop and a new start work.
TEST_F(ThreadFailure, OutOfMemoryOnTheThreadEndsTheAcquisitionAndKeepsEveryBuffer) {
    const auto buffers = AnnounceAndQueue(5);
    SimulatedCamera camera(lib, "Board0", "Cam00");
    ASSERT_TRUE(camera.TrySet(Quibbon::kParamFaultFailEvery, 1));
    g_allocatingThread = std::this_thread::get_id();
    g_failNextForeignAllocation = true;
    ASSERT_EQ(GC_ERR_SUCCESS, Start());
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_FALSE(g_failNextForeignAllocation.load()) << "the thread never allocated";

    char data[512] = {};
    size_t size = sizeof data;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetData(errors, data, &size, 0)) << lib.Error().text;
    int32_t code = 0;
    std::memcpy(&code, data, sizeof code);
    EXPECT_EQ(GC_ERR_ERROR, code);
    EXPECT_NE(nullptr, std::strstr(data + 4, "The acquisition stopped: std::bad_alloc.")) << data + 4;

    EXPECT_EQ(buffers.size(), StreamInfo<size_t>(STREAM_INFO_NUM_QUEUED));
    EXPECT_EQ(0u, StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT)) << lib.Error().text;
    ASSERT_TRUE(camera.TrySet(Quibbon::kParamFaultFailEvery, 0));
    ExpectAcquisitionWorks();
}

}  // namespace
}  // namespace quarvo_test
