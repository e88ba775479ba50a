// The interface's events end to end: registered through GCRegisterEvent, raised by writes to the
// interface's test registers, read with EventGetData and decoded with EventGetDataInfo.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/BlockingCall.h"
#include "support/OpenSystem.h"

using quarvo_test::BlockingCall;
using quarvo_test::OpenSystem;

namespace {

class InterfaceEvents : public OpenSystem {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        iface = OpenInterface(0);
        ASSERT_NE(nullptr, iface);
    }

    EVENT_HANDLE Register(EVENT_TYPE type) {
        EVENT_HANDLE event = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(iface, type, &event)) << lib.Error().text;
        return event;
    }

    std::vector<char> Take(EVENT_HANDLE event, uint64_t timeout = 1000) {
        std::vector<char> data(256);
        size_t size = data.size();
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetData(event, data.data(), &size, timeout)) << lib.Error().text;
        data.resize(size);
        return data;
    }

    std::string DataText(EVENT_HANDLE event, const std::vector<char>& data, EVENT_DATA_INFO_CMD cmd) {
        char text[128] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS,
                  lib.EventGetDataInfo(event, data.data(), data.size(), cmd, &type, text, &size))
            << lib.Error().text;
        EXPECT_EQ(INFO_DATATYPE_STRING, type);
        return text;
    }

    size_t QueueLength(EVENT_HANDLE event) {
        size_t count = 99, size = sizeof count;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(event, EVENT_NUM_IN_QUEUE, &type, &count, &size));
        return count;
    }

    // A thread waiting without limit on the event.
    std::unique_ptr<BlockingCall<GC_ERROR>> StartReader(EVENT_HANDLE event) {
        return std::make_unique<BlockingCall<GC_ERROR>>([this, event] {
            char data[64];
            size_t size = sizeof data;
            return lib.EventGetData(event, data, &size, GENTL_INFINITE);
        });
    }

    IF_HANDLE iface = nullptr;
};

TEST_F(InterfaceEvents, FeatureChangeCarriesTheTestDestinationValue) {
    EVENT_HANDLE event = Register(EVENT_FEATURE_CHANGE);
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 0));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 5));
    EXPECT_EQ(2u, QueueLength(event));
    const std::vector<char> first = Take(event);
    EXPECT_EQ("TestEventFeatureChangeDestination", DataText(event, first, EVENT_DATA_ID));
    EXPECT_EQ("1", DataText(event, first, EVENT_DATA_VALUE));
    EXPECT_EQ("0", DataText(event, Take(event), EVENT_DATA_VALUE));
    EXPECT_EQ(0u, QueueLength(event));
}

TEST_F(InterfaceEvents, SelectingADeviceInvalidatesItsAccessibility) {
    EVENT_HANDLE event = Register(EVENT_FEATURE_INVALIDATE);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.IFUpdateDeviceList(iface, nullptr, 500));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x484, 1));
    const std::vector<char> data = Take(event);
    EXPECT_EQ("DeviceIsAccessible", DataText(event, data, EVENT_DATA_ID));
    char text[16];
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER,
              lib.EventGetDataInfo(event, data.data(), data.size(), EVENT_DATA_VALUE, &type, text, &size));
}

TEST_F(InterfaceEvents, ModuleEventNeedsNotificationSwitchedOn) {
    EVENT_HANDLE event = Register(EVENT_MODULE);
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5C0, 1));
    EXPECT_EQ(0u, QueueLength(event));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5B0, 1));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5C0, 1));
    const std::vector<char> data = Take(event);
    EXPECT_EQ(9u, data.size());
    EXPECT_EQ("1234", DataText(event, data, EVENT_DATA_ID));
    char value[8] = {};
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS,
              lib.EventGetDataInfo(event, data.data(), data.size(), EVENT_DATA_VALUE, &type, value, &size));
    EXPECT_EQ(INFO_DATATYPE_BUFFER, type);
    EXPECT_EQ(4u, size);
}

TEST_F(InterfaceEvents, RegistrationRules) {
    EVENT_HANDLE event = nullptr;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCRegisterEvent(iface, EVENT_NEW_BUFFER, &event));
    EXPECT_EQ("Requested iID is not implemented; iID = 1.", lib.Error().text);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCRegisterEvent(system, EVENT_MODULE, &event));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCRegisterEvent(nullptr, EVENT_MODULE, &event));
    EXPECT_EQ("Specified hHandle is invalid: hHandle = 0x0.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCRegisterEvent(iface, EVENT_MODULE, nullptr));
    event = Register(EVENT_MODULE);
    EVENT_HANDLE again = nullptr;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.GCRegisterEvent(iface, EVENT_MODULE, &again));
    EXPECT_EQ("Event already registered", lib.Error().text);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCUnregisterEvent(iface, EVENT_MODULE));
    EXPECT_EQ(GC_ERR_NOT_INITIALIZED, lib.GCUnregisterEvent(iface, EVENT_MODULE));
    EXPECT_EQ("Event not yet registered", lib.Error().text);
    // The handle of an unregistered event is refused like any dead handle.
    char data[16];
    size_t size = sizeof data;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventGetData(event, data, &size, 0));
    EXPECT_EQ(0u, lib.Error().text.find("Specified hEvent is invalid: hEvent = "));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventFlush(event));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventKill(event));
}

TEST_F(InterfaceEvents, TimeOutsSizeQueriesAndBadEventHandles) {
    EVENT_HANDLE event = Register(EVENT_FEATURE_CHANGE);
    char data[64];
    size_t size = sizeof data;
    EXPECT_EQ(GC_ERR_TIMEOUT, lib.EventGetData(event, data, &size, 0));
    EXPECT_EQ(0u, lib.Error().text.find("The specified iTimeout expired before the hEvent occurred: iTimeout = 0,"));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 0));
    size = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetData(event, nullptr, &size, 0));  // size query
    EXPECT_EQ(std::strlen("TestEventFeatureChangeDestination") + 3, size);
    EXPECT_EQ(1u, QueueLength(event));
    size = 4;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.EventGetData(event, data, &size, 0));
    EXPECT_EQ(1u, QueueLength(event));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.EventFlush(event));
    EXPECT_EQ(0u, QueueLength(event));

    std::vector<uint8_t> garbage(128, 0x5A);
    size = sizeof data;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventGetData(garbage.data(), data, &size, 0));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventKill(garbage.data()));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventFlush(iface));  // a module is not an event
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventGetInfo(garbage.data(), EVENT_NUM_IN_QUEUE, &type, data, &size));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER,
              lib.EventGetDataInfo(event, data, 0, EVENT_DATA_ID, &type, data, &size));
    EXPECT_EQ("Specified iInSize is invalid: iInSize = 0.", lib.Error().text);
}

TEST_F(InterfaceEvents, BlockedReaderIsReleasedByAPushFromAnotherThread) {
    EVENT_HANDLE event = Register(EVENT_FEATURE_CHANGE);
    auto reader = StartReader(event);
    ASSERT_TRUE(reader->Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 0));
    EXPECT_EQ(GC_ERR_SUCCESS, reader->Get());
}

TEST_F(InterfaceEvents, BlockedReaderIsAbortedByEventKill) {
    EVENT_HANDLE event = Register(EVENT_FEATURE_CHANGE);
    auto reader = StartReader(event);
    ASSERT_TRUE(reader->Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventKill(event));
    EXPECT_EQ(GC_ERR_ABORT, reader->Get());
    // A kill with nobody waiting does not abort the next read.
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventKill(event));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 0));
    Take(event, 0);
}

// Unregistering wakes the waiter at once; the interface then closes and the library with it,
// with nobody left inside.
TEST_F(InterfaceEvents, UnregisteringAbortsABlockedReaderAndRetiresTheHandle) {
    EVENT_HANDLE event = Register(EVENT_MODULE);
    auto reader = StartReader(event);
    ASSERT_TRUE(reader->Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCUnregisterEvent(iface, EVENT_MODULE));
    EXPECT_EQ(GC_ERR_ABORT, reader->Get());
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventKill(event));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFClose(iface));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

// Closing a module, by itself or from above, wakes every waiter on each of its events.
class ClosingWakesReaders : public InterfaceEvents, public ::testing::WithParamInterface<const char*> {
protected:
    GC_ERROR Close() {
        const std::string how = GetParam();
        if (how == "IFClose") {
            return lib.IFClose(iface);
        }
        return how == "TLClose" ? lib.TLClose(system) : lib.GCCloseLib();
    }
};

TEST_P(ClosingWakesReaders, EveryBlockedReaderReturnsAbort) {
    auto change = StartReader(Register(EVENT_FEATURE_CHANGE));
    auto module = StartReader(Register(EVENT_MODULE));
    ASSERT_TRUE(change->Blocks());
    ASSERT_TRUE(module->Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, Close());
    EXPECT_EQ(GC_ERR_ABORT, change->Get());
    EXPECT_EQ(GC_ERR_ABORT, module->Get());
}

INSTANTIATE_TEST_SUITE_P(Closes, ClosingWakesReaders, ::testing::Values("IFClose", "TLClose", "GCCloseLib"));

TEST_F(InterfaceEvents, OpenCloseCyclesWithEverythingOpen) {
    for (int cycle = 0; cycle < 3; ++cycle) {
        OpenInterface(1);
        Register(EVENT_FEATURE_CHANGE);
        ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x5A0, 0));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLClose(system));
        system = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system));
        iface = OpenInterface(0);
    }
    Register(EVENT_MODULE);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
}

}  // namespace
