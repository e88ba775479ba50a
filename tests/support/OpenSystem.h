// Fixture: a freshly loaded producer, initialised, with its System open.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/ProducerLib.h"

namespace quarvo_test {

class OpenSystem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
    }
    void TearDown() override { lib.GCCloseLib(); }

    // Full identifier of interface `index` after a list update.
    std::string InterfaceID(uint32_t index) {
        char id[256] = {};
        size_t size = sizeof id;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 1000));
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceID(system, index, id, &size)) << lib.Error().text;
        return id;
    }

    IF_HANDLE OpenInterface(uint32_t index) {
        IF_HANDLE iface = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, InterfaceID(index).c_str(), &iface))
            << lib.Error().text;
        return iface;
    }

    // Opens a camera of an open interface by any of its names.
    DEV_HANDLE OpenDevice(IF_HANDLE iface, const char* name, DEVICE_ACCESS_FLAGS flags = DEVICE_ACCESS_CONTROL) {
        DEV_HANDLE device = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.IFOpenDevice(iface, name, flags, &device)) << name << ": " << lib.Error().text;
        return device;
    }

    PORT_HANDLE RemotePort(DEV_HANDLE device) {
        PORT_HANDLE port = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DevGetPort(device, &port)) << lib.Error().text;
        return port;
    }

    // Reads a zero-terminated text of at most `size` bytes from a port.
    std::string ReadText(PORT_HANDLE port, uint64_t address, size_t size) {
        std::string text(size, '\0');
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(port, address, &text[0], &size)) << lib.Error().text;
        return text.c_str();
    }

    uint32_t ReadWord(PORT_HANDLE port, uint64_t address) {
        uint32_t value = 0;
        size_t size = sizeof value;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(port, address, &value, &size)) << lib.Error().text;
        return value;
    }

    GC_ERROR WriteWord(PORT_HANDLE port, uint64_t address, uint32_t value) {
        size_t size = sizeof value;
        return lib.GCWritePort(port, address, &value, &size);
    }

    ProducerLib lib;
    TL_HANDLE system = nullptr;
};

}  // namespace quarvo_test
