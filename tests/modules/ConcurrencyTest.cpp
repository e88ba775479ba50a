// Several consumer threads on one producer: opening at once, and closing modules while other
// threads still call into them. Run under ThreadSanitizer and AddressSanitizer, these catch races,
// objects freed under running calls and objects that nobody owns any more.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

#include "support/OpenSystem.h"

using quarvo_test::OpenSystem;
using quarvo_test::ProducerLib;

namespace {

constexpr int kRounds = 150;

// Runs both functions on their own threads, released together so that they really overlap.
void RunTogether(const std::function<void()>& first, const std::function<void()>& second) {
    std::atomic<int> ready{0};
    const auto start = [&ready](const std::function<void()>& body) {
        return std::thread([&ready, &body] {
            ++ready;
            while (ready.load() < 2) {
            }
            body();
        });
    };
    std::thread a = start(first);
    std::thread b = start(second);
    a.join();
    b.join();
}

TEST(OpeningAtOnce, ExactlyOneOfTwoThreadsOpensTheLibraryAndTheSystem) {
    ProducerLib lib;
    for (int round = 0; round < kRounds; ++round) {
        GC_ERROR init[2] = {};
        RunTogether([&] { init[0] = lib.GCInitLib(); }, [&] { init[1] = lib.GCInitLib(); });
        ASSERT_EQ((std::multiset<GC_ERROR>{GC_ERR_SUCCESS, GC_ERR_RESOURCE_IN_USE}),
                  (std::multiset<GC_ERROR>{init[0], init[1]}));

        TL_HANDLE handles[2] = {};
        GC_ERROR open[2] = {};
        RunTogether([&] { open[0] = lib.TLOpen(&handles[0]); }, [&] { open[1] = lib.TLOpen(&handles[1]); });
        ASSERT_EQ((std::multiset<GC_ERROR>{GC_ERR_SUCCESS, GC_ERR_RESOURCE_IN_USE}),
                  (std::multiset<GC_ERROR>{open[0], open[1]}));
        TL_HANDLE winner = open[0] == GC_ERR_SUCCESS ? handles[0] : handles[1];
        ASSERT_NE(nullptr, winner);
        ASSERT_EQ(nullptr, open[0] == GC_ERR_SUCCESS ? handles[1] : handles[0]);
        // The winner's System is the library's: it closes, and nothing else is left open.
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLClose(winner));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
    }
}

using CloseWhileInUse = OpenSystem;

// Calls running on other threads keep the module they found alive; once it is closed they are
// refused with GC_ERR_INVALID_HANDLE, never served from freed memory.
TEST_F(CloseWhileInUse, InterfaceCallsOnOtherThreadsSeeALiveModuleOrADeadHandle) {
    const std::string id = InterfaceID(0);
    for (int round = 0; round < kRounds; ++round) {
        IF_HANDLE iface = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, id.c_str(), &iface));
        std::atomic<bool> closed{false};
        RunTogether(
            [&] {
                for (int call = 0; call < 20 && !closed; ++call) {
                    uint32_t value = 0;
                    size_t size = sizeof value;
                    const GC_ERROR read = lib.GCReadPort(iface, 0x480, &value, &size);
                    ASSERT_TRUE(read == GC_ERR_SUCCESS || read == GC_ERR_INVALID_HANDLE) << read;
                    EVENT_HANDLE event = nullptr;
                    const GC_ERROR registered = lib.GCRegisterEvent(iface, EVENT_MODULE, &event);
                    ASSERT_TRUE(registered == GC_ERR_SUCCESS || registered == GC_ERR_INVALID_HANDLE) << registered;
                    if (registered == GC_ERR_SUCCESS) {
                        const GC_ERROR unregistered = lib.GCUnregisterEvent(iface, EVENT_MODULE);
                        ASSERT_TRUE(unregistered == GC_ERR_SUCCESS || unregistered == GC_ERR_INVALID_HANDLE)
                            << unregistered;
                    }
                }
            },
            [&] {
                ASSERT_EQ(GC_ERR_SUCCESS, lib.IFClose(iface));
                closed = true;
            });
    }
}

using StreamWhileInUse = OpenSystem;

// Announces buffers until the stream refuses, and returns the refusal.
GC_ERROR AnnounceUntilRefused(ProducerLib& lib, DS_HANDLE stream, std::atomic<int>& announced) {
    for (;;) {
        BUFFER_HANDLE buffer = nullptr;
        const GC_ERROR result = lib.DSAllocAndAnnounceBuffer(stream, 64, nullptr, &buffer);
        if (result != GC_ERR_SUCCESS) {
            return result;
        }
        ++announced;
    }
}

// Announcing on one thread while another closes the stream, or its device: each announcement
// either happened before the close (and the close withdrew it) or is refused as made on a closed
// stream. Nothing may stay behind in the library's records: with every stream closed and a new
// one without buffers, the library still knows of no announced buffer.
TEST_F(StreamWhileInUse, AnnouncingWhileTheStreamOrItsDeviceClosesLeavesNoBufferBehind) {
    const IF_HANDLE iface = OpenInterface(0);
    for (int round = 0; round < 2 * kRounds; ++round) {
        const bool closeDevice = round % 2 == 1;
        const DEV_HANDLE device = OpenDevice(iface, "Cam00");
        DS_HANDLE stream = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(device, "DS0", &stream)) << lib.Error().text;
        std::atomic<int> announced{0};
        GC_ERROR refusal = GC_ERR_SUCCESS;
        RunTogether([&] { refusal = AnnounceUntilRefused(lib, stream, announced); },
                    [&] {
                        while (announced.load() < 2) {
                        }
                        ASSERT_EQ(GC_ERR_SUCCESS, closeDevice ? lib.DevClose(device) : lib.DSClose(stream))
                            << lib.Error().text;
                    });
        ASSERT_EQ(GC_ERR_INVALID_HANDLE, refusal) << "round " << round;
        if (!closeDevice) {
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device)) << lib.Error().text;
        }
    }
    DS_HANDLE stream = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(OpenDevice(iface, "Cam00"), "DS0", &stream)) << lib.Error().text;
    int notABuffer = 0;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DSRevokeBuffer(stream, &notABuffer, nullptr, nullptr));
    EXPECT_EQ("There's no opened announced buffer.", lib.Error().text);
}

// Device queries from several threads at once: the stream count a device reports is shared
// state (ThreadSanitizer reports a write without a lock).
TEST_F(StreamWhileInUse, StreamCountsAskedOnManyThreads) {
    const DEV_HANDLE device = OpenDevice(OpenInterface(0), "Cam00");
    const auto ask = [&] {
        for (int call = 0; call < 200; ++call) {
            uint32_t count = 0;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DevGetNumDataStreams(device, &count));
            ASSERT_EQ(1u, count);
        }
    };
    RunTogether(ask, ask);
}

}  // namespace
