// The SFNC camera's user sets and clock through the producer, with Aravis evaluating the camera's
// document: saved sets outlive the device object, the default set is where the camera starts and
// what a reset restores, refusals name the command and the set, and the clock that the timestamp
// features read is the one that stamps the delivered frames.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sfnc/SfncFixture.h"

namespace quarvo_test {
namespace {

constexpr uint64_t kRegUserSetLoad = 0x8004;
constexpr uint64_t kRegUserSetSave = 0x8008;
constexpr uint64_t kRegUserSetDefault = 0x800C;

// The rig gives UserSet2 and starts the camera from it.
constexpr char kRig[] = R"([[board]]
[[board.camera]]
id = "Sfnc"
profile = "sfnc"
width = 64
height = 48
pixel_format = "Mono16"
frame_rate = 0
pattern = "still-ramp"
user_set_default = "UserSet2"

[board.camera.user_set.UserSet2]
Width = 32
PixelFormat = "Mono8"
ReverseX = true
TriggerSelector = "AcquisitionStart"
TriggerDelay = 250.5
)";

class SfncState : public SfncFixture {
protected:
    SfncState() : SfncFixture(kRig) {}

    // Closes the device (and its stream) and opens it again, with a new node map.
    void Reopen() {
        camera.reset();
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevClose(device)) << lib.Error().text;
        device = OpenDevice(iface, "Sfnc");
        remote = RemotePort(device);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevOpenDataStream(device, "DS0", &stream)) << lib.Error().text;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_NEW_BUFFER, &newBuffer)) << lib.Error().text;
        camera = std::make_unique<GenApiPort>(lib, remote);
    }

    // A refused command: its code and a text naming the command and the set.
    void ExpectRefused(uint64_t address, uint32_t value, const char* feature, const char* set) {
        EXPECT_EQ(GC_ERR_ACCESS_DENIED, WriteWord(remote, address, value)) << feature << " " << set;
        const std::string text = lib.Error().text;
        EXPECT_NE(std::string::npos, text.find(feature)) << text;
        EXPECT_NE(std::string::npos, text.find(set)) << text;
    }

    // Fires the frame start trigger and returns the time stamp of the frame it gives.
    uint64_t TriggeredStamp() {
        camera->Execute("TriggerSoftware");
        BUFFER_HANDLE buffer = NextBuffer();
        if (buffer == nullptr) {
            ADD_FAILURE() << "no frame";
            return 0;
        }
        const auto stamp = BufferInfo<uint64_t>(buffer, BUFFER_INFO_TIMESTAMP_NS);
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
        return stamp;
    }

    uint64_t Latch() {
        camera->Execute("TimestampLatch");
        return static_cast<uint64_t>(camera->Integer("TimestampLatchValue"));
    }

};

TEST_F(SfncState, TheRigsDefaultSetIsWhereTheCameraStartsAndWhatResetRestores) {
    const auto expectUserSet2 = [this] {
        EXPECT_EQ(32, camera->Integer("Width"));
        EXPECT_EQ("Mono8", camera->Enumeration("PixelFormat"));
        EXPECT_TRUE(camera->Boolean("ReverseX"));
        // Written in file order: the delay went to the trigger selected before it.
        EXPECT_EQ("AcquisitionStart", camera->Enumeration("TriggerSelector"));
        EXPECT_DOUBLE_EQ(250.5, camera->Float("TriggerDelay"));
        camera->SetEnumeration("TriggerSelector", "FrameStart");
        EXPECT_DOUBLE_EQ(0.0, camera->Float("TriggerDelay"));
    };
    EXPECT_EQ("UserSet2", camera->Enumeration("UserSetDefault"));
    EXPECT_EQ("UserSet2", camera->Enumeration("UserSetSelector"));
    expectUserSet2();

    camera->SetInteger("Width", 48);
    camera->Execute("DeviceReset");
    Reopen();
    expectUserSet2();

    camera->SetEnumeration("UserSetDefault", "Default");
    camera->Execute("DeviceReset");
    Reopen();
    EXPECT_EQ(64, camera->Integer("Width"));
    EXPECT_EQ("Mono16", camera->Enumeration("PixelFormat"));
    EXPECT_FALSE(camera->Boolean("ReverseX"));
}

TEST_F(SfncState, SavedSetsOutliveTheDeviceAndLoadIntoTheNodeMap) {
    camera->SetInteger("Width", 16);
    camera->SetFloat("Gain", 6.0);
    camera->SetEnumeration("TestPattern", "Checkerboard");
    camera->SetEnumeration("UserSetSelector", "UserSet1");
    camera->Execute("UserSetSave");
    camera->SetInteger("Width", 64);
    camera->SetFloat("Gain", 0.0);
    camera->SetEnumeration("TestPattern", "Off");

    Reopen();
    EXPECT_EQ(64, camera->Integer("Width")) << "the settings live in the camera, not the device object";
    camera->SetEnumeration("UserSetSelector", "UserSet1");
    camera->Execute("UserSetLoad");
    // Read through the node map's cache: the load must invalidate it.
    EXPECT_EQ(16, camera->Integer("Width"));
    EXPECT_DOUBLE_EQ(6.0, camera->Float("Gain"));
    EXPECT_EQ("Checkerboard", camera->Enumeration("TestPattern"));
    EXPECT_EQ(16 * 48, camera->Integer("PayloadSize"));

    // Default holds the factory settings, whatever the default set is.
    camera->SetEnumeration("UserSetSelector", "Default");
    camera->Execute("UserSetLoad");
    EXPECT_EQ(64, camera->Integer("Width"));
    EXPECT_EQ("Mono16", camera->Enumeration("PixelFormat"));
}

TEST_F(SfncState, RefusalsNameTheCommandAndTheSet) {
    camera->SetInteger("Width", 16);
    camera->SetEnumeration("UserSetSelector", "UserSet3");
    ExpectRefused(kRegUserSetLoad, 1, "UserSetLoad", "UserSet3");  // never saved
    ExpectRefused(kRegUserSetDefault, 3, "UserSetDefault", "UserSet3");
    camera->SetEnumeration("UserSetSelector", "Default");
    ExpectRefused(kRegUserSetSave, 1, "UserSetSave", "Default");
    EXPECT_EQ(16, camera->Integer("Width")) << "a refused command changes nothing";
    EXPECT_EQ("UserSet2", camera->Enumeration("UserSetDefault"));

    camera->SetEnumeration("UserSetSelector", "UserSet2");
    Start(5);
    ExpectRefused(kRegUserSetLoad, 1, "UserSetLoad", "UserSet2");
    EXPECT_NE(std::string::npos, std::string(lib.Error().text).find("acquires")) << lib.Error().text;
    Stop();
    camera->Execute("UserSetLoad");
    EXPECT_EQ(32, camera->Integer("Width"));
}

TEST_F(SfncState, TheClockStampsTheFramesAndRestartsAtZero) {
    EXPECT_EQ(1000000000, camera->Integer("DeviceTimestampFrequency"));
    camera->SetEnumeration("TriggerSelector", "FrameStart");
    camera->SetEnumeration("TriggerMode", "On");
    camera->SetEnumeration("TriggerSource", "Software");
    Start(5);
    const uint64_t before = TriggeredStamp();
    const uint64_t latched = Latch();
    const uint64_t after = TriggeredStamp();
    EXPECT_LT(before, latched);
    EXPECT_LT(latched, after);

    // After a reset the clock counts from 0: no more than the time since the reset, and the
    // frames follow it.
    const auto resetAt = std::chrono::steady_clock::now();
    camera->Execute("TimestampReset");
    const uint64_t restarted = Latch();
    const uint64_t next = TriggeredStamp();
    const auto since = std::chrono::steady_clock::now() - resetAt;
    EXPECT_LT(restarted, next);
    EXPECT_LE(next, static_cast<uint64_t>(std::chrono::nanoseconds(since).count()));
    Stop();
}

}  // namespace
}  // namespace quarvo_test
