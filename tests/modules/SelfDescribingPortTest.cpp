// The remote device port of a camera that describes itself, driven through the exported functions
// against the self-describing test component: the URL and document the camera gives, accesses
// handed to the camera unchanged, its refusals as GenTL errors with its reasons, the port's end
// with its device, and GenApi evaluating the camera's own document. A camera without the extension
// keeps the producer's own remote device port.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "genapi/GenApiTesting.h"
#include "support/OpenSystem.h"
#include "tests/modules/selfdescribing/CameraLayout.h"

namespace quarvo_test {
namespace {

namespace sd = self_describing;

class SelfDescribingPort : public OpenSystem {
protected:
    void SetUp() override {
        lib.UseComponent(QUARVO_SELF_DESCRIBING_COMPONENT);
        OpenSystem::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        iface = OpenInterface(0);
        device = OpenDevice(iface, sd::kCameraID);
        ASSERT_NE(nullptr, device);
        remote = RemotePort(device);
    }

    std::string URL() {
        char url[256] = {};
        size_t size = sizeof url;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(remote, url, &size)) << lib.Error().text;
        EXPECT_EQ(std::strlen(url) + 2, size);
        return url;
    }

    template <class T>
    T URLInfo(URL_INFO_CMD command, INFO_DATATYPE expectedType) {
        T value{};
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(remote, 0, command, &type, &value, &size)) << lib.Error().text;
        EXPECT_EQ(expectedType, type) << command;
        return value;
    }

    std::string URLInfoText(URL_INFO_CMD command) {
        char text[256] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURLInfo(remote, 0, command, &type, text, &size)) << lib.Error().text;
        EXPECT_EQ(std::strlen(text) + 1, size);
        return text;
    }

    std::string PortInfoText(PORT_HANDLE port, PORT_INFO_CMD command) {
        char text[256] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortInfo(port, command, &type, text, &size)) << lib.Error().text;
        return text;
    }

    // The document's block: the text and its zero padding.
    std::string Document() {
        std::string block(sd::kDocument);
        return block.append(sd::kDocumentLength - block.size(), '\0');
    }

    // The camera's registers as they are now.
    struct Registers {
        std::string vendor;
        uint32_t gain;
        uint32_t width;
        bool operator==(const Registers& other) const {
            return vendor == other.vendor && gain == other.gain && width == other.width;
        }
    };
    Registers Read() {
        return {ReadText(remote, sd::kVendorAddress, sd::kVendorLength), ReadWord(remote, sd::kGainAddress),
                ReadWord(remote, sd::kWidthAddress)};
    }

    IF_HANDLE iface = nullptr;
    DEV_HANDLE device = nullptr;
    PORT_HANDLE remote = nullptr;
};

TEST_F(SelfDescribingPort, ServesTheURLTheCameraGives) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "Local:SelfCam.xml;8000;%llX",
                  static_cast<unsigned long long>(sd::kDocumentLength));
    EXPECT_EQ(expected, URL());
    size_t size = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(remote, nullptr, &size));
    EXPECT_EQ(std::strlen(expected) + 2, size);
    uint32_t urls = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetNumPortURLs(remote, &urls));
    EXPECT_EQ(1u, urls);

    EXPECT_EQ(expected, URLInfoText(URL_INFO_URL));
    EXPECT_EQ("SelfCam.xml", URLInfoText(URL_INFO_FILENAME));
    EXPECT_EQ(sd::kDocumentAddress, URLInfo<uint64_t>(URL_INFO_FILE_REGISTER_ADDRESS, INFO_DATATYPE_UINT64));
    EXPECT_EQ(sd::kDocumentLength, URLInfo<uint64_t>(URL_INFO_FILE_SIZE, INFO_DATATYPE_UINT64));
    EXPECT_EQ(URL_SCHEME_LOCAL, URLInfo<int32_t>(URL_INFO_SCHEME, INFO_DATATYPE_INT32));
    const std::vector<int32_t> versions{URLInfo<int32_t>(URL_INFO_SCHEMA_VER_MAJOR, INFO_DATATYPE_INT32),
                                        URLInfo<int32_t>(URL_INFO_SCHEMA_VER_MINOR, INFO_DATATYPE_INT32),
                                        URLInfo<int32_t>(URL_INFO_FILE_VER_MAJOR, INFO_DATATYPE_INT32),
                                        URLInfo<int32_t>(URL_INFO_FILE_VER_MINOR, INFO_DATATYPE_INT32),
                                        URLInfo<int32_t>(URL_INFO_FILE_VER_SUBMINOR, INFO_DATATYPE_INT32)};
    EXPECT_EQ((std::vector<int32_t>{1, 1, 1, 1, 0}), versions);

    char text[64];
    size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURLInfo(remote, 0, URL_INFO_FILE_SHA1_HASH, &type, text, &size));
    EXPECT_EQ("Specified iCmd is invalid: iCmd = 0x6.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortURLInfo(remote, 1, URL_INFO_URL, &type, text, &size));
    EXPECT_EQ("Specified iURLIndex is invalid: iURLIndex = 0x1.", lib.Error().text);
}

TEST_F(SelfDescribingPort, PortInformationNamesTheCamera) {
    EXPECT_EQ(sd::kCameraID, PortInfoText(remote, PORT_INFO_ID));
    EXPECT_EQ(sd::kVendor, PortInfoText(remote, PORT_INFO_VENDOR));
    EXPECT_EQ(sd::kModel, PortInfoText(remote, PORT_INFO_MODEL));
    EXPECT_EQ("Custom", PortInfoText(remote, PORT_INFO_TLTYPE));
    EXPECT_EQ("Device", PortInfoText(remote, PORT_INFO_MODULE));
    EXPECT_EQ("Device", PortInfoText(remote, PORT_INFO_PORTNAME));
    uint8_t writable = 0;
    size_t size = sizeof writable;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortInfo(remote, PORT_INFO_ACCESS_WRITE, &type, &writable, &size));
    EXPECT_EQ(1u, writable);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetPortInfo(remote, 13, &type, &writable, &size));
    EXPECT_EQ("Specified iCmd is invalid: iCmd = 0xd.", lib.Error().text);
    EVENT_HANDLE event = nullptr;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCRegisterEvent(remote, EVENT_REMOTE_DEVICE, &event));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(device, EVENT_REMOTE_DEVICE, &event)) << lib.Error().text;
}

TEST_F(SelfDescribingPort, DocumentIsReadWhereTheURLPoints) {
    std::string block(sd::kDocumentLength, 'x');
    size_t size = block.size();
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(remote, sd::kDocumentAddress, &block[0], &size)) << lib.Error().text;
    EXPECT_EQ(sd::kDocumentLength, size);
    EXPECT_EQ(Document(), block);
    char part[16] = {};
    size = sizeof part;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(remote, sd::kDocumentAddress + 6, part, &size)) << lib.Error().text;
    EXPECT_EQ(Document().substr(6, sizeof part), std::string(part, sizeof part));
}

TEST_F(SelfDescribingPort, AccessesGoToTheCamera) {
    EXPECT_EQ((Registers{sd::kVendor, sd::kGainInitial, sd::kWidth}), Read());
    ASSERT_EQ(GC_ERR_SUCCESS, WriteWord(remote, sd::kGainAddress, sd::kGainMax)) << lib.Error().text;
    EXPECT_EQ(sd::kGainMax, ReadWord(remote, sd::kGainAddress));
    // A missing buffer is the caller's fault: it never reaches the camera.
    size_t size = 4;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCReadPort(remote, sd::kGainAddress, nullptr, &size));
    EXPECT_EQ("Specified pBuffer is invalid: pBuffer = 0x0.", lib.Error().text);
    // The camera keeps its registers: a device opened again finds them as they were left.
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    PORT_HANDLE reopened = RemotePort(OpenDevice(iface, sd::kCameraID));
    EXPECT_EQ(sd::kGainMax, ReadWord(reopened, sd::kGainAddress));
}

struct Refusal {
    const char* what;
    bool write;
    uint64_t address;
    size_t size;
    uint32_t value;  // the first four bytes written
    GC_ERROR code;
    const char* text;
};

class SelfDescribingRefusals : public SelfDescribingPort, public ::testing::WithParamInterface<Refusal> {};

// Each refusal changes nothing, and its text is the camera's reason; where the camera gives none,
// the text names the access.
TEST_P(SelfDescribingRefusals, CarryTheCodeAndTheCamerasReason) {
    const Refusal& refusal = GetParam();
    const Registers before = Read();
    uint32_t data[sd::kVendorLength / 4] = {refusal.value};
    size_t size = refusal.size;
    const GC_ERROR code = refusal.write ? lib.GCWritePort(remote, refusal.address, data, &size)
                                        : lib.GCReadPort(remote, refusal.address, data, &size);
    EXPECT_EQ(refusal.code, code);
    EXPECT_EQ(refusal.text, lib.Error().text);
    EXPECT_EQ(before, Read());
}

INSTANTIATE_TEST_SUITE_P(
    Camera, SelfDescribingRefusals,
    ::testing::Values(
        Refusal{"OutOfRange", true, sd::kGainAddress, 4, sd::kGainMax + 1, GC_ERR_INVALID_PARAMETER,
                "Gain: 49 is outside 0 .. 48"},
        Refusal{"ReadOnly", true, sd::kVendorAddress, sd::kVendorLength, 0x6F6F, GC_ERR_ACCESS_DENIED,
                "DeviceVendorName is read-only"},
        Refusal{"Locked", true, sd::kWidthAddress, 4, 320, GC_ERR_ACCESS_DENIED,
                "Width is locked while the camera acquires"},
        Refusal{"NoRegister", false, 0x200, 4, 0, GC_ERR_INVALID_ADDRESS,
                "The camera refused to read 4 bytes at address 0x200: no register covers that range."},
        Refusal{"PartOfARegister", true, sd::kGainAddress + 2, 2, 1, GC_ERR_INVALID_ADDRESS,
                "The camera refused to write 2 bytes at address 0x102: no register covers that range."}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.what; });

TEST_F(SelfDescribingPort, StackedAccessStopsAtTheCamerasFirstRefusal) {
    char vendor[sd::kVendorLength] = {};
    uint32_t gain = 0, width = 0;
    PORT_REGISTER_STACK_ENTRY reads[3] = {{sd::kVendorAddress, vendor, sizeof vendor},
                                          {sd::kGainAddress, &gain, 4},
                                          {sd::kWidthAddress, &width, 4}};
    size_t count = 3;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCReadPortStacked(remote, reads, &count)) << lib.Error().text;
    EXPECT_STREQ(sd::kVendor, vendor);
    EXPECT_EQ(sd::kGainInitial, gain);
    EXPECT_EQ(sd::kWidth, width);

    uint32_t newGain = 30, newWidth = 320, laterGain = 40;
    PORT_REGISTER_STACK_ENTRY writes[3] = {{sd::kGainAddress, &newGain, 4},
                                           {sd::kWidthAddress, &newWidth, 4},
                                           {sd::kGainAddress, &laterGain, 4}};
    count = 3;
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, lib.GCWritePortStacked(remote, writes, &count));
    EXPECT_EQ("Width is locked while the camera acquires", lib.Error().text);
    EXPECT_EQ(newGain, ReadWord(remote, sd::kGainAddress));  // written before the refusal, and not after
    EXPECT_EQ(sd::kWidth, ReadWord(remote, sd::kWidthAddress));
}

TEST_F(SelfDescribingPort, PortEndsWithItsDevice) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCReadPort(remote, sd::kGainAddress, &value, &size));
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCWritePort(remote, sd::kGainAddress, &value, &size));
    char url[128];
    size = sizeof url;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetPortURL(remote, url, &size));
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.GCGetPortInfo(remote, PORT_INFO_VENDOR, &type, url, &size));
}

// A GenApi engine loads the camera's document through the port and evaluates its features on the
// camera's registers; the camera's refusal reaches it with its reason.
TEST_F(SelfDescribingPort, GenApiEvaluatesTheCamerasDocument) {
    GenApiPort camera(lib, remote);
    EXPECT_EQ(sd::kVendor, camera.String("DeviceVendorName"));
    EXPECT_EQ(sd::kGainInitial, camera.Integer("Gain"));
    camera.SetInteger("Gain", 25);
    EXPECT_EQ(25u, ReadWord(remote, sd::kGainAddress));
    const std::string refusal = GenApiErrorOf([&] { camera.SetInteger("Width", 320); });
    EXPECT_NE(std::string::npos, refusal.find("Width is locked while the camera acquires")) << refusal;
}

// The simulator's cameras do not describe themselves: they keep the producer's remote device port.
using BasicCameraPort = OpenSystem;

TEST_F(BasicCameraPort, KeepsTheProducersOwnPort) {
    PORT_HANDLE port = RemotePort(OpenDevice(OpenInterface(0), "Cam00"));
    char url[128] = {};
    size_t size = sizeof url;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(port, url, &size)) << lib.Error().text;
    EXPECT_EQ(0u, std::string(url).find("Local:KVDEV.xml;380;")) << url;
    EXPECT_EQ(std::strlen(url) + 2, size);
    INFO_DATATYPE type = 0;
    char text[64] = {};
    size = sizeof text;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCGetPortInfo(port, PORT_INFO_MODEL, &type, text, &size));
    EXPECT_STREQ("QuarvoDev", text);
}

}  // namespace
}  // namespace quarvo_test
