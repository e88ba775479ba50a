// Devices through the exported functions: opening by every name form and with every access flag,
// the device's and the camera's ports, device events, and closing in every order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/BlockingCall.h"
#include "support/OpenSystem.h"

using quarvo_test::BlockingCall;
using quarvo_test::OpenSystem;

namespace {

class Device : public OpenSystem {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        iface = OpenInterface(0);
        ASSERT_NE(nullptr, iface);
    }

    std::string InfoText(DEV_HANDLE device, DEVICE_INFO_CMD command) {
        char text[256] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetInfo(device, command, &type, text, &size)) << lib.Error().text;
        EXPECT_EQ(INFO_DATATYPE_STRING, type);
        return text;
    }

    int32_t AccessStatus(DEV_HANDLE device) {
        int32_t status = 0;
        size_t size = sizeof status;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetInfo(device, DEVICE_INFO_ACCESS_STATUS, &type, &status, &size));
        return status;
    }

    GC_ERROR WriteStacked(PORT_HANDLE port, uint64_t address, uint32_t value) {
        PORT_REGISTER_STACK_ENTRY entry{address, &value, sizeof value};
        size_t count = 1;
        return lib.GCWritePortStacked(port, &entry, &count);
    }

    IF_HANDLE iface = nullptr;
};

// Every name form of a camera opens it, and it reports its own identifier whatever name was used.
class DeviceNames : public Device, public ::testing::WithParamInterface<const char*> {};

TEST_P(DeviceNames, OpenTheCameraUnderItsIdentifier) {
    DEV_HANDLE device = OpenDevice(iface, GetParam());
    ASSERT_NE(nullptr, device);
    EXPECT_EQ("Cam00", InfoText(device, DEVICE_INFO_ID));
    IF_HANDLE parent = nullptr;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetParentIF(device, &parent));
    EXPECT_EQ(iface, parent);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
}

INSTANTIATE_TEST_SUITE_P(Forms, DeviceNames,
                         ::testing::Values("Cam00", "cam00", "QB::Cam00", "::CAM00", "SN->BX7Q0000",
                                           "USER_DEFINED_NAME->center"));

TEST_F(Device, AccessFlagsAreCheckedByTheEntryAndThenByTheInterface) {
    DEV_HANDLE device = nullptr;
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, lib.IFOpenDevice(iface, "Cam00", 1001, &device));
    EXPECT_EQ("Device access denied", lib.Error().text);
    for (DEVICE_ACCESS_FLAGS flags : {0, 5, 1000, -1}) {
        EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFOpenDevice(iface, "Cam00", flags, &device)) << flags;
    }
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFOpenDevice(iface, "Cam00", 5, &device));
    EXPECT_EQ("Specified iOpenFlags is invalid: iOpenFlags = 0x5.", lib.Error().text);
    EXPECT_EQ(nullptr, device);
    device = OpenDevice(iface, "Cam00", DEVICE_ACCESS_EXCLUSIVE);
    EXPECT_EQ(DEVICE_ACCESS_EXCLUSIVE, AccessStatus(device));
}

TEST_F(Device, ReadOnlyDeviceRefusesStackedWritesOnBothPorts) {
    DEV_HANDLE device = OpenDevice(iface, "Cam00", DEVICE_ACCESS_READONLY);
    PORT_HANDLE remote = RemotePort(device);
    EXPECT_EQ(DEVICE_ACCESS_STATUS_READONLY, AccessStatus(device));
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, WriteStacked(remote, 0x104, 320));
    EXPECT_EQ("GC_ERR_ACCESS_DENIED", lib.Error().text);
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, WriteStacked(device, 0x008, 1));
    EXPECT_EQ(640u, ReadWord(remote, 0x104));
    // Single writes are left to the module.
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x104, 320));
    EXPECT_EQ(320u, ReadWord(remote, 0x104));

    DEV_HANDLE writable = OpenDevice(iface, "Cam01");
    EXPECT_EQ(GC_ERR_SUCCESS, WriteStacked(RemotePort(writable), 0x104, 320));
}

TEST_F(Device, SecondOpenOfOneCameraIsRefused) {
    OpenDevice(iface, "Cam00");
    DEV_HANDLE again = nullptr;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.IFOpenDevice(iface, "Cam00", DEVICE_ACCESS_CONTROL, &again));
    EXPECT_EQ("The specified device is already in use.", lib.Error().text);
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.IFOpenDevice(iface, "SN->BX7Q0000", DEVICE_ACCESS_CONTROL, &again));
    EXPECT_EQ("Device already open", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_ID, lib.IFOpenDevice(iface, "Cam10", DEVICE_ACCESS_CONTROL, &again));
    EXPECT_EQ("There's no DeviceInfo specified by sDevName.", lib.Error().text);
    EXPECT_EQ(nullptr, again);
}

TEST_F(Device, InformationAndStreamsOfTheDevice) {
    DEV_HANDLE device = OpenDevice(iface, "Cam01");
    EXPECT_EQ("Brondix", InfoText(device, DEVICE_INFO_VENDOR));
    EXPECT_EQ(InfoText(device, DEVICE_INFO_MODEL) + " (BX7Q0001)", InfoText(device, DEVICE_INFO_DISPLAYNAME));
    EXPECT_EQ("", InfoText(device, DEVICE_INFO_VERSION));  // the open device's copy of the record
    EXPECT_EQ("Center", InfoText(device, DEVICE_INFO_USER_DEFINED_NAME));
    char text[16];
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.DevGetInfo(device, DEVICE_INFO_TIMESTAMP_FREQUENCY, &type, text, &size));
    EXPECT_EQ("Requested info_cmd is not implemented; info_cmd = 9.", lib.Error().text);

    uint32_t streams = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetNumDataStreams(device, &streams));
    EXPECT_EQ(1u, streams);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetDataStreamID(device, 0, text, &size));
    EXPECT_STREQ("DS0", text);
    EXPECT_EQ(GC_ERR_INVALID_INDEX, lib.DevGetDataStreamID(device, 1, text, &size));
    EXPECT_EQ("Invalid data stream index 1.", lib.Error().text);
    size = 3;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.DevGetDataStreamID(device, 0, text, &size));

    EXPECT_EQ("Cam01", ReadText(device, 0x100, 64));
    EXPECT_EQ(1u, ReadWord(device, 0x004));
    EXPECT_EQ(1u, ReadWord(iface, 0x590));  // DevicesOpen
}

TEST_F(Device, CameraRegistersReadAndWriteTheCamera) {
    PORT_HANDLE remote = RemotePort(OpenDevice(iface, "Cam01"));  // RGB8
    EXPECT_EQ(640u, ReadWord(remote, 0x104));
    EXPECT_EQ(480u, ReadWord(remote, 0x108));
    EXPECT_EQ(0x02180014u, ReadWord(remote, 0x10C));
    EXPECT_EQ(640u * 480 * 3, ReadWord(remote, 0x114));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x104, 4096));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x108, 8));
    EXPECT_EQ(4096u * 8 * 3, ReadWord(remote, 0x114));
    for (uint32_t bad : {4100u, 6u, 10u}) {
        EXPECT_EQ(GC_ERR_INVALID_VALUE, WriteWord(remote, 0x104, bad)) << bad;
        EXPECT_EQ("Requested value " + std::to_string(bad) + " is not valid to write.", lib.Error().text);
        EXPECT_EQ(4096u, ReadWord(remote, 0x104));  // the camera kept its value
    }
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x100, 1));
    EXPECT_EQ(0u, ReadWord(remote, 0x100));
    EXPECT_EQ("EMVA_D", ReadText(remote, 0x000, 32));
    EXPECT_EQ("Quarvo", ReadText(remote, 0x020, 32));
}

// Settings belong to the camera: a device closed and opened again finds them as it left them.
TEST_F(Device, CameraSettingsSurviveACloseAndReopen) {
    DEV_HANDLE device = OpenDevice(iface, "Cam00");
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(RemotePort(device), 0x104, 320));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(RemotePort(device), 0x120, 1));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    PORT_HANDLE remote = RemotePort(OpenDevice(iface, "Cam00"));
    EXPECT_EQ(320u, ReadWord(remote, 0x104));
    EXPECT_EQ(1u, ReadWord(remote, 0x120));
}

TEST_F(Device, RemoteDeviceEventNeedsNotificationOn) {
    DEV_HANDLE device = OpenDevice(iface, "Cam00");
    PORT_HANDLE remote = RemotePort(device);
    EVENT_HANDLE event = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(device, EVENT_REMOTE_DEVICE, &event));
    EVENT_HANDLE error = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(device, EVENT_ERROR, &error));
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCRegisterEvent(device, EVENT_NEW_BUFFER, &error));
    EXPECT_EQ("Requested i_event_id is not implemented; i_event_id = 1.", lib.Error().text);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCRegisterEvent(remote, EVENT_REMOTE_DEVICE, &error));

    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x310, 1));
    char data[64];
    size_t size = sizeof data;
    EXPECT_EQ(GC_ERR_TIMEOUT, lib.EventGetData(event, data, &size, 0));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x300, 1));
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, 0x310, 1));
    size = sizeof data;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.EventGetData(event, data, &size, 1000)) << lib.Error().text;
    EXPECT_EQ(9u, size);
    EXPECT_STREQ("2345", data);
}

TEST_F(Device, ClosingTheDeviceReleasesAWaiterAndRetiresItsHandles) {
    DEV_HANDLE device = OpenDevice(iface, "Cam00");
    PORT_HANDLE remote = RemotePort(device);
    EVENT_HANDLE event = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(device, EVENT_REMOTE_DEVICE, &event));
    BlockingCall<GC_ERROR> reader([&] {
        char data[64];
        size_t size = sizeof data;
        return lib.EventGetData(event, data, &size, GENTL_INFINITE);
    });
    ASSERT_TRUE(reader.Blocks());
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    EXPECT_EQ(GC_ERR_ABORT, reader.Get());
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DevClose(device));
    EXPECT_EQ("The specified device is not found.", lib.Error().text);
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(remote, 0x104, &value, &size));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(device, 0x004, &value, &size));
}

// Closing from above with devices open: their handles die with the interface, the System or the
// library, and nothing is leaked (AddressSanitizer).
class ClosingFromAbove : public Device, public ::testing::WithParamInterface<const char*> {};

TEST_P(ClosingFromAbove, DevicesGoWithTheirParent) {
    DEV_HANDLE first = OpenDevice(iface, "Cam00");
    DEV_HANDLE second = OpenDevice(iface, "Cam01");
    PORT_HANDLE remote = RemotePort(second);
    IF_HANDLE other = OpenInterface(1);
    DEV_HANDLE third = OpenDevice(other, "Cam11");
    const std::string how = GetParam();
    if (how == "IFClose") {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFClose(iface));
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DevClose(third));  // the other interface's device lives on
    } else if (how == "TLClose") {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLClose(system));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&(system = nullptr)));
        OpenInterface(0);
    } else {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&(system = nullptr)));
        OpenInterface(0);
    }
    uint32_t value = 0;
    size_t size = sizeof value;
    for (PORT_HANDLE dead : {first, second, remote}) {
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(dead, 0, &value, &size));
    }
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.DevClose(first));
}

INSTANTIATE_TEST_SUITE_P(Closes, ClosingFromAbove, ::testing::Values("IFClose", "TLClose", "GCCloseLib"));

}  // namespace
