// The Interface module through the exported IF* functions and its port.
#include <gtest/gtest.h>

#include <string>

#include "support/OpenSystem.h"

using quarvo_test::OpenSystem;

namespace {

class Interface : public OpenSystem {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        iface = OpenInterface(0);
        ASSERT_NE(nullptr, iface);
    }

    std::string DeviceInfoText(const char* device, DEVICE_INFO_CMD cmd) {
        char text[512] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceInfo(iface, device, cmd, &type, text, &size)) << lib.Error().text;
        EXPECT_EQ(INFO_DATATYPE_STRING, type);
        return text;
    }

    IF_HANDLE iface = nullptr;
};

TEST_F(Interface, ListsItsCamerasAfterAnUpdate) {
    uint32_t count = 99;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &count));
    EXPECT_EQ(0u, count);
    bool8_t changed = false;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFUpdateDeviceList(iface, &changed, 500));
    EXPECT_TRUE(changed);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &count));
    EXPECT_EQ(2u, count);
    changed = false;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFUpdateDeviceList(iface, &changed, GENTL_INFINITE));
    EXPECT_FALSE(changed);
    char id[64] = {};
    size_t size = sizeof id;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceID(iface, 0, id, &size));
    EXPECT_STREQ("Cam00", id);
    size = sizeof id;
    EXPECT_EQ(GC_ERR_INVALID_INDEX, lib.IFGetDeviceID(iface, 2, id, &size));
    EXPECT_EQ("Error accessing DeviceID 2", lib.Error().text);
}

TEST_F(Interface, DeviceInformationByAnyNameForm) {
    EXPECT_EQ("Cam01", DeviceInfoText("cam01", DEVICE_INFO_ID));
    EXPECT_EQ("Brondix", DeviceInfoText("Cam01", DEVICE_INFO_VENDOR));
    const std::string serial = DeviceInfoText("Cam01", DEVICE_INFO_SERIAL_NUMBER);
    EXPECT_EQ("Cam01", DeviceInfoText(("SN->" + serial).c_str(), DEVICE_INFO_ID));
    EXPECT_EQ(DeviceInfoText("Cam01", DEVICE_INFO_MODEL) + " (" + serial + ")",
              DeviceInfoText("QB::Cam01", DEVICE_INFO_DISPLAYNAME));
    EXPECT_EQ("Center", DeviceInfoText("Cam01", DEVICE_INFO_USER_DEFINED_NAME));
    EXPECT_EQ("Custom", DeviceInfoText("Cam01", DEVICE_INFO_TLTYPE));
    int32_t status = 0;
    size_t size = sizeof status;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceInfo(iface, "Cam01", DEVICE_INFO_ACCESS_STATUS, &type, &status, &size));
    EXPECT_EQ(INFO_DATATYPE_INT32, type);
    EXPECT_EQ(DEVICE_ACCESS_STATUS_READWRITE, status);

    char text[8];
    size = sizeof text;
    EXPECT_EQ(GC_ERR_INVALID_ID, lib.IFGetDeviceInfo(iface, "Cam10", DEVICE_INFO_ID, &type, text, &size));
    EXPECT_EQ("Unable to find device  Cam10", lib.Error().text);
    // Identifiers that contain the library's own keywords do not change the code.
    for (const char* id : {"Invalid", "not implemented", "Device already open", "Device not available"}) {
        EXPECT_EQ(GC_ERR_INVALID_ID, lib.IFGetDeviceInfo(iface, id, DEVICE_INFO_ID, &type, text, &size)) << id;
        EXPECT_EQ(std::string("Unable to find device  ") + id, lib.Error().text);
    }
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.IFGetDeviceInfo(iface, "Cam01", 99, &type, text, &size));
    size = 2;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.IFGetDeviceInfo(iface, "Cam01", DEVICE_INFO_ID, &type, text, &size));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFGetDeviceInfo(iface, nullptr, DEVICE_INFO_ID, &type, text, &size));
    EXPECT_EQ("Specified sDeviceID is invalid: sDeviceID = 0x0.", lib.Error().text);
}

TEST_F(Interface, InformationOfTheInterface) {
    char text[64] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetInfo(iface, INTERFACE_INFO_ID, &type, text, &size));
    EXPECT_STREQ("QB::Board0", text);
    EXPECT_EQ(11u, size);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFGetInfo(nullptr, INTERFACE_INFO_ID, &type, text, nullptr));
    EXPECT_EQ("Specified piSize is invalid: piSize = 0x0.", lib.Error().text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.IFGetInfo(iface, 7, &type, text, &size));
    TL_HANDLE parent = nullptr;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetParentTL(iface, &parent));
    EXPECT_EQ(system, parent);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFGetParentTL(iface, nullptr));
}

TEST_F(Interface, ClosedAndForeignHandlesAreRefused) {
    int foreign[32] = {};
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFClose(foreign));
    EXPECT_EQ(0u, lib.Error().text.find("The specified interface not found: hIface = 0x"));
    uint32_t count = 0;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFGetNumDevices(foreign, &count));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFClose(iface));
    // With no interface open the guard answers first.
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFClose(iface));
    EXPECT_EQ("GC_ERR_INVALID_HANDLE", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFGetNumDevices(iface, &count));
    EXPECT_EQ(0u, lib.Error().text.find("The specified interface not found"));
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(iface, 0x480, &value, &size));
    TL_HANDLE parent = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFGetParentTL(iface, &parent));
    // Reopening gives a working interface again.
    iface = OpenInterface(0);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &count));
}

TEST_F(Interface, RegistersFollowTheDeviceSelector) {
    EXPECT_EQ(2u, ReadWord(iface, 0x480));  // before any update
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x280, 1));  // device list update command
    EXPECT_EQ(2u, ReadWord(iface, 0x480));
    EXPECT_EQ("QB::Board0", ReadText(iface, 0x000, 256));
    EXPECT_EQ("Interface : Board0", ReadText(iface, 0x100, 256));
    // The update applies the current selection, so GenApi sees the selected device at once.
    EXPECT_EQ("Cam00", ReadText(iface, 0x380, 256));
    EXPECT_EQ(1u, ReadWord(iface, 0x54C));
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x484, 1));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFUpdateDeviceList(iface, nullptr, 100));
    EXPECT_EQ("Cam01", ReadText(iface, 0x380, 256));
    EXPECT_EQ("Brondix", ReadText(iface, 0x488, 256));
    EXPECT_EQ(1u, ReadWord(iface, 0x54C));
    EXPECT_EQ(1u, ReadWord(iface, 0x594));
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x484, 0));
    EXPECT_EQ("Cam00", ReadText(iface, 0x380, 256));
    // A selector beyond the list leaves the selected device's registers unchanged.
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(iface, 0x484, 5));
    EXPECT_EQ("Cam00", ReadText(iface, 0x380, 256));
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, lib.GCReadPort(iface, 0x280, &value, &size));
    EXPECT_EQ("Register 280 is not readable.", lib.Error().text);
    EXPECT_EQ(GC_ERR_ERROR, lib.GCReadPort(iface, 0x608, &value, &size));
    EXPECT_EQ("Register 608 is not available.", lib.Error().text);
}

}  // namespace
