// The System module through the exported TL* functions and its port.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/OpenSystem.h"

using quarvo_test::OpenSystem;
using quarvo_test::ProducerLib;

namespace {

class System : public OpenSystem {};

TEST_F(System, OpenTwiceOrWithAUsedVariableIsRefused) {
    TL_HANDLE second = nullptr;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpen(&second));
    EXPECT_EQ(0u, lib.Error().text.find("Specified phSystem is in use: phSystem = 0x"));
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLClose(system));
    TL_HANDLE used = &second;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpen(&used));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.TLOpen(nullptr));
    EXPECT_EQ("Specified phSystem is invalid: phSystem = 0x0.", lib.Error().text);
}

TEST_F(System, CloseChecksTheHandleAndThenGuardsEveryCall) {
    int foreign = 0;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLClose(&foreign));
    EXPECT_EQ(0u, lib.Error().text.find("Specified hSystem is not the original handle"));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLClose(nullptr));
    // Nothing was closed by the refused calls.
    uint32_t count = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetNumInterfaces(system, &count));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLClose(system));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLGetNumInterfaces(system, &count));
    EXPECT_EQ("GC_ERR_INVALID_HANDLE", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLClose(system));
    // The System can be opened again.
    system = nullptr;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system));
}

TEST_F(System, ListsTheSimulatedBoards) {
    uint32_t count = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLGetNumInterfaces(system, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ("QB::Board0", InterfaceID(0));
    EXPECT_EQ("QB::Board1", InterfaceID(1));
    char id[64];
    size_t size = sizeof id;
    EXPECT_EQ(GC_ERR_INVALID_INDEX, lib.TLGetInterfaceID(system, 2, id, &size));
    EXPECT_EQ("Requested iIndex (2) is invalid.", lib.Error().text);
    size = 5;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.TLGetInterfaceID(system, 0, id, &size));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.TLGetInterfaceID(system, 0, id, nullptr));
    EXPECT_EQ("Specified iDst is invalid: iDst = 0x0.", lib.Error().text);
    bool8_t changed = false;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, &changed, GENTL_INFINITE));
    EXPECT_FALSE(changed);
}

TEST_F(System, InterfaceIDBeforeAnyUpdateIsNotAvailable) {
    char id[64];
    size_t size = sizeof id;
    EXPECT_EQ(GC_ERR_NOT_AVAILABLE, lib.TLGetInterfaceID(system, 0, id, &size));
    EXPECT_EQ("You have not called UpdateInterfaceList. Please update the interface list", lib.Error().text);
}

TEST_F(System, ForeignAndStaleHandlesAreRefusedWithoutBeingTouched) {
    uint32_t count = 0;
    int garbage[64] = {};
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLGetNumInterfaces(garbage, &count));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLGetNumInterfaces(nullptr, &count));
    EXPECT_EQ(0u, lib.Error().text.find("Specified hSystem is invalid or not the original handle"));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.TLGetNumInterfaces(system, nullptr));
}

TEST_F(System, InformationOfTheSystem) {
    char text[512] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_ID, &type, text, &size));
    EXPECT_STREQ("Quarvo.cti", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_DISPLAYNAME, &type, text, &size));
    EXPECT_STREQ("KV TL Simulator ", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_VERSION, &type, text, &size));
    EXPECT_STREQ("0.0.0.0", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_PATHNAME, &type, text, &size));
    EXPECT_EQ(lib.Path(), text);
    // The name query checks the size even without a buffer.
    size = 2;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.TLGetInfo(system, TL_INFO_ID, &type, nullptr, &size));
    size = sizeof text;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.TLGetInfo(system, 11, &type, text, &size));
    EXPECT_EQ("Requested iInfoCmd is not implemented; iInfoCmd = 11.", lib.Error().text);
    // Success of TLGetInfo leaves the previous record alone.
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_VENDOR, &type, text, &size));
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.Error().code);
}

TEST_F(System, InterfaceInformationByFullIdentifier) {
    const std::string id = InterfaceID(1);
    char text[256] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceInfo(system, id.c_str(), INTERFACE_INFO_DISPLAYNAME, &type, text, &size));
    EXPECT_STREQ("Interface : Board1", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceInfo(system, id.c_str(), INTERFACE_INFO_TLTYPE, &type, text, &size));
    EXPECT_STREQ("Custom", text);
    size = sizeof text;
    EXPECT_EQ(GC_ERR_INVALID_ID, lib.TLGetInterfaceInfo(system, "Board1", INTERFACE_INFO_ID, &type, text, &size));
    EXPECT_EQ("Requested strIfaceID 'Board1' is invalid.", lib.Error().text);
    // Long identifiers are cut to the message limit.
    const std::string longID(600, 'z');
    EXPECT_EQ(GC_ERR_INVALID_ID, lib.TLGetInterfaceInfo(system, longID.c_str(), INTERFACE_INFO_ID, &type, text, &size));
    EXPECT_EQ(255u, lib.Error().text.size());
}

TEST_F(System, OpenInterfaceTwiceYieldsTheSameHandle) {
    const std::string id = InterfaceID(0);
    IF_HANDLE first = nullptr, second = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, id.c_str(), &first));
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpenInterface(system, id.c_str(), &second));
    EXPECT_EQ(first, second);
    // Any identifier form of an open board names the open object.
    IF_HANDLE bare = nullptr;
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpenInterface(system, "board0", &bare));
    EXPECT_EQ(first, bare);
    IF_HANDLE unknown = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_ID, lib.TLOpenInterface(system, "QB::Board9", &unknown));
    EXPECT_EQ("Requested interface name 'QB::Board9' is invalid.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.TLOpenInterface(system, nullptr, &unknown));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.TLOpenInterface(system, id.c_str(), nullptr));
}

TEST_F(System, RegistersPublishTheSystemState) {
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 0));
    EXPECT_EQ(2u, ReadWord(system, 0x004));
    EXPECT_EQ("Board0", ReadText(system, 0x740, 256));
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(system, 0x008, 1));
    EXPECT_EQ("Board1", ReadText(system, 0x740, 256));
    // A selector beyond the list leaves the selected identifier alone.
    EXPECT_EQ(GC_ERR_SUCCESS, WriteWord(system, 0x008, 7));
    EXPECT_EQ("Board1", ReadText(system, 0x740, 256));
    EXPECT_EQ("EMVA_P", ReadText(system, 0x048, 64));
    EXPECT_EQ("Quarvo", ReadText(system, 0x088, 64));
    EXPECT_EQ("0.0.0.0", ReadText(system, 0x0C8, 16));
    EXPECT_EQ(5u, ReadWord(system, 0x0D8));
    EXPECT_EQ(1u, ReadWord(system, 0x0DC));
    EXPECT_EQ("Quarvo.cti", ReadText(system, 0x100, 256));
    EXPECT_EQ(lib.Path(), ReadText(system, 0x200, 2048));
    EXPECT_EQ("KV TL Simulator ", ReadText(system, 0x600, 256));
    EXPECT_EQ("Custom", ReadText(system, 0x700, 64));
    // Read-only registers refuse writes; missing ones are reported.
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, WriteWord(system, 0x004, 9));
    EXPECT_EQ("Register 4 is not writable.", lib.Error().text);
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_ERROR, lib.GCReadPort(system, 0x00C, &value, &size));
    EXPECT_EQ("Register C is not available.", lib.Error().text);
}

// A consumer that loads the producer by a relative path may change its working directory later.
TEST(SystemLoadedByRelativePath, FindsItsFrameGrabberAndReportsItsAbsolutePath) {
    ProducerLib lib(true, true);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    TL_HANDLE system = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
    char path[4096] = {};
    size_t size = sizeof path;
    INFO_DATATYPE type = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, TL_INFO_PATHNAME, &type, path, &size));
    EXPECT_EQ(std::filesystem::canonical(lib.Path()).string(), path);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

TEST(SystemWithoutFrameGrabber, OpenFailsNamingTheMissingLibraryAndCanBeRetried) {
    ProducerLib lib(false);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    TL_HANDLE system = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLOpen(&system));
    EXPECT_EQ(nullptr, system);
    EXPECT_NE(std::string::npos, lib.Error().text.find("libQuibbon.so")) << lib.Error().text;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLOpen(&system));
    EXPECT_NE(std::string::npos, lib.Error().text.find("libQuibbon.so")) << lib.Error().text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

}  // namespace
