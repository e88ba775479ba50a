// Many consumer threads on one producer while every camera acquires. One worker per camera opens
// its device and stream, acquires (some cameras with injected faults), flushes, and closes again
// in a different way each round; prober threads meanwhile read ports, query information,
// register, wait on, kill and unregister events on whatever handles the workers publish, open or
// already closed, and update the interface and device lists. Under ThreadSanitizer and
// AddressSanitizer this finds races and objects used after they were freed; each worker checks
// its frame IDs and, before its orderly closes, that every announced buffer is accounted for
// exactly once.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "reliability/BufferAccounting.h"
#include "support/BlockingCall.h"
#include "support/NewBufferWait.h"
#include "support/OpenSystem.h"
#include "support/SimulatorAccess.h"

namespace quarvo_test {
namespace {

constexpr int kRounds = 6;
constexpr uint64_t kFramesPerRound = 40;
constexpr size_t kBuffers = 6;
constexpr int kProbers = 2;

struct CameraPlan {
    uint32_t board;
    const char* name;
    int32_t failEvery;
    int32_t dropEvery;
    int32_t incompleteEvery;
};

constexpr CameraPlan kCameras[] = {
    {0, "Cam00", 0, 0, 0},
    {0, "Cam01", 7, 0, 0},
    {1, "Cam10", 0, 5, 3},
    {1, "Cam11", 11, 6, 4},
};
constexpr size_t kCameraCount = sizeof kCameras / sizeof kCameras[0];

// The handles a worker has handed out so far; probers use them, also once they are closed.
struct Published {
    std::atomic<void*> device{nullptr};
    std::atomic<void*> remote{nullptr};
    std::atomic<void*> stream{nullptr};
    std::atomic<void*> buffer{nullptr};
    std::atomic<void*> newBuffer{nullptr};
};

class ConsumerStress : public OpenSystem {
protected:
    // Opens the camera, acquires kFramesPerRound frames and closes; kRounds times.
    void Work(size_t index, IF_HANDLE iface) {
        const CameraPlan& plan = kCameras[index];
        Published& out = published[index];
        for (int round = 0; round < kRounds; ++round) {
            DEV_HANDLE device = nullptr;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.IFOpenDevice(iface, plan.name, DEVICE_ACCESS_CONTROL, &device))
                << plan.name << ": " << lib.Error().text;
            out.device = device;
            PORT_HANDLE remote = nullptr;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DevGetPort(device, &remote));
            out.remote = remote;
            for (const auto& [address, value] : {std::pair{0x118u, 0u}, {0x104u, 64u}, {0x108u, 32u}}) {
                uint32_t word = value;
                size_t size = sizeof word;
                ASSERT_EQ(GC_ERR_SUCCESS, lib.GCWritePort(remote, address, &word, &size));
            }
            DS_HANDLE stream = nullptr;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(device, "DS0", &stream)) << lib.Error().text;
            out.stream = stream;
            EVENT_HANDLE newBuffer = nullptr;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_NEW_BUFFER, &newBuffer));
            out.newBuffer = newBuffer;
            std::vector<BUFFER_HANDLE> buffers;
            for (size_t i = 0; i < kBuffers; ++i) {
                BUFFER_HANDLE buffer = nullptr;
                ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(stream, 64 * 32 * 4, nullptr, &buffer));
                ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
                buffers.push_back(buffer);
            }
            out.buffer = buffers.back();
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));

            Consume(plan, round, stream, newBuffer, buffers);
            if (HasFatalFailure()) {
                return;
            }
            switch (round % 3) {
                case 0:
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
                    ExpectEveryBufferOnce(lib, stream, newBuffer, buffers, {});
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSClose(stream));
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
                    break;
                case 1:
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSClose(stream));  // while acquiring
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
                    break;
                default:
                    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));  // takes the acquiring stream along
                    break;
            }
            frames_taken += kFramesPerRound;
        }
    }

    // Takes filled buffers and queues them again until enough frames came. Every eighth frame of
    // odd rounds the consumer discards everything and queues all buffers again, while the thread
    // may be filling one of them.
    void Consume(const CameraPlan& plan, int round, DS_HANDLE stream, EVENT_HANDLE newBuffer,
                 const std::vector<BUFFER_HANDLE>& buffers) {
        const std::set<BUFFER_HANDLE> known(buffers.begin(), buffers.end());
        const auto give_up = std::chrono::steady_clock::now() + kWatchdog;
        uint64_t last_id = 0;
        for (uint64_t taken = 0; taken < kFramesPerRound;) {
            ASSERT_LT(std::chrono::steady_clock::now(), give_up) << plan.name << " stalled after " << taken;
            EVENT_NEW_BUFFER_DATA data{};
            const GC_ERROR result = WaitForNewBuffer(lib, newBuffer, data);
            // A prober's EventKill ends the wait early.
            if (result == GC_ERR_ABORT) {
                continue;
            }
            ASSERT_EQ(GC_ERR_SUCCESS, result) << plan.name;
            ASSERT_EQ(1u, known.count(data.BufferHandle)) << plan.name;
            uint64_t id = 0;
            size_t size = sizeof id;
            INFO_DATATYPE type = 0;
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferInfo(stream, data.BufferHandle, BUFFER_INFO_FRAMEID, &type, &id, &size));
            if (taken > 0) {
                ASSERT_LT(last_id, id) << plan.name << ": frame IDs must grow, one buffer per frame";
            }
            last_id = id;
            ++taken;
            if (round % 2 == 1 && taken % 8 == 0) {
                ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
                ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_TO_INPUT));
            }
            ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, data.BufferHandle)) << lib.Error().text;
        }
    }

    // Calls on the published handles until the workers are done. Each call either works on a live
    // module or is refused; which codes are acceptable is checked per call.
    void Probe(unsigned seed) {
        std::mt19937 random(seed);
        const auto expect_one_of = [](GC_ERROR result, std::initializer_list<GC_ERROR> allowed, const char* what) {
            for (GC_ERROR code : allowed) {
                if (result == code) {
                    return;
                }
            }
            ADD_FAILURE() << what << " returned " << result;
        };
        while (!workers_done) {
            Published& target = published[random() % kCameraCount];
            uint32_t word = 0;
            size_t size = sizeof word;
            INFO_DATATYPE type = 0;
            switch (random() % 10) {
                case 0:
                    expect_one_of(lib.GCReadPort(target.remote, 0x114, &word, &size),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE}, "GCReadPort(remote)");
                    break;
                case 1:
                    expect_one_of(lib.GCReadPort(target.stream, 0x50, &word, &size),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE}, "GCReadPort(stream)");
                    break;
                case 2: {
                    uint64_t delivered = 0;
                    size = sizeof delivered;
                    expect_one_of(lib.DSGetInfo(target.stream, STREAM_INFO_NUM_DELIVERED, &type, &delivered, &size),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE}, "DSGetInfo");
                    break;
                }
                case 3: {
                    uint8_t flag = 0;
                    size = sizeof flag;
                    expect_one_of(lib.DSGetBufferInfo(target.stream, target.buffer, BUFFER_INFO_IS_QUEUED, &type, &flag,
                                                      &size),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE, GC_ERR_INVALID_PARAMETER}, "DSGetBufferInfo");
                    break;
                }
                case 4: {
                    // The remote device's event: register, raise, wait briefly, kill, unregister.
                    void* device = target.device;
                    EVENT_HANDLE event = nullptr;
                    const GC_ERROR registered = lib.GCRegisterEvent(device, EVENT_REMOTE_DEVICE, &event);
                    expect_one_of(registered, {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE, GC_ERR_RESOURCE_IN_USE},
                                  "GCRegisterEvent(device)");
                    if (registered != GC_ERR_SUCCESS) {
                        break;
                    }
                    word = 1;
                    size = sizeof word;
                    lib.GCWritePort(target.remote, 0x310, &word, &size);
                    char data[256];
                    size_t data_size = sizeof data;
                    expect_one_of(lib.EventGetData(event, data, &data_size, 1),
                                  {GC_ERR_SUCCESS, GC_ERR_TIMEOUT, GC_ERR_INVALID_HANDLE, GC_ERR_ABORT}, "EventGetData");
                    expect_one_of(lib.EventKill(event), {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE}, "EventKill");
                    // Not registered (GC_ERR_NOT_INITIALIZED) when the device closed and a new one
                    // took its address meanwhile.
                    expect_one_of(lib.GCUnregisterEvent(device, EVENT_REMOTE_DEVICE),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE, GC_ERR_NOT_INITIALIZED},
                                  "GCUnregisterEvent(device)");
                    break;
                }
                case 5: {
                    // The stream's error event, which the acquisition thread pushes to on failures.
                    void* stream = target.stream;
                    EVENT_HANDLE event = nullptr;
                    const GC_ERROR registered = lib.GCRegisterEvent(stream, EVENT_ERROR, &event);
                    expect_one_of(registered, {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE, GC_ERR_RESOURCE_IN_USE},
                                  "GCRegisterEvent(stream)");
                    if (registered == GC_ERR_SUCCESS) {
                        char data[512];
                        size_t data_size = sizeof data;
                        expect_one_of(lib.EventGetData(event, data, &data_size, 0),
                                      {GC_ERR_SUCCESS, GC_ERR_TIMEOUT, GC_ERR_INVALID_HANDLE, GC_ERR_ABORT},
                                      "EventGetData(error)");
                        expect_one_of(lib.GCUnregisterEvent(stream, EVENT_ERROR),
                                      {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE, GC_ERR_NOT_INITIALIZED},
                                      "GCUnregisterEvent(stream)");
                    }
                    break;
                }
                case 7: {
                    // The device list is read again while devices open and close.
                    IF_HANDLE iface = interfaces[random() % 2];
                    expect_one_of(lib.IFUpdateDeviceList(iface, nullptr, 0), {GC_ERR_SUCCESS}, "IFUpdateDeviceList");
                    int32_t status = 0;
                    size = sizeof status;
                    const char* name = kCameras[random() % kCameraCount].name;
                    expect_one_of(lib.IFGetDeviceInfo(iface, name, DEVICE_INFO_ACCESS_STATUS, &type, &status, &size),
                                  {GC_ERR_SUCCESS, GC_ERR_INVALID_ID}, "IFGetDeviceInfo");
                    break;
                }
                case 8: {
                    // The interface's device selection and the registers that follow it.
                    IF_HANDLE iface = interfaces[random() % 2];
                    word = random() % 3;
                    expect_one_of(lib.GCWritePort(iface, 0x484, &word, &size), {GC_ERR_SUCCESS}, "select a device");
                    char text[64];
                    size_t text_size = sizeof text;
                    expect_one_of(lib.GCReadPort(iface, 0x380, text, &text_size), {GC_ERR_SUCCESS}, "device ID");
                    size = sizeof word;
                    expect_one_of(lib.GCReadPort(iface, 0x54C, &word, &size), {GC_ERR_SUCCESS}, "access status");
                    break;
                }
                case 9:
                    expect_one_of(lib.TLUpdateInterfaceList(system, nullptr, 0), {GC_ERR_SUCCESS},
                                  "TLUpdateInterfaceList");
                    break;
                default:
                    // Ends a consumer's wait for a filled buffer.
                    expect_one_of(lib.EventKill(target.newBuffer), {GC_ERR_SUCCESS, GC_ERR_INVALID_HANDLE}, "EventKill");
                    break;
            }
            ++probes;
        }
    }

    IF_HANDLE interfaces[2] = {nullptr, nullptr};
    std::array<Published, kCameraCount> published;
    std::atomic<bool> workers_done{false};
    std::atomic<uint64_t> probes{0};
    std::atomic<uint64_t> frames_taken{0};
};

TEST_F(ConsumerStress, WorkersOpenAcquireAndCloseEveryCameraWhileProbersCallIn) {
    std::vector<std::unique_ptr<SimulatedCamera>> cameras;
    interfaces[0] = OpenInterface(0);
    interfaces[1] = OpenInterface(1);
    for (const CameraPlan& plan : kCameras) {
        cameras.push_back(
            std::make_unique<SimulatedCamera>(lib, "Board" + std::to_string(plan.board), plan.name));
        ASSERT_TRUE(cameras.back()->TrySet(Quibbon::kParamFaultFailEvery, plan.failEvery));
        ASSERT_TRUE(cameras.back()->TrySet(Quibbon::kParamFaultDropEvery, plan.dropEvery));
        ASSERT_TRUE(cameras.back()->TrySet(Quibbon::kParamFaultIncompleteEvery, plan.incompleteEvery));
    }
    std::vector<std::thread> probers;
    for (int i = 0; i < kProbers; ++i) {
        probers.emplace_back([this, i] { Probe(1234 + i); });
    }
    std::vector<std::thread> workers;
    for (size_t i = 0; i < kCameraCount; ++i) {
        workers.emplace_back([this, i] { Work(i, interfaces[kCameras[i].board]); });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    workers_done = true;
    for (auto& prober : probers) {
        prober.join();
    }
    EXPECT_EQ(kCameraCount * kRounds * kFramesPerRound, frames_taken.load());
    EXPECT_LT(0u, probes.load());
    RecordProperty("probes", std::to_string(probes.load()));
}

}  // namespace
}  // namespace quarvo_test
