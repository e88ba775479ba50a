// The consumer library against the built producer, in process: walking the module tree, GenTL
// failures with their code names, an acquisition in the standard order that delivers the
// camera's exact images, and feature access that checks a value before anything is written.
#include <gtest/gtest.h>

#include <memory>

#include "consumer/Acquisition.h"
#include "consumer/FeatureAccess.h"
#include "consumer/SettingsRollback.h"
#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"
#include "support/ProducerLib.h"

namespace quarvo_test {
namespace {

class Consumer : public ::testing::Test {
protected:
    quarvo::ProducerLibrary producer{BuiltProducerPath()};
    quarvo::System system{producer};
};

class Camera : public Consumer {
protected:
    quarvo::Interface iface{system, "QB::Board0"};
    quarvo::Device device{iface, "Cam00"};
    quarvo::GenApiPort remote{producer, device.RemotePort()};
    quarvo::FeatureAccess features{remote};
};

template <class Error, class Action>
std::string MessageOf(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

TEST_F(Consumer, WalksTheModuleTree) {
    EXPECT_EQ((std::vector<std::string>{"QB::Board0", "QB::Board1"}), system.InterfaceIDs());
    EXPECT_EQ("1.5", system.GenTLVersion());
    const quarvo::Interface board(system, "QB::Board1");
    EXPECT_EQ((std::vector<std::string>{"Cam10", "Cam11"}), board.DeviceIDs());
    EXPECT_EQ("QC-640B", board.DeviceText("Cam10", DEVICE_INFO_MODEL));
    EXPECT_EQ("ReadWrite", quarvo::AccessStatusName(board.DeviceAccessStatus("Cam10")));
    const quarvo::Device device(board, "Cam11");
    EXPECT_EQ((std::vector<std::string>{"DS0"}), device.StreamIDs());
    const std::string error = MessageOf<quarvo::GenTLError>([&] { quarvo::Interface(system, "QB::Board7"); });
    EXPECT_EQ(0u, error.find("TLOpenInterface failed with GC_ERR_")) << error;
}

TEST_F(Camera, AcquiresALimitedRunOfExactImages) {
    quarvo::Acquisition acquisition(device, remote, 1, 3);
    EXPECT_EQ(5u, acquisition.BufferCount());  // raised to what the stream needs
    EXPECT_EQ(640u * 480u, acquisition.PayloadSize());
    for (uint64_t frame = 0; frame < 3; ++frame) {
        const auto buffer = acquisition.Next(5000);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(frame, buffer->frameID.value_or(99));
        EXPECT_EQ(640u, buffer->width);
        EXPECT_EQ(0x01080001u, buffer->pixelFormat);
        ASSERT_EQ(640u * 480u, buffer->filled);
        ASSERT_TRUE(buffer->timestampNs);
        EXPECT_LE(*buffer->timestampNs, buffer->receivedNs);
        const auto expected = Quibbon::Sim::ExpectedPayload({0x01080001, 640, 480, Quibbon::kPatternMovingRamp},
                                                            static_cast<uint32_t>(frame), false);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer->data)) << "frame " << frame;
        acquisition.Requeue(*buffer);
    }
    EXPECT_FALSE(acquisition.Next(50));  // the run asked for three frames only
    acquisition.Stop();
    acquisition.Stop();
    EXPECT_EQ(0, remote.Integer("TLParamsLocked"));
}

TEST_F(Camera, DescribesFeatures) {
    const quarvo::FeatureDescription width = features.Describe("Width");
    EXPECT_EQ("Integer", width.kind);
    EXPECT_EQ("RW", width.access);
    EXPECT_EQ("640", width.value);
    EXPECT_EQ("8..4096 step 4", width.range);
    EXPECT_EQ(0u, features.Describe("PixelFormat").range.find("{Mono8, Mono8Signed, Mono10,"));
    EXPECT_EQ("RO", features.Describe("PixelFormat").access);
    const auto root = features.Describe("Root");
    EXPECT_EQ("Category", root.kind);
    EXPECT_NE(root.children.end(), std::find(root.children.begin(), root.children.end(), "ImageFormatControl"));
    EXPECT_EQ("", features.Describe("AcquisitionStart").value);
}

TEST_F(Camera, ChecksValuesBeforeWriting) {
    EXPECT_NE(std::string::npos, MessageOf<quarvo::GenApiError>([&] { features.Set("Width", "322"); }).find("out of range"));
    EXPECT_NE(std::string::npos, MessageOf<quarvo::UsageError>([&] { features.Set("Width", "0x1g"); }).find("not an integer"));
    EXPECT_EQ("PayloadSize is read-only", MessageOf<quarvo::GenApiError>([&] { features.Set("PayloadSize", "8"); }));
    EXPECT_EQ("unknown feature 'Widht'", MessageOf<quarvo::GenApiError>([&] { features.Get("Widht"); }));
    EXPECT_NE(std::string::npos, MessageOf<quarvo::GenApiError>([&] { features.Get("AcquisitionStart"); }).find("no value"));
    EXPECT_NE(std::string::npos, MessageOf<quarvo::UsageError>([&] { features.Get("0x119"); }).find("multiple of 4"));
    EXPECT_EQ("640", features.Get("Width"));

    features.Set("Width", "0x140");
    features.Set("TriggerMode", "On");
    features.Set("ChunkModeActive", "true");
    features.Set("0x118", "25");
    EXPECT_EQ("320", features.Get("Width"));
    EXPECT_EQ("On", features.Get("TriggerMode"));
    EXPECT_EQ("true", features.Get("ChunkModeActive"));
    EXPECT_EQ("25", features.Get("0x118"));
}

// Settings written for a run come back as the camera had them: newest first (so a feature whose
// range another one bounds is put back in an order the camera accepts), each at its value before
// the first write, also when the run ends by an exception.
TEST_F(Camera, PutsBackTheSettingsOfARun) {
    features.Set("0x118", "25");
    {
        quarvo::SettingsRollback changes(remote);
        changes.Set("Width", "320");
        changes.Set("0x118", "0");
        changes.Set("TriggerMode", "On");
        changes.Set("Width", "256");
        changes.Set("TriggerSoftware", "");  // a command: nothing to put back
        EXPECT_EQ("256", features.Get("Width"));
        const quarvo::SettingsRollback::Outcome outcome = changes.Restore();
        EXPECT_EQ((std::vector<std::string>{"TriggerMode = Off", "0x118 = 25", "Width = 640"}), outcome.restored);
        EXPECT_TRUE(outcome.failed.empty());
        EXPECT_EQ("640", features.Get("Width"));
        EXPECT_EQ("25", features.Get("0x118"));
        EXPECT_EQ("Off", features.Get("TriggerMode"));
        EXPECT_TRUE(changes.Restore().restored.empty()) << "restored once only";
    }
    try {
        quarvo::SettingsRollback changes(remote);
        changes.Set("Width", "320");
        changes.Set("Width", "4100");  // refused: the run ends with an exception
        ADD_FAILURE() << "Width = 4100 written";
    } catch (const quarvo::GenApiError&) {
    }
    EXPECT_EQ("640", features.Get("Width"));
}

}  // namespace
}  // namespace quarvo_test
