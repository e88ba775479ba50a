// The exported port functions on the System and Interface ports: descriptions, URLs, port
// information, stacked access and the refusal of handles that are not live modules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/OpenSystem.h"

using quarvo_test::OpenSystem;

namespace {

class Port : public OpenSystem {
protected:
    std::string URL(PORT_HANDLE port) {
        char url[256] = {};
        size_t size = sizeof url;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(port, url, &size)) << lib.Error().text;
        EXPECT_EQ(std::strlen(url) + 2, size);  // the formatted text's length + 1
        return url;
    }

    uint64_t URLInfoNumber(PORT_HANDLE port, URL_INFO_CMD cmd) {
        uint64_t value = 0;
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(port, 0, cmd, &type, &value, &size)) << lib.Error().text;
        return value;
    }

    std::string PortInfoText(PORT_HANDLE port, PORT_INFO_CMD cmd) {
        char text[256] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortInfo(port, cmd, &type, text, &size)) << lib.Error().text;
        EXPECT_EQ(INFO_DATATYPE_STRING, type);
        return text;
    }

    // The description block read through the port, as the URL names it.
    std::string Description(PORT_HANDLE port) {
        const std::string url = URL(port);
        char file[64] = {};
        unsigned long long address = 0, length = 0;
        EXPECT_EQ(3, std::sscanf(url.c_str(), "Local:%63[^;];%llx;%llx", file, &address, &length)) << url;
        EXPECT_EQ(address, URLInfoNumber(port, URL_INFO_FILE_REGISTER_ADDRESS));
        EXPECT_EQ(length, URLInfoNumber(port, URL_INFO_FILE_SIZE));
        std::vector<char> bytes(length);
        size_t size = length;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(port, address, bytes.data(), &size)) << lib.Error().text;
        EXPECT_EQ(0u, length % 4);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(Port, DescriptionsAreServedWhereTheURLPoints) {
    IF_HANDLE iface = OpenInterface(0);
    EXPECT_EQ(0u, URL(system).find("Local:KVTL.xml;940;"));
    EXPECT_EQ(0u, URL(iface).find("Local:KVTLI.xml;700;"));
    for (PORT_HANDLE port : {system, iface}) {
        const std::string xml = Description(port);
        EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"utf-8\"?>"));
        const size_t end = xml.find("</RegisterDescription>");
        ASSERT_NE(std::string::npos, end);
        // Only zero padding follows the document.
        for (size_t i = end + std::strlen("</RegisterDescription>"); i < xml.size(); ++i) {
            EXPECT_TRUE(xml[i] == '\0' || xml[i] == '\n' || xml[i] == '\r') << i;
        }
        uint32_t urls = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetNumPortURLs(port, &urls));
        EXPECT_EQ(1u, urls);
    }
}

TEST_F(Port, URLSizeQueryAndTooSmallBuffers) {
    const std::string url = URL(system);
    size_t size = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(system, nullptr, &size));
    EXPECT_EQ(url.size() + 2, size);
    char small[8];
    size = sizeof small;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURL(system, small, &size));
    EXPECT_EQ("Invalid Buffer Size", lib.Error().text);
    EXPECT_EQ(url.size() + 2, size);
    IF_HANDLE iface = OpenInterface(0);
    size = sizeof small;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURL(iface, small, &size));
    EXPECT_EQ(0u, lib.Error().text.find("Invalid Buffer Size; Required = "));
    size = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURL(iface, small, &size));
    EXPECT_EQ(0u, lib.Error().text.find("Specified piSize is invalid even though sURL is present"));
}

TEST_F(Port, URLInformation) {
    char text[128] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(system, 0, URL_INFO_FILENAME, &type, text, &size));
    EXPECT_STREQ("KVTL.xml", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(system, 0, URL_INFO_URL, &type, text, &size));
    EXPECT_EQ(URL(system), text);
    int32_t number = 0;
    size = sizeof number;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(system, 0, URL_INFO_FILE_VER_SUBMINOR, &type, &number, &size));
    EXPECT_EQ(2, number);
    EXPECT_EQ(INFO_DATATYPE_INT32, type);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURLInfo(system, 0, URL_INFO_FILE_SHA1_HASH, &type, text, &size));
    EXPECT_EQ("Invalid parameter", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_INDEX, lib.GCGetPortURLInfo(system, 1, URL_INFO_URL, &type, text, &size));
    IF_HANDLE iface = OpenInterface(0);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURLInfo(iface, 1, URL_INFO_URL, &type, text, &size));
    EXPECT_EQ("Specified iURLIndex is invalid: iURLIndex = 0x1.", lib.Error().text);
    EXPECT_EQ(9u, URLInfoNumber(iface, URL_INFO_FILE_VER_SUBMINOR) & 0xFFFFFFFF);
}

TEST_F(Port, PortInformationOfSystemAndInterface) {
    EXPECT_EQ("0", PortInfoText(system, PORT_INFO_ID));
    EXPECT_EQ("EMVA_D", PortInfoText(system, PORT_INFO_VENDOR));
    EXPECT_EQ("TLSystem", PortInfoText(system, PORT_INFO_MODULE));
    EXPECT_EQ("TLPort", PortInfoText(system, PORT_INFO_PORTNAME));
    EXPECT_EQ("0.0.0.0", PortInfoText(system, PORT_INFO_VERSION));
    IF_HANDLE iface = OpenInterface(1);
    EXPECT_EQ("QB::Board1", PortInfoText(iface, PORT_INFO_ID));
    EXPECT_EQ("EMVA_P", PortInfoText(iface, PORT_INFO_VENDOR));
    EXPECT_EQ("TLInterface", PortInfoText(iface, PORT_INFO_MODULE));
    EXPECT_EQ("InterfacePort", PortInfoText(iface, PORT_INFO_PORTNAME));
    for (const auto& flag : {std::make_pair(PORT_INFO_LITTLE_ENDIAN, 1), std::make_pair(PORT_INFO_BIG_ENDIAN, 0),
                             std::make_pair(PORT_INFO_ACCESS_WRITE, 1), std::make_pair(PORT_INFO_ACCESS_NI, 0)}) {
        uint8_t value = 7;
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortInfo(iface, flag.first, &type, &value, &size));
        EXPECT_EQ(INFO_DATATYPE_BOOL8, type);
        EXPECT_EQ(flag.second, value);
    }
    char text[16];
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortInfo(iface, 13, &type, text, &size));
    EXPECT_EQ("Specified iCmd is invalid: iCmd = 0xd.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortInfo(system, 13, &type, text, &size));
    EXPECT_EQ("Invalid parameter", lib.Error().text);
}

TEST_F(Port, StackedAccessStopsAtTheFirstFailure) {
    uint32_t count = 0, major = 0, missing = 0;
    PORT_REGISTER_STACK_ENTRY entries[3] = {
        {0x004, &count, 4}, {0x0DC, &major, 4}, {0x00C, &missing, 4}};
    size_t number = 2;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPortStacked(system, entries, &number));
    EXPECT_EQ(2u, number);
    EXPECT_EQ(1u, major);
    major = 0;
    number = 3;
    EXPECT_EQ(GC_ERR_ERROR, lib.GCReadPortStacked(system, entries, &number));
    EXPECT_EQ(3u, number);
    EXPECT_EQ(1u, major);  // the entries before the failure were performed
    number = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPortStacked(system, entries, &number));
    EXPECT_EQ(0u, number);

    uint32_t selector = 1;
    PORT_REGISTER_STACK_ENTRY write[1] = {{0x008, &selector, 4}};
    number = 1;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCWritePortStacked(system, write, &number));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCWritePortStacked(system, nullptr, &number));
    EXPECT_EQ("Specified pEntries is invalid: pEntries = 0x0.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPortStacked(system, entries, nullptr));
}

TEST_F(Port, AccessArgumentsAreCheckedBeforeTheModule) {
    uint32_t value = 0;
    size_t size = 4;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPort(system, 0x004, &value, nullptr));
    EXPECT_EQ("Specified piSize is invalid: piSize = 0x0.", lib.Error().text);
    size = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPort(system, 0x004, &value, &size));
    size = 4;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(nullptr, 0x004, &value, &size));
    EXPECT_EQ("Specified hPort is invalid: hPort = 0x0.", lib.Error().text);
    // A null buffer with a size reaches the register map, which refuses it.
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPort(system, 0x004, nullptr, &size));
    EXPECT_EQ("Specified pBuffer is invalid: pBuffer = 0x0.", lib.Error().text);
    size = 6;
    EXPECT_EQ(GC_ERR_INVALID_ADDRESS, lib.GCReadPort(system, 0x004, &value, &size));
    size = 4;
    EXPECT_EQ(GC_ERR_INVALID_ADDRESS, lib.GCReadPort(system, 0x006, &value, &size));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPort(system, 0xFFFFFFFFFFFFFFF0ULL, &value, &size));
    EXPECT_EQ(0u, lib.Error().text.find("Address too large: 0 <= "));
}

TEST_F(Port, GarbageAndStaleHandlesAreNeverTouched) {
    std::vector<uint8_t> garbage(256, 0xA5);
    uint32_t value = 0;
    size_t size = 4;
    char text[64];
    INFO_DATATYPE type = 0;
    uint32_t urls = 0;
    PORT_REGISTER_STACK_ENTRY entry{0x004, &value, 4};
    size_t number = 1;
    for (PORT_HANDLE bad : {static_cast<PORT_HANDLE>(garbage.data()), reinterpret_cast<PORT_HANDLE>(0x10)}) {
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(bad, 0x004, &value, &size));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCWritePort(bad, 0x008, &value, &size));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetPortURL(bad, text, &size));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetNumPortURLs(bad, &urls));
        size = sizeof text;
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetPortInfo(bad, PORT_INFO_ID, &type, text, &size));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetPortURLInfo(bad, 0, URL_INFO_URL, &type, text, &size));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPortStacked(bad, &entry, &number));
        EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCWritePortStacked(bad, &entry, &number));
        size = 4;
    }
    IF_HANDLE iface = OpenInterface(0);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.IFClose(iface));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(iface, 0x480, &value, &size));
    EXPECT_EQ(0u, lib.Error().text.find("Specified hPort is invalid: hPort = 0x"));
}

TEST_F(Port, NumPortURLsDoesNotRecordSuccess) {
    uint32_t value = 0;
    size_t size = 4;
    EXPECT_EQ(GC_ERR_ERROR, lib.GCReadPort(system, 0x00C, &value, &size));
    uint32_t urls = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetNumPortURLs(system, &urls));
    EXPECT_EQ(GC_ERR_ERROR, lib.Error().code);
}

}  // namespace
