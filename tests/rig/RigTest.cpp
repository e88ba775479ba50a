// Rig files through the producer, as a consumer meets them: the rig a file describes is what the
// System lists and the cameras deliver, replayed images arrive converted, the fault knobs show up
// in frame IDs, incomplete flags and error events, and a bad file fails TLOpen clearly.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "simulator/ImageReplay.h"
#include "simulator/MediaImage.h"
#include "support/OpenStream.h"
#include "support/RigFileEnv.h"
#include "tests/simulator/TempFiles.h"

namespace quarvo_test {
namespace {

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kBayerGB8 = 0x0108000A;
constexpr uint32_t kRGB8 = 0x02180014;

std::string Text(ProducerLib& lib, IF_HANDLE iface, const char* device, DEVICE_INFO_CMD command) {
    char text[256] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceInfo(iface, device, command, &type, text, &size)) << lib.Error().text;
    return text;
}

TEST(RigFromFile, TheSystemListsExactlyTheDescribedRig) {
    RigFile rig(R"([[board]]
id = "Left"
[[board.camera]]
id = "Top"
vendor = "Quarvo"
model = "QC-320M"
serial = "LT0001"
user_name = "Top view"
width = 320
height = 200
pixel_format = "Mono12Packed"
[[board]]
[[board.camera]]
pixel_format = "BayerGB8"
[[board]]
id = "Right"
[[board.camera]]
id = "Side"
pixel_format = "RGB8"
width = 64
height = 48
)");
    ProducerLib lib;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    TL_HANDLE system = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
    uint32_t interfaces = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLGetNumInterfaces(system, &interfaces));
    ASSERT_EQ(3u, interfaces);
    const char* boards[] = {"QB::Left", "QB::Board1", "QB::Right"};
    const char* cameras[] = {"Top", "Cam10", "Side"};
    const uint32_t formats[] = {0x010C0006, kBayerGB8, kRGB8};
    const uint32_t widths[] = {320, 640, 64};
    for (uint32_t index = 0; index < 3; ++index) {
        char id[64] = {};
        size_t size = sizeof id;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceID(system, index, id, &size));
        EXPECT_STREQ(boards[index], id);
        IF_HANDLE iface = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, id, &iface));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFUpdateDeviceList(iface, nullptr, 100));
        uint32_t devices = 0;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &devices));
        ASSERT_EQ(1u, devices);
        EXPECT_EQ(cameras[index], Text(lib, iface, cameras[index], DEVICE_INFO_ID));
        DEV_HANDLE device = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFOpenDevice(iface, cameras[index], DEVICE_ACCESS_CONTROL, &device));
        PORT_HANDLE remote = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DevGetPort(device, &remote));
        uint32_t value = 0;
        size = sizeof value;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(remote, 0x104, &value, &size));
        EXPECT_EQ(widths[index], value);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(remote, 0x10C, &value, &size));
        EXPECT_EQ(formats[index], value);
    }
    IF_HANDLE left = nullptr;
    ASSERT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpenInterface(system, "QB::Left", &left));
    EXPECT_EQ("Quarvo", Text(lib, left, "Top", DEVICE_INFO_VENDOR));
    EXPECT_EQ("QC-320M", Text(lib, left, "Top", DEVICE_INFO_MODEL));
    EXPECT_EQ("Top view", Text(lib, left, "SN->LT0001", DEVICE_INFO_USER_DEFINED_NAME));
    EXPECT_EQ("Top", Text(lib, left, "USER_DEFINED_NAME->TOP VIEW", DEVICE_INFO_ID));
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

// Every kind of bad file fails TLOpen with a text naming the file, the line and the problem;
// nothing is left behind, and a good file then opens.
TEST(RigFromFile, BadFilesFailTLOpenClearlyAndTheNextGoodFileWorks) {
    const struct {
        const char* text;
        const char* problem;
    } cases[] = {
        {"[[board]]\n[[board.camera]]\nwidht = 64\n", ":3: unknown key 'widht'"},
        {"[[board]]\n[[board.camera]]\nwidth = 6\n", ":3: 'width' must be a multiple of 4 from 8 to 4096"},
        {"[[board]]\n[[board.camera]]\npixel_format = \"Mono9\"\n", ":3: unknown pixel format 'Mono9'"},
        {"[[board]\n", ":1:"},
        {"[[board]]\n[[board.camera]]\npattern = \"images\"\nimages = \"none\"\n", "none"},
    };
    ProducerLib lib;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    for (const auto& bad : cases) {
        RigFile rig(bad.text);
        TL_HANDLE system = nullptr;
        EXPECT_EQ(GC_ERR_ERROR, lib.TLOpen(&system)) << bad.text;
        EXPECT_EQ(nullptr, system);
        const std::string error = lib.Error().text;
        EXPECT_EQ(0u, error.find(rig.Path())) << error;
        EXPECT_NE(std::string::npos, error.find(bad.problem)) << error;
    }
    RigFile good("[[board]]\n[[board.camera]]\n");
    TL_HANDLE system = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
    uint32_t interfaces = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetNumInterfaces(system, &interfaces));
    EXPECT_EQ(1u, interfaces);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

// A rig of one board and one camera, opened down to its stream by the fixture.
class RigStream : public OpenStream {
protected:
    void OpenRig(const std::string& camera) {
        m_rig = std::make_unique<RigFile>("[[board]]\n[[board.camera]]\nframe_rate = 0\n" + camera);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
        Open(0, "Cam00");
    }
    void SetUp() override {}

    // The next n buffers' frame IDs and incomplete flags, each buffer queued again.
    std::vector<std::pair<uint64_t, bool>> Take(size_t n) {
        std::vector<std::pair<uint64_t, bool>> frames;
        for (size_t i = 0; i < n; ++i) {
            const BUFFER_HANDLE buffer = NextBuffer();
            if (buffer == nullptr) {
                break;
            }
            frames.emplace_back(BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID),
                                BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE) != 0);
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
        }
        return frames;
    }

    std::unique_ptr<RigFile> m_rig;
};

class Replay : public RigStream, public ::testing::WithParamInterface<const char*> {};

TEST_P(Replay, EveryFrameIsItsImageConverted) {
    sim_test::TempFolder images;
    std::vector<Quibbon::Sim::SourceImage> sources;
    for (int file = 0; file < 3; ++file) {
        std::vector<uint8_t> rgb(8 * 8 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) {
            rgb[i] = static_cast<uint8_t>(i * 7 + file * 50);
        }
        const std::string path = sim_test::WritePng(images, "f" + std::to_string(file) + ".png", 8, 8,
                                                    PNG_FORMAT_RGB, rgb.data());
        sources.push_back(Quibbon::Sim::ReadImage(path, 4096));
    }
    OpenRig(std::string("pixel_format = \"") + GetParam() + "\"\nimages = \"" + images.Path().string() + "\"\n");
    const uint32_t format = ReadWord(remote, 0x10C);
    EXPECT_EQ(8u, ReadWord(remote, 0x104));
    EXPECT_EQ(8u, ReadWord(remote, 0x108));
    AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 7));
    for (uint64_t frame = 0; frame < 7; ++frame) {
        const BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        ASSERT_EQ(frame, BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID));
        const std::vector<uint8_t> expected = Quibbon::Sim::ConvertImage(sources[frame % 3], format);
        const auto* bytes = BufferInfo<const uint8_t*>(buffer, BUFFER_INFO_BASE);
        ASSERT_EQ(expected.size(), BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_EQ(expected, std::vector<uint8_t>(bytes, bytes + expected.size())) << "frame " << frame;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Replay, ::testing::Values("Mono8", "BayerGB8", "RGB8"));

TEST_F(RigStream, DroppedFramesLeaveGapsInTheFrameIDs) {
    OpenRig("[board.camera.faults]\ndrop_every = 3\n");
    AnnounceAndQueue(5);
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    // Frames 2, 5 and 8 (the 3rd, 6th and 9th) are dropped.
    const auto frames = Take(6);
    std::vector<uint64_t> ids;
    for (const auto& frame : frames) {
        ids.push_back(frame.first);
    }
    EXPECT_EQ((std::vector<uint64_t>{0, 1, 3, 4, 6, 7}), ids);
}

TEST_F(RigStream, IncompleteFramesAreFlaggedAndFailedGrabsReported) {
    OpenRig("[board.camera.faults]\nincomplete_every = 2\nfail_every = 4\n");
    EVENT_HANDLE errors = nullptr;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors));
    AnnounceAndQueue(5);
    // Seven frames take nine grabs that find a frame due: the 4th and the 8th fail.
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 7));
    const auto frames = Take(7);
    ASSERT_EQ(7u, frames.size());
    // The failed grabs use up no frame number: IDs stay consecutive, every 2nd frame is incomplete.
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(i, frames[i].first);
        EXPECT_EQ(i % 2 == 1, frames[i].second) << "frame " << i;
    }
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
    size_t reported = 0;
    for (char data[256]; reported < 3; ++reported) {
        size_t size = sizeof data;
        if (lib.EventGetData(errors, data, &size, 0) != GC_ERR_SUCCESS) {
            break;
        }
        int32_t code = 0;
        std::memcpy(&code, data, sizeof code);
        EXPECT_EQ(GC_ERR_ERROR, code);
    }
    EXPECT_EQ(2u, reported);
}

}  // namespace
}  // namespace quarvo_test
