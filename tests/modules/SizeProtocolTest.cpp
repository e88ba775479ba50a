// Every answer that reports its size, on every module: a consumer asks for the size with no
// buffer, then passes a buffer of exactly that size, which must be taken; one byte less must be
// refused without a byte written. Each writer checks the size its own way, so an off-by-one can
// hide in any of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/OpenStream.h"

namespace quarvo_test {
namespace {

// One answer: the call with its buffer and size; querySize is what *piSize holds in the size
// query (the new-buffer event wants room for its record even then).
struct SizedAnswer {
    std::string name;
    std::function<GC_ERROR(void* buffer, size_t* size)> call;
    size_t querySize = 0;
};

constexpr uint8_t kUntouched = 0xA5;
constexpr size_t kGuard = 16;

class SizeProtocol : public OpenStream {
protected:
    void Add(std::string name, std::function<GC_ERROR(void*, size_t*)> call, size_t querySize = 0) {
        answers.push_back({std::move(name), std::move(call), querySize});
    }

    // The commands of an information function (int command, type, buffer, size).
    template <class Info>
    void AddCommands(const std::string& function, std::vector<int32_t> commands, Info info) {
        for (int32_t command : commands) {
            Add(function + "(" + std::to_string(command) + ")", [info, command](void* buffer, size_t* size) {
                INFO_DATATYPE type = 0;
                return info(command, &type, buffer, size);
            });
        }
    }

    static std::vector<int32_t> Commands(int32_t first, int32_t last, std::vector<int32_t> unanswered = {}) {
        std::vector<int32_t> commands;
        for (int32_t command = first; command <= last; ++command) {
            if (std::find(unanswered.begin(), unanswered.end(), command) == unanswered.end()) {
                commands.push_back(command);
            }
        }
        return commands;
    }

    // The URL, the URL information and the port information of one module's port.
    void AddPort(const std::string& module, PORT_HANDLE port) {
        Add("GCGetPortURL(" + module + ")",
            [this, port](void* buffer, size_t* size) { return lib.GCGetPortURL(port, static_cast<char*>(buffer), size); });
        AddCommands("GCGetPortURLInfo(" + module + ")", Commands(URL_INFO_URL, URL_INFO_FILENAME, {6}),
                    [this, port](int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size) {
                        return lib.GCGetPortURLInfo(port, 0, command, type, buffer, size);
                    });
        AddCommands("GCGetPortInfo(" + module + ")", Commands(PORT_INFO_ID, PORT_INFO_PORTNAME),
                    [this, port](int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size) {
                        return lib.GCGetPortInfo(port, command, type, buffer, size);
                    });
    }

    // Takes a buffer of exactly the size the answer reports, and refuses one byte less unwritten.
    void Check(const SizedAnswer& answer) {
        SCOPED_TRACE(answer.name);
        size_t size = answer.querySize;
        ASSERT_EQ(GC_ERR_SUCCESS, answer.call(nullptr, &size)) << "size query: " << lib.Error().text;
        ASSERT_LT(0u, size);
        const size_t required = size;
        std::vector<uint8_t> bytes(required + kGuard, kUntouched);
        const auto untouchedFrom = [&bytes](size_t first) {
            return std::all_of(bytes.begin() + static_cast<long>(first), bytes.end(),
                               [](uint8_t byte) { return byte == kUntouched; });
        };
        if (required > 1) {
            size = required - 1;
            EXPECT_NE(GC_ERR_SUCCESS, answer.call(bytes.data(), &size)) << "one byte less than reported";
            EXPECT_TRUE(untouchedFrom(0)) << "a refused buffer was written";
        }
        size = required;
        EXPECT_EQ(GC_ERR_SUCCESS, answer.call(bytes.data(), &size)) << "exactly the reported size: " << lib.Error().text;
        EXPECT_EQ(required, size);
        EXPECT_TRUE(untouchedFrom(required)) << "written past the reported size";
    }

    std::vector<SizedAnswer> answers;
};

TEST_F(SizeProtocol, EveryAnswerFitsABufferOfExactlyItsReportedSize) {
    // A delivered buffer (described, waiting for delivery), one for the new-buffer event to hand
    // out, and an error waiting on the stream's error event.
    const std::vector<BUFFER_HANDLE> buffers = AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 2));
    ASSERT_TRUE(WaitForDelivered(2));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
    EVENT_HANDLE errors = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors));
    EVENT_HANDLE unsupported = nullptr;
    ASSERT_NE(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_FEATURE_INVALIDATE, &unsupported));
    const std::string interfaceID = InterfaceID(0);
    const BUFFER_HANDLE buffer = buffers[0];
    const EVENT_NEW_BUFFER_DATA record{buffer, reinterpret_cast<void*>(1)};
    const char errorRecord[] = "\x01\x00\x00\x00no such thing";

    AddCommands("GCGetInfo", Commands(TL_INFO_ID, TL_INFO_GENTL_VER_MINOR),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.GCGetInfo(command, type, out, size);
                });
    AddCommands("TLGetInfo", Commands(TL_INFO_ID, TL_INFO_GENTL_VER_MINOR),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.TLGetInfo(system, command, type, out, size);
                });
    Add("TLGetInterfaceID", [this](void* out, size_t* size) {
        return lib.TLGetInterfaceID(system, 1, static_cast<char*>(out), size);
    });
    AddCommands("TLGetInterfaceInfo", Commands(INTERFACE_INFO_ID, INTERFACE_INFO_TLTYPE),
                [this, interfaceID](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.TLGetInterfaceInfo(system, interfaceID.c_str(), command, type, out, size);
                });
    AddCommands("IFGetInfo", Commands(INTERFACE_INFO_ID, INTERFACE_INFO_TLTYPE),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.IFGetInfo(iface, command, type, out, size);
                });
    Add("IFGetDeviceID",
        [this](void* out, size_t* size) { return lib.IFGetDeviceID(iface, 1, static_cast<char*>(out), size); });
    AddCommands("IFGetDeviceInfo", Commands(DEVICE_INFO_ID, DEVICE_INFO_VERSION),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.IFGetDeviceInfo(iface, "Cam01", command, type, out, size);
                });
    AddCommands("DevGetInfo", Commands(DEVICE_INFO_ID, DEVICE_INFO_VERSION),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.DevGetInfo(device, command, type, out, size);
                });
    Add("DevGetDataStreamID",
        [this](void* out, size_t* size) { return lib.DevGetDataStreamID(device, 0, static_cast<char*>(out), size); });
    AddCommands("DSGetInfo", Commands(STREAM_INFO_ID, STREAM_INFO_BUF_ALIGNMENT, {STREAM_INFO_PAYLOAD_SIZE}),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.DSGetInfo(stream, command, type, out, size);
                });
    AddCommands("DSGetBufferInfo", Commands(BUFFER_INFO_BASE, BUFFER_INFO_CONTAINS_CHUNKDATA, {BUFFER_INFO_TIMESTAMP}),
                [this, buffer](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.DSGetBufferInfo(stream, buffer, command, type, out, size);
                });
    AddPort("System", system);
    AddPort("Interface", iface);
    AddPort("Device", device);
    AddPort("RemoteDevice", remote);
    AddPort("DataStream", stream);
    AddPort("Buffer", buffer);
    Add("GCGetLastError", [this](void* out, size_t* size) {
        GC_ERROR code = 0;
        return lib.GCGetLastError(&code, static_cast<char*>(out), size);
    });
    Add("EventGetData(new buffer)",
        [this](void* out, size_t* size) { return lib.EventGetData(newBuffer, out, size, 0); }, sizeof record);
    AddCommands("EventGetInfo(new buffer)", Commands(EVENT_NUM_IN_QUEUE, EVENT_INFO_DATA_SIZE_MAX, {EVENT_NUM_FIRED}),
                [this](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.EventGetInfo(newBuffer, command, type, out, size);
                });
    AddCommands("EventGetDataInfo(new buffer)", Commands(EVENT_DATA_ID, EVENT_DATA_NUMID),
                [this, record](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.EventGetDataInfo(newBuffer, &record, sizeof record, command, type, out, size);
                });
    Add("EventGetData(error)", [this, errors](void* out, size_t* size) { return lib.EventGetData(errors, out, size, 0); });
    AddCommands("EventGetInfo(error)", Commands(EVENT_EVENT_TYPE, EVENT_INFO_DATA_SIZE_MAX, {EVENT_NUM_FIRED}),
                [this, errors](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.EventGetInfo(errors, command, type, out, size);
                });
    AddCommands("EventGetDataInfo(error)", Commands(EVENT_DATA_ID, EVENT_DATA_VALUE),
                [this, errors, &errorRecord](int32_t command, INFO_DATATYPE* type, void* out, size_t* size) {
                    return lib.EventGetDataInfo(errors, errorRecord, sizeof errorRecord, command, type, out, size);
                });

    for (const SizedAnswer& answer : answers) {
        Check(answer);
    }
}

}  // namespace
}  // namespace quarvo_test
