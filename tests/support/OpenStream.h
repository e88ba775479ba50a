// Fixture: a camera of the default rig opened down to its data stream, with helpers for buffers,
// the new-buffer event and the information queries.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/BlockingCall.h"
#include "support/NewBufferWait.h"
#include "support/OpenSystem.h"

namespace quarvo_test {

class OpenStream : public OpenSystem {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Open(0, "Cam00");
    }

    // Opens the camera of that board as the fixture's device, stream and new-buffer event.
    void Open(uint32_t board, const char* camera) {
        iface = OpenInterface(board);
        device = OpenDevice(iface, camera);
        remote = RemotePort(device);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(device, "DS0", &stream)) << lib.Error().text;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_NEW_BUFFER, &newBuffer)) << lib.Error().text;
    }

    // Allocates count buffers of size bytes (the camera's payload when 0) and queues them.
    std::vector<BUFFER_HANDLE> AnnounceAndQueue(size_t count, size_t size = 0) {
        std::vector<BUFFER_HANDLE> buffers;
        for (size_t i = 0; i < count; ++i) {
            BUFFER_HANDLE buffer = nullptr;
            const size_t bytes = size != 0 ? size : ReadWord(remote, 0x114);
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(stream, bytes, reinterpret_cast<void*>(i + 1), &buffer))
                << lib.Error().text;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
            buffers.push_back(buffer);
        }
        return buffers;
    }

    // Allocates count buffers of size bytes without queueing them.
    std::vector<BUFFER_HANDLE> Announce(size_t count, size_t size) {
        std::vector<BUFFER_HANDLE> buffers;
        for (size_t i = 0; i < count; ++i) {
            BUFFER_HANDLE buffer = nullptr;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSAllocAndAnnounceBuffer(stream, size, nullptr, &buffer)) << lib.Error().text;
            buffers.push_back(buffer);
        }
        return buffers;
    }

    // Polls (watchdog-bounded) until the condition holds.
    template <class Condition>
    bool Eventually(Condition condition) {
        const auto give_up = std::chrono::steady_clock::now() + kWatchdog;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > give_up) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Polls until the stream has delivered `count` frames in all.
    bool WaitForDelivered(uint64_t count) {
        return Eventually([&] { return StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED) >= count; });
    }

    // Polls until the acquisition thread has ended (register 0x50 reads 0).
    bool WaitForThreadEnd() {
        return Eventually([this] { return ReadWord(stream, 0x50) == 0; });
    }

    // The next filled buffer, or null when none came (see WaitForNewBuffer).
    BUFFER_HANDLE NextBuffer() {
        EVENT_NEW_BUFFER_DATA data{};
        const GC_ERROR result = WaitForNewBuffer(lib, newBuffer, data);
        EXPECT_EQ(GC_ERR_SUCCESS, result) << lib.Error().text;
        return result == GC_ERR_SUCCESS ? data.BufferHandle : nullptr;
    }

    template <class T>
    T BufferInfo(BUFFER_HANDLE buffer, BUFFER_INFO_CMD command) {
        T value{};
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferInfo(stream, buffer, command, &type, &value, &size))
            << command << ": " << lib.Error().text;
        EXPECT_EQ(sizeof value, size) << command;
        return value;
    }

    template <class T>
    T StreamInfo(STREAM_INFO_CMD command) {
        T value{};
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetInfo(stream, command, &type, &value, &size)) << lib.Error().text;
        return value;
    }

    IF_HANDLE iface = nullptr;
    DEV_HANDLE device = nullptr;
    PORT_HANDLE remote = nullptr;
    DS_HANDLE stream = nullptr;
    EVENT_HANDLE newBuffer = nullptr;
};

}  // namespace quarvo_test
