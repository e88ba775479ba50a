// The SFNC camera through the producer, as an application meets it: Aravis evaluates the camera's
// own document, features are set by name, and each has its effect on the delivered image, the
// pacing and the acquisition. The scene is the still ramp in Mono16, so every sample of the full
// sensor image is visible and the same in every frame; each transformation is checked against
// that image, independently of how the camera computes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sfnc/SfncFixture.h"

namespace quarvo_test {
namespace {

constexpr uint32_t kSensorWidth = 64;
constexpr uint32_t kSensorHeight = 48;
constexpr uint64_t kRegWidth = 0x2010;
constexpr uint64_t kRegOffsetX = 0x2018;
constexpr uint64_t kRegPixelFormat = 0x2020;
constexpr uint64_t kRegSensorWidth = 0x2000;
constexpr uint32_t kRGB8 = 0x02180014;
constexpr uint64_t kNoFrameMs = 150;  // how long "no frame comes" is watched

constexpr char kRig[] = R"([[board]]
[[board.camera]]
id = "Sfnc"
profile = "sfnc"
vendor = "Quarvo"
model = "QS-64M"
serial = "SFNC0001"
width = 64
height = 48
pixel_format = "Mono16"
frame_rate = 0
pattern = "still-ramp"
)";

struct Frame {
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t pixelFormat = 0;
    uint64_t timestampNs = 0;
    std::vector<uint8_t> bytes;

    uint16_t At(uint32_t x, uint32_t y) const {
        uint16_t sample = 0;
        std::memcpy(&sample, &bytes[(static_cast<size_t>(y) * width + x) * 2], sizeof sample);
        return sample;
    }
};

class SfncCamera : public SfncFixture {
protected:
    SfncCamera() : SfncFixture(kRig) {}

    // The next delivered frame, its buffer queued again.
    Frame Next() {
        Frame frame;
        BUFFER_HANDLE buffer = NextBuffer();
        if (buffer == nullptr) {
            return frame;
        }
        frame.width = BufferInfo<size_t>(buffer, BUFFER_INFO_WIDTH);
        frame.height = BufferInfo<size_t>(buffer, BUFFER_INFO_HEIGHT);
        frame.pixelFormat = BufferInfo<uint64_t>(buffer, BUFFER_INFO_PIXELFORMAT);
        frame.timestampNs = BufferInfo<uint64_t>(buffer, BUFFER_INFO_TIMESTAMP_NS);
        const auto* base = static_cast<const uint8_t*>(BufferInfo<void*>(buffer, BUFFER_INFO_BASE));
        frame.bytes.assign(base, base + BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
        return frame;
    }

    // Whether a frame arrives within kNoFrameMs.
    bool FrameComes() {
        EVENT_NEW_BUFFER_DATA data{};
        size_t size = sizeof data;
        const GC_ERROR result = lib.EventGetData(newBuffer, &data, &size, kNoFrameMs);
        if (result == GC_ERR_SUCCESS) {
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, data.BufferHandle));
            return true;
        }
        EXPECT_EQ(GC_ERR_TIMEOUT, result) << lib.Error().text;
        return false;
    }

    // One frame with the current settings.
    Frame Grab() {
        Start(5);
        Frame frame = Next();
        Stop();
        return frame;
    }

    GC_ERROR WriteDouble(uint64_t address, double value) {
        size_t size = sizeof value;
        return lib.GCWritePort(remote, address, &value, &size);
    }

};

TEST_F(SfncCamera, DescribesItselfWithTheFeaturesApplicationsSet) {
    char url[256] = {};
    size_t size = sizeof url;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(remote, url, &size)) << lib.Error().text;
    EXPECT_EQ(0, std::strncmp(url, "Local:QuarvoSfncCamera.xml;100000;", 34)) << url;

    const char* const kFeatures[] = {
        "DeviceVendorName", "DeviceModelName", "DeviceSerialNumber", "DeviceUserID", "DeviceFirmwareVersion",
        "DeviceTemperature", "DeviceReset", "SensorWidth", "SensorHeight", "WidthMax", "HeightMax", "Width",
        "Height", "OffsetX", "OffsetY", "PixelFormat", "ReverseX", "ReverseY", "BinningHorizontal",
        "BinningVertical", "DecimationHorizontal", "DecimationVertical", "TestPattern", "AcquisitionMode",
        "AcquisitionStart", "AcquisitionStop", "AcquisitionFrameCount", "AcquisitionFrameRate",
        "AcquisitionFrameRateEnable", "TriggerSelector", "TriggerMode", "TriggerSoftware", "TriggerSource",
        "TriggerActivation", "TriggerDelay", "ExposureMode", "ExposureTime", "ExposureAuto", "Gain", "GainAuto",
        "GainSelector", "BlackLevel", "Gamma", "PayloadSize"};
    for (const char* feature : kFeatures) {
        EXPECT_NE(nullptr, camera->FindNode(feature)) << feature;
    }
    EXPECT_EQ("Quarvo", camera->String("DeviceVendorName"));
    EXPECT_EQ("QS-64M", camera->String("DeviceModelName"));
    EXPECT_EQ("SFNC0001", camera->String("DeviceSerialNumber"));
    EXPECT_NE("", camera->String("DeviceFirmwareVersion"));
    EXPECT_EQ(kSensorWidth, camera->Integer("SensorWidth"));
    EXPECT_EQ(kSensorWidth * kSensorHeight * 2, camera->Integer("PayloadSize"));
    EXPECT_EQ(36u, camera->EnumerationEntries("PixelFormat").size()) << "every format the generator knows";

    // The user's name for the camera outlives the device; the temperature rises while acquiring.
    camera->SetString("DeviceUserID", "Left lens");
    const double idle = camera->Float("DeviceTemperature");
    EXPECT_GE(idle, 20.0);
    EXPECT_LE(idle, 60.0);
    Start(5);
    Next();
    EXPECT_GT(camera->Float("DeviceTemperature"), idle);
    Stop();
    camera.reset();
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    device = OpenDevice(iface, "Sfnc");
    GenApiPort reopened(lib, RemotePort(device));
    EXPECT_EQ("Left lens", reopened.String("DeviceUserID"));
}

TEST_F(SfncCamera, RegionReverseBinningAndDecimationTransformTheSensorImage) {
    const Frame sensor = Grab();
    ASSERT_EQ(kSensorWidth, sensor.width);
    ASSERT_EQ(kSensorHeight, sensor.height);

    camera->SetInteger("Width", 32);
    camera->SetInteger("Height", 16);
    camera->SetInteger("OffsetX", 8);
    camera->SetInteger("OffsetY", 4);
    const Frame region = Grab();
    ASSERT_EQ(32u, region.width);
    ASSERT_EQ(16u, region.height);
    camera->SetBoolean("ReverseX", true);
    camera->SetBoolean("ReverseY", true);
    const Frame mirrored = Grab();
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 32; ++x) {
            ASSERT_EQ(sensor.At(8 + x, 4 + y), region.At(x, y)) << x << "," << y;
            ASSERT_EQ(region.At(31 - x, 15 - y), mirrored.At(x, y)) << x << "," << y;
        }
    }

    camera->SetBoolean("ReverseX", false);
    camera->SetBoolean("ReverseY", false);
    camera->SetInteger("OffsetX", 0);
    camera->SetInteger("OffsetY", 0);
    camera->SetInteger("Width", kSensorWidth);
    camera->SetInteger("Height", kSensorHeight);
    camera->SetEnumeration("BinningHorizontalMode", "Average");
    camera->SetEnumeration("BinningVerticalMode", "Average");
    camera->SetInteger("BinningHorizontal", 2);
    camera->SetInteger("BinningVertical", 2);
    EXPECT_EQ(kSensorWidth / 2, camera->Integer("WidthMax"));
    EXPECT_EQ(kSensorWidth / 2, camera->Integer("Width"));
    EXPECT_EQ(kSensorHeight / 2, camera->Integer("Height"));
    const Frame averaged = Grab();
    camera->SetEnumeration("BinningHorizontalMode", "Sum");
    camera->SetEnumeration("BinningVerticalMode", "Sum");
    const Frame summed = Grab();
    ASSERT_EQ(kSensorWidth / 2, averaged.width);
    for (uint32_t y = 0; y < kSensorHeight / 2; ++y) {
        for (uint32_t x = 0; x < kSensorWidth / 2; ++x) {
            const uint32_t sum = sensor.At(2 * x, 2 * y) + sensor.At(2 * x + 1, 2 * y) + sensor.At(2 * x, 2 * y + 1) +
                                 sensor.At(2 * x + 1, 2 * y + 1);
            ASSERT_EQ(std::min<uint32_t>(sum, 65535), summed.At(x, y)) << x << "," << y;
            // Horizontal pairs are averaged first, then the vertical pair of those.
            const uint32_t top = (sensor.At(2 * x, 2 * y) + sensor.At(2 * x + 1, 2 * y)) / 2;
            const uint32_t bottom = (sensor.At(2 * x, 2 * y + 1) + sensor.At(2 * x + 1, 2 * y + 1)) / 2;
            ASSERT_NEAR((top + bottom) / 2.0, averaged.At(x, y), 1.0) << x << "," << y;
        }
    }

    camera->SetInteger("BinningHorizontal", 1);
    camera->SetInteger("BinningVertical", 1);
    camera->SetInteger("DecimationVertical", 3);
    EXPECT_EQ(kSensorHeight / 3, camera->Integer("HeightMax"));
    const Frame decimated = Grab();
    ASSERT_EQ(kSensorHeight / 3, decimated.height);
    for (uint32_t y = 0; y < kSensorHeight / 3; ++y) {
        ASSERT_EQ(sensor.At(5, 3 * y), decimated.At(5, y)) << y;
    }
}

TEST_F(SfncCamera, ExposureGainBlackLevelAndGammaScaleTheSamplesAsDefined) {
    const Frame sensor = Grab();
    const auto expect = [&](const Frame& frame, auto transform) {
        for (uint32_t y = 0; y < kSensorHeight; y += 3) {
            for (uint32_t x = 0; x < kSensorWidth; x += 5) {
                const double value = std::min(65535.0, transform(static_cast<double>(sensor.At(x, y))));
                ASSERT_NEAR(value, frame.At(x, y), 1.0) << x << "," << y;
            }
        }
    };
    camera->SetFloat("ExposureTime", 5000.0);
    expect(Grab(), [](double s) { return s * 0.5; });
    camera->SetFloat("Gain", 6.0);
    expect(Grab(), [](double s) { return s * 0.5 * std::pow(10.0, 6.0 / 20.0); });
    camera->SetFloat("ExposureTime", 10000.0);
    camera->SetFloat("Gain", 0.0);
    camera->SetFloat("BlackLevel", 10.0);
    expect(Grab(), [](double s) { return s + 2560.0; });
    camera->SetFloat("BlackLevel", 0.0);
    camera->SetFloat("Gamma", 0.5);
    expect(Grab(), [](double s) { return 65535.0 * std::sqrt(s / 65535.0); });

    // Once: the next frame sets an exposure that brings the mean grey near mid grey, then it is off.
    camera->SetFloat("Gamma", 1.0);
    camera->SetEnumeration("ExposureAuto", "Once");
    Grab();
    EXPECT_EQ("Off", camera->Enumeration("ExposureAuto"));
    const Frame automatic = Grab();
    double sum = 0.0;
    for (uint32_t y = 0; y < kSensorHeight; ++y) {
        for (uint32_t x = 0; x < kSensorWidth; ++x) {
            sum += automatic.At(x, y);
        }
    }
    EXPECT_NEAR(32767.0, sum / (kSensorWidth * kSensorHeight), 32767.0 * 0.15);
}

TEST_F(SfncCamera, RefusedWritesNameTheFeatureAndKeepTheSetting) {
    const auto refused = [&](uint64_t address, uint32_t value, GC_ERROR code, const char* feature) {
        EXPECT_EQ(code, WriteWord(remote, address, value)) << feature << " = " << value;
        const std::string text = lib.Error().text;
        EXPECT_NE(std::string::npos, text.find(feature)) << text;
        EXPECT_NE(std::string::npos, text.find(std::to_string(value))) << text;
    };
    refused(kRegWidth, 1000, GC_ERR_INVALID_PARAMETER, "Width");
    refused(kRegWidth, 30, GC_ERR_INVALID_PARAMETER, "Width");
    refused(kRegOffsetX, 8, GC_ERR_INVALID_PARAMETER, "OffsetX");  // the full width leaves no room
    refused(kRegPixelFormat, 0x12345678, GC_ERR_INVALID_PARAMETER, "PixelFormat");
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, WriteWord(remote, kRegSensorWidth, 32));
    EXPECT_EQ(GC_ERR_INVALID_ADDRESS, WriteWord(remote, kRegWidth + 2, 32));
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, WriteDouble(0x3048, 0.0)) << "ExposureTime below its minimum";
    EXPECT_EQ(kSensorWidth, camera->Integer("Width"));
    EXPECT_EQ(0, camera->Integer("OffsetX"));
    EXPECT_EQ("Mono16", camera->Enumeration("PixelFormat"));
    EXPECT_DOUBLE_EQ(10000.0, camera->Float("ExposureTime"));

    // While acquiring, size and format are locked; the offset is not.
    camera->SetInteger("Width", 32);
    Start(5);
    EXPECT_EQ(1, camera->Integer("TLParamsLocked"));
    refused(kRegWidth, 16, GC_ERR_ACCESS_DENIED, "Width");
    EXPECT_NE("", GenApiErrorOf([&] { camera->SetEnumeration("PixelFormat", "RGB8"); }));
    camera->SetInteger("OffsetX", 16);
    EXPECT_EQ(16, camera->Integer("OffsetX"));
    Stop();
    EXPECT_EQ(0, camera->Integer("TLParamsLocked"));

    camera->SetEnumeration("PixelFormat", "RGB8");
    EXPECT_EQ(32 * kSensorHeight * 3, camera->Integer("PayloadSize"));
    const Frame colour = Grab();
    EXPECT_EQ(kRGB8, colour.pixelFormat);
    EXPECT_EQ(32u * kSensorHeight * 3, colour.bytes.size());
}

TEST_F(SfncCamera, AcquisitionModesDeliverTheirFrameCounts) {
    camera->SetFloat("ExposureTime", 1000.0);
    camera->SetEnumeration("AcquisitionMode", "SingleFrame");
    Start(5);
    Next();
    EXPECT_FALSE(FrameComes());
    camera->Execute("AcquisitionStart");  // a new run of one frame
    Next();
    EXPECT_FALSE(FrameComes());
    Stop();

    camera->SetEnumeration("AcquisitionMode", "MultiFrame");
    camera->SetInteger("AcquisitionFrameCount", 3);
    Start(5);
    for (int i = 0; i < 3; ++i) {
        Next();
    }
    EXPECT_FALSE(FrameComes());
    Stop();
}

TEST_F(SfncCamera, TriggersReleaseFramesBySelector) {
    camera->SetFloat("ExposureTime", 1000.0);
    camera->SetEnumeration("TriggerSelector", "FrameStart");
    camera->SetEnumeration("TriggerMode", "On");
    camera->SetEnumeration("TriggerSource", "Software");
    camera->SetEnumeration("TriggerSelector", "AcquisitionStart");
    EXPECT_EQ("Off", camera->Enumeration("TriggerMode"));  // each trigger has its own settings
    camera->SetEnumeration("TriggerSelector", "FrameStart");
    Start(5);
    EXPECT_FALSE(FrameComes());
    for (int i = 0; i < 2; ++i) {
        camera->Execute("TriggerSoftware");
        Next();
    }
    EXPECT_FALSE(FrameComes());
    Stop();

    // The acquisition start trigger holds back the whole acquisition, then frames run freely.
    camera->SetEnumeration("TriggerMode", "Off");
    camera->SetEnumeration("TriggerSelector", "AcquisitionStart");
    camera->SetEnumeration("TriggerMode", "On");
    Start(5);
    EXPECT_FALSE(FrameComes());
    camera->Execute("TriggerSoftware");
    Next();
    Next();
    Stop();

    // Frames follow the edges of the simulated line.
    camera->SetEnumeration("TriggerMode", "Off");
    camera->SetEnumeration("TriggerSelector", "FrameStart");
    camera->SetEnumeration("TriggerMode", "On");
    camera->SetEnumeration("TriggerSource", "Line0");
    camera->SetEnumeration("TriggerActivation", "FallingEdge");
    Start(5);
    Next();  // stamped late, perhaps: its source is made as it is filled
    const Frame first = Next();
    Next();
    const Frame third = Next();
    // Edges of one kind are 10 ms apart (the exposure alone would allow 1 ms); a stamp may be late
    // by its fill.
    EXPECT_GE(third.timestampNs - first.timestampNs, 2 * 10000000u - 5000000u);
    Stop();
}

TEST_F(SfncCamera, FrameRateFollowsTheSettingAndTheExposureBound) {
    camera->SetBoolean("AcquisitionFrameRateEnable", true);
    camera->SetFloat("AcquisitionFrameRate", 50.0);
    camera->SetFloat("ExposureTime", 1000.0);
    EXPECT_NEAR(50.0, camera->Float("AcquisitionResultingFrameRate"), 0.01);
    camera->SetFloat("ExposureTime", 40000.0);
    EXPECT_NEAR(25.0, camera->Float("AcquisitionResultingFrameRate"), 0.01);
    Start(5);
    Next();  // the first frame may be stamped late: its source is made as it is filled
    const Frame first = Next();
    Frame last;
    for (int i = 0; i < 4; ++i) {
        last = Next();
    }
    Stop();
    // A machine may deliver late, never early: four intervals of the exposure, less what a late
    // stamp of the first frame (stamped after its fill) may take off, and far above the 20 ms the
    // frame rate alone would allow.
    EXPECT_GE(last.timestampNs - first.timestampNs, 4 * 40000000u - 10000000u);
}

TEST_F(SfncCamera, ResetReturnsToDefaultsAndDropsTheConnection) {
    camera->SetInteger("Width", 32);
    camera->SetString("DeviceUserID", "Kept");
    camera->Execute("DeviceReset");
    uint32_t value = 0;
    size_t size = sizeof value;
    EXPECT_EQ(GC_ERR_ACCESS_DENIED, lib.GCReadPort(remote, kRegWidth, &value, &size));
    EXPECT_NE(std::string::npos, std::string(lib.Error().text).find("reset")) << lib.Error().text;
    camera.reset();
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device));
    device = OpenDevice(iface, "Sfnc");
    GenApiPort reopened(lib, RemotePort(device));
    EXPECT_EQ(kSensorWidth, reopened.Integer("Width"));
    EXPECT_EQ("Kept", reopened.String("DeviceUserID"));
}

}  // namespace
}  // namespace quarvo_test
