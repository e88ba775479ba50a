// The simulated rig as the producer sees it: boards, cameras, parameters and stream information.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "simulator/PixelFormats.h"
#include "tests/simulator/SimHandles.h"

namespace {

using namespace Quibbon;
using sim_test::Handle;
using sim_test::OpenCamera;
using sim_test::Param;

// A text the component writes through (buffer, size): the size it reports counts the terminator.
template <class Read>
std::string ReadText(Read read) {
    char text[kIdTextSize] = {};
    uint64_t size = sizeof text;
    EXPECT_EQ(read(text, &size), kOk);
    EXPECT_EQ(size, std::strlen(text) + 1);
    return text;
}

TEST(ParameterTest, RigHasTwoBoardsOfTwoDistinctCameras) {
    Handle<ISystem> system(Sim::CreateSystem(Sim::MakeDefaultRig()));
    std::set<std::string> ids, serials;
    std::map<int32_t, int32_t> payload_of_format;
    uint32_t count = 0;
    ASSERT_EQ(system->GetNumInterfaces(&count), kOk);
    ASSERT_EQ(count, 2u);
    for (uint32_t b = 0; b < 2; ++b) {
        const std::string board = ReadText([&](char* t, uint64_t* s) { return system->GetInterfaceID(b, t, s); });
        EXPECT_EQ(board, "Board" + std::to_string(b));
        IInterface* raw = nullptr;
        ASSERT_EQ(system->OpenInterface(board.c_str(), &raw), kOk);
        Handle<IInterface> iface(raw);
        EXPECT_EQ(ReadText([&](char* t, uint64_t* s) { return iface->GetInfo(kInterfaceInfoPrefix, t, s); }), "QB");
        ASSERT_EQ(iface->GetNumDevices(&count), kOk);
        ASSERT_EQ(count, 2u);
        for (uint32_t c = 0; c < 2; ++c) {
            const std::string id = ReadText([&](char* t, uint64_t* s) { return iface->GetDeviceID(c, t, s); });
            ids.insert(id);
            IDevice* opened = nullptr;
            ASSERT_EQ(iface->OpenDevice(id.c_str(), &opened), kOk);
            Handle<IDevice> device(opened);
            auto text = [&](int32_t param) {
                return ReadText([&](char* t, uint64_t* s) { return device->GetParameter(param, t, s); });
            };
            EXPECT_EQ(text(kParamVendor), "Brondix");
            EXPECT_EQ(text(kParamUserName), "Center");
            const std::string serial = text(kParamSerialNumber);
            serials.insert(serial);
            EXPECT_TRUE(std::none_of(serial.begin(), serial.end(), [](unsigned char ch) { return std::islower(ch); })) << serial;
            payload_of_format[*Param(*device, kParamPixelFormat)] = *Param(*device, kParamPayloadSize);
            EXPECT_EQ(Param(*device, kParamWidth), 640);
            EXPECT_EQ(Param(*device, kParamHeight), 480);
            EXPECT_EQ(Param(*device, kParamFrameRate), 60);
            EXPECT_EQ(Param(*device, kParamTestPattern), kPatternMovingRamp);
            DeviceStatus status{};
            ASSERT_EQ(iface->GetDeviceStatus(id.c_str(), &status), kOk);
            EXPECT_NE(status.accessible, 0);
        }
    }
    EXPECT_EQ(ids, (std::set<std::string>{"Cam00", "Cam01", "Cam10", "Cam11"}));
    EXPECT_EQ(serials.size(), 4u);
    const int32_t pixels = 640 * 480;
    EXPECT_EQ(payload_of_format, (std::map<int32_t, int32_t>{{0x01080001, pixels},
                                                             {0x02180014, pixels * 3},
                                                             {0x01080009, pixels},
                                                             {0x010C0006, pixels * 3 / 2}}));
}

TEST(ParameterTest, BoardsOnlyKnowTheirOwnCameras) {
    Handle<ISystem> system(Sim::CreateSystem(Sim::MakeDefaultRig()));
    IInterface* raw = reinterpret_cast<IInterface*>(1);
    EXPECT_LT(system->OpenInterface("Board7", &raw), 0);
    EXPECT_EQ(raw, nullptr);
    ASSERT_EQ(system->OpenInterface("Board0", &raw), kOk);
    Handle<IInterface> iface(raw);
    IDevice* device = reinterpret_cast<IDevice*>(1);
    EXPECT_LT(iface->OpenDevice("Cam10", &device), 0);
    EXPECT_EQ(device, nullptr);
    DeviceStatus status{};
    EXPECT_LT(iface->GetDeviceStatus("Cam10", &status), 0);
    char text[8] = {};
    uint64_t size = sizeof text;
    EXPECT_LT(iface->GetInfo(99, text, &size), 0);
    EXPECT_LT(system->GetInterfaceID(2, text, &size), 0);
}

TEST(ParameterTest, SizesAcceptOnlyMultiplesOfFourInRange) {
    OpenCamera camera;
    for (int32_t value : {8, 4096, 320}) {
        EXPECT_EQ(camera.Set(kParamWidth, value), kOk) << value;
        EXPECT_EQ(camera.Get(kParamWidth), value);
    }
    for (int32_t value : {4, 4100, 10, 0, -8}) {
        EXPECT_LT(camera.Set(kParamWidth, value), 0) << value;
        EXPECT_LT(camera.Set(kParamHeight, value), 0) << value;
    }
    EXPECT_EQ(camera.Get(kParamWidth), 320);
    EXPECT_EQ(camera.Get(kParamHeight), 480);
    EXPECT_EQ(camera.Set(kParamHeight, 100), kOk);
    EXPECT_EQ(camera.Get(kParamPayloadSize), 320 * 100);
}

TEST(ParameterTest, ReadOnlyAndUnknownParametersRefuseWrites) {
    OpenCamera camera;
    const auto payload = camera.Get(kParamPayloadSize);
    for (int32_t param : {kParamPixelFormat, kParamVendor, kParamModel, kParamSerialNumber, kParamUserName,
                          kParamPayloadSize}) {
        EXPECT_LT(camera.Set(param, 16), 0) << param;
    }
    EXPECT_EQ(camera.Get(kParamPixelFormat), 0x01080001);
    EXPECT_EQ(camera.Get(kParamPayloadSize), payload);
    for (int32_t param : {0, 6, 15, 19, 100, 106, -1}) {
        EXPECT_LT(camera.Set(param, 1), 0) << param;
        EXPECT_FALSE(camera.Get(param).has_value()) << param;
    }
}

TEST(ParameterTest, EnumeratedSettingsRefuseUnknownValues) {
    OpenCamera camera;
    for (int32_t pattern = 0; pattern <= 3; ++pattern) {
        EXPECT_EQ(camera.Set(kParamTestPattern, pattern), kOk);
    }
    EXPECT_LT(camera.Set(kParamTestPattern, 4), 0);
    EXPECT_LT(camera.Set(kParamTestPattern, -1), 0);
    EXPECT_EQ(camera.Get(kParamTestPattern), 3);
    EXPECT_LT(camera.Set(kParamTriggerMode, 2), 0);
    EXPECT_EQ(camera.Set(kParamTriggerMode, 1), kOk);
    EXPECT_EQ(camera.Get(kParamTriggerMode), 1);
    EXPECT_LT(camera.Set(kParamTriggerSource, 1), 0);
    EXPECT_EQ(camera.Set(kParamTriggerSource, 0), kOk);
    EXPECT_LT(camera.Set(kParamSoftwareTrigger, 5), 0);
    for (int32_t param : {kParamEventNotification, kParamRemoteEventTrigger, kParamChunkMode, kParamFrameRate}) {
        EXPECT_EQ(camera.Set(param, 1), kOk);
        EXPECT_EQ(camera.Get(param), 1);
    }
}

TEST(ParameterTest, WritesTakeFourBytesWhateverSizeIsStated) {
    OpenCamera camera;
    const int32_t width = 64;
    uint64_t zero = 0;
    EXPECT_EQ(camera.device->SetParameter(kParamWidth, &width, &zero), kOk);
    EXPECT_EQ(camera.Get(kParamWidth), 64);
    const int32_t height = 32;
    EXPECT_EQ(camera.device->SetParameter(kParamHeight, &height, nullptr), kOk);
    EXPECT_EQ(camera.Get(kParamHeight), 32);
}

TEST(ParameterTest, ReadsNeverWriteBeyondTheGivenSize) {
    OpenCamera camera;
    uint8_t bytes[8];
    std::memset(bytes, 0xAB, sizeof bytes);
    uint64_t size = 3;
    EXPECT_LT(camera.device->GetParameter(kParamWidth, bytes, &size), 0);
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(size, 3u);

    char text[8];
    std::memset(text, 'x', sizeof text);
    size = 7;  // "Brondix" needs 8 with its terminator
    EXPECT_LT(camera.device->GetParameter(kParamVendor, text, &size), 0);
    EXPECT_EQ(text[0], 'x');
    size = 8;
    EXPECT_EQ(camera.device->GetParameter(kParamVendor, text, &size), kOk);
    EXPECT_STREQ(text, "Brondix");

    // Identifier queries without a buffer only report the size needed.
    size = 0;
    EXPECT_EQ(camera.system->GetInterfaceID(1, nullptr, &size), kOk);
    EXPECT_EQ(size, sizeof "Board1");
    std::memset(text, 'x', sizeof text);
    size = 3;
    EXPECT_LT(camera.system->GetInterfaceID(1, text, &size), 0);
    EXPECT_EQ(text[0], 'x');
}

TEST(ParameterTest, NullPointersAreRefusedEverywhere) {
    OpenCamera camera;
    Handle<ISystem>& system = camera.system;
    EXPECT_LT(system->GetNumInterfaces(nullptr), 0);
    EXPECT_LT(system->GetInterfaceID(0, nullptr, nullptr), 0);
    EXPECT_LT(system->OpenInterface(nullptr, nullptr), 0);
    IInterface* iface = nullptr;
    EXPECT_LT(system->OpenInterface(nullptr, &iface), 0);
    ASSERT_EQ(system->OpenInterface("Board0", &iface), kOk);
    Handle<IInterface> held(iface);
    EXPECT_LT(iface->GetNumDevices(nullptr), 0);
    EXPECT_LT(iface->GetDeviceID(0, nullptr, nullptr), 0);
    EXPECT_LT(iface->OpenDevice(nullptr, nullptr), 0);
    EXPECT_LT(iface->GetInfo(kInterfaceInfoPrefix, nullptr, nullptr), 0);
    EXPECT_LT(iface->GetDeviceStatus(nullptr, nullptr), 0);
    EXPECT_LT(iface->GetDeviceStatus("Cam00", nullptr), 0);
    uint64_t size = 4;
    EXPECT_LT(camera.device->GetNumDataStreams(nullptr), 0);
    EXPECT_LT(camera.device->OpenDataStream(0, nullptr), 0);
    EXPECT_LT(camera.device->SetParameter(kParamWidth, nullptr, &size), 0);
    EXPECT_LT(camera.device->GetParameter(kParamWidth, nullptr, &size), 0);
    int32_t value = 0;
    EXPECT_LT(camera.device->GetParameter(kParamWidth, &value, nullptr), 0);
    auto stream = camera.Stream();
    EXPECT_LT(stream->Fill(nullptr, 0), 0);
    EXPECT_LT(stream->GetInfo(kStreamInfoNumStarted, &value, nullptr), 0);
    EXPECT_LT(stream->Grab(&value, nullptr, 0, nullptr), 0);
}

TEST(ParameterTest, SettingsBelongToTheCameraNotToTheHandle) {
    OpenCamera camera;
    ASSERT_EQ(camera.Set(kParamWidth, 128), kOk);
    auto second = sim_test::OpenDevice(*camera.system, "Board0", "Cam00");
    camera.device.reset();
    EXPECT_EQ(Param(*second, kParamWidth), 128);
    EXPECT_EQ(Param(*sim_test::OpenDevice(*camera.system, "Board0", "Cam01"), kParamWidth), 640);
}

TEST(ParameterTest, SharedSystemsSeeOneRigUntilAllObjectsAreGone) {
    {
        Handle<ISystem> first(Sim::CreateSharedSystem());
        auto device = sim_test::OpenDevice(*first, "Board1", "Cam10");
        first.reset();
        const int32_t width = 200;
        ASSERT_EQ(device->SetParameter(kParamWidth, &width, nullptr), kOk);
        Handle<ISystem> second(Sim::CreateSharedSystem());
        EXPECT_EQ(Param(*sim_test::OpenDevice(*second, "Board1", "Cam10"), kParamWidth), 200);
    }
    Handle<ISystem> fresh(Sim::CreateSharedSystem());
    EXPECT_EQ(Param(*sim_test::OpenDevice(*fresh, "Board1", "Cam10"), kParamWidth), 640);
}

TEST(ParameterTest, StreamInformationFollowsStartAndStop) {
    OpenCamera camera;
    uint32_t streams = 0;
    ASSERT_EQ(camera.device->GetNumDataStreams(&streams), kOk);
    EXPECT_EQ(streams, 1u);
    IDataStream* none = nullptr;
    EXPECT_LT(camera.device->OpenDataStream(1, &none), 0);
    auto stream = camera.Stream();
    auto info = [&](int32_t which, uint64_t bytes) {
        uint64_t value = 0;
        uint64_t size = bytes;
        EXPECT_EQ(stream->GetInfo(which, &value, &size), kOk);
        EXPECT_EQ(size, bytes);
        return value;
    };
    EXPECT_EQ(info(kStreamInfoIsGrabbing, 1), 0u);
    ASSERT_EQ(stream->StartAcquisition(0, -1), kOk);
    EXPECT_LT(stream->StartAcquisition(0, -1), 0);
    EXPECT_EQ(info(kStreamInfoIsGrabbing, 1), 1u);
    // The state is the camera's: a stream object opened later sees it.
    auto other = camera.Stream();
    ASSERT_EQ(other->StopAcquisition(0, 1), kOk);
    EXPECT_LT(other->StopAcquisition(0, 1), 0);
    EXPECT_EQ(info(kStreamInfoIsGrabbing, 1), 0u);
    ASSERT_EQ(other->StartAcquisition(0, -1), kOk);
    EXPECT_EQ(info(kStreamInfoNumStarted, 8), 2u);
    EXPECT_EQ(info(kStreamInfoGrabVersion, 4), 1u);
    EXPECT_EQ(info(kStreamInfoFrameRecord, 4), 1u);

    uint8_t bytes[8];
    std::memset(bytes, 0xCD, sizeof bytes);
    uint64_t size = 7;
    EXPECT_LT(stream->GetInfo(kStreamInfoNumStarted, bytes, &size), 0);
    EXPECT_EQ(bytes[0], 0xCD);
    size = 0;
    EXPECT_EQ(stream->GetInfo(kStreamInfoNumStarted, nullptr, &size), kOk);
    EXPECT_EQ(size, 8u);
    EXPECT_LT(stream->GetInfo(5, bytes, &size), 0);
    EXPECT_LT(stream->GetInfo(10, bytes, &size), 0);
}

}  // namespace
