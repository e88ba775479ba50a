// The quarvo tool run as a user runs it, against the built producer: the rig it lists, settings
// that last for their own run only, grabbed files that hold the camera's exact images, the exit
// codes and messages of bad usage and refused requests, the bench figures; and against test
// producers that differ from Quarvo as other vendors' do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"
#include "tool/PngFile.h"
#include "tool/RunTool.h"

namespace fs = std::filesystem;

namespace quarvo_test {
namespace {

std::vector<fs::path> FilesIn(const std::string& folder) {
    std::vector<fs::path> files(fs::directory_iterator(folder), fs::directory_iterator{});
    std::sort(files.begin(), files.end());
    return files;
}

// The frame ID in a name <device>-<frame ID>.<ext>.
uint32_t FrameOf(const fs::path& file) {
    const std::string stem = file.stem().string();
    return static_cast<uint32_t>(std::stoul(stem.substr(stem.find('-') + 1)));
}

std::vector<uint8_t> Reference(uint32_t format, uint32_t width, uint32_t frame) {
    return Quibbon::Sim::ExpectedPayload({format, width, 480, Quibbon::kPatternMovingRamp}, frame, false);
}

class Tool : public ::testing::Test {
protected:
    ToolRun Run(const std::vector<std::string>& arguments) { return RunTool(arguments, {{"XDG_STATE_HOME", state.Path()}}); }

    ScratchFolder state;
    ScratchFolder out;
};

TEST_F(Tool, ListShowsTheRig) {
    const ToolRun run = Run({"list"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    for (const char* line : {"Interface QB::Board0", "Interface QB::Board1", "Cam00  Brondix  QC-640M  BX7Q0000",
                             "Cam01  Brondix  QC-640C  BX7Q0001", "Cam10  Brondix  QC-640B     BX7Q0010",
                             "Cam11  Brondix  QC-640M12P  BX7Q0011  QC-640M12P (BX7Q0011)  ReadWrite"}) {
        EXPECT_NE(std::string::npos, run.out.find(line)) << line << " missing in\n" << run.out;
    }
}

TEST_F(Tool, RigShowsTheRigInEffectAndWhereItCameFrom) {
    const ToolRun builtIn = Run({"rig"});
    ASSERT_EQ(0, builtIn.exitCode) << builtIn.err;
    EXPECT_NE(std::string::npos, builtIn.out.find("Rig from the built-in rig")) << builtIn.out;
    EXPECT_NE(std::string::npos, builtIn.out.find("Cam11  basic    QC-640M12P  BX7Q0011  Center     640x480  Mono12Packed"))
        << builtIn.out;

    const std::string file = std::string(QUARVO_EXAMPLES_DIR) + "/fault-injection.toml";
    const ToolRun fromFile = RunTool({"rig"}, {{"XDG_STATE_HOME", state.Path()}, {"QUARVO_RIG", file}});
    ASSERT_EQ(0, fromFile.exitCode) << fromFile.err;
    for (const std::string& line : {"Rig from " + file + " (named by QUARVO_RIG)",
                                   std::string("Interface QB::Faulty  Fault injection board"),
                                   std::string("BayerRG8      60 fps  moving-ramp  drop every 10"),
                                   std::string("incomplete every 7, fail every 25"),
                                   std::string("10 fps  moving-ramp  time-out every 20, delay 50 ms")}) {
        EXPECT_NE(std::string::npos, fromFile.out.find(line)) << line << " missing in\n" << fromFile.out;
    }

    const std::string bad = out.Path() + "/bad.toml";
    std::ofstream(bad) << "[[board]]\nwidht = 1\n";
    const ToolRun refused = RunTool({"rig"}, {{"XDG_STATE_HOME", state.Path()}, {"QUARVO_RIG", bad}});
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.err.find(bad + ":2: unknown key 'widht'")) << refused.err;
}

// One camera, one answer: what set writes lasts for its own run, so the next run (the main job's
// grab among them) meets the camera's own settings, as any other consumer of the producer does.
TEST_F(Tool, SettingsLastForTheirOwnRunOnly) {
    const ToolRun set = Run({"set", "Width=320", "Height=240"});
    ASSERT_EQ(0, set.exitCode) << set.err;
    EXPECT_EQ("Width = 320\nHeight = 240\n", set.out);
    EXPECT_EQ("Width = 640\n", Run({"get", "Width"}).out);
    const ToolRun grab = Run({"grab", "-n", "1", "--format", "png", "--out", out.Path()});
    ASSERT_EQ(0, grab.exitCode) << grab.err;
    const auto files = FilesIn(out.Path());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(640u, ReadPng(files[0]).width);
    EXPECT_TRUE(fs::is_empty(state.Path())) << "nothing kept for later runs";
    EXPECT_EQ(2, Run({"set", "--forget"}).exitCode);
}

TEST_F(Tool, GrabWritesTheCamerasImages) {
    const ToolRun run = Run({"grab", "-n", "3", "--format", "png", "--out", out.Path() + "/frames"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    const auto files = FilesIn(out.Path() + "/frames");
    ASSERT_EQ(3u, files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ("Cam00-0000000" + std::to_string(i) + ".png", files[i].filename().string());
        const Png png = ReadPng(files[i]);
        ASSERT_EQ(640u, png.width);
        ASSERT_EQ(480u, png.height);
        ASSERT_EQ(1u, png.channels);
        EXPECT_TRUE(png.pixels == Reference(0x01080001, 640, FrameOf(files[i]))) << files[i];
    }
    // Not a terminal: one plain line per frame, then the summary.
    EXPECT_TRUE(std::regex_search(run.out, std::regex("frame 2: 640 x 480 Mono8 -> .*Cam00-00000002.png\n")))
        << run.out;
    for (const char* line : {"Grabbed 3 frames of 640 x 480 Mono8 from Cam00", "Frames      3", "Incomplete  0",
                             "Dropped     0", " frames/s", " MB/s"}) {
        EXPECT_NE(std::string::npos, run.out.find(line)) << line << " missing in\n" << run.out;
    }
}

TEST_F(Tool, GrabsColourAsRgbAndRawAsDelivered) {
    // Software-triggered: without the triggers the camera in trigger mode would deliver nothing.
    ASSERT_EQ(0, Run({"grab", "-d", "Cam01", "-n", "1", "--trigger", "--out", out.Path()}).exitCode);
    ASSERT_EQ(0, Run({"grab", "-d", "Cam11", "-n", "1", "--format", "raw", "--out", out.Path()}).exitCode);
    const auto files = FilesIn(out.Path());
    ASSERT_EQ(2u, files.size());
    const Png rgb = ReadPng(files[0]);
    EXPECT_EQ(3u, rgb.channels);
    EXPECT_TRUE(rgb.pixels == Reference(0x02180014, 640, FrameOf(files[0])));
    EXPECT_EQ(".raw", files[1].extension());
    std::ifstream raw(files[1], std::ios::binary);
    const std::vector<uint8_t> payload{std::istreambuf_iterator<char>(raw), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(payload == Reference(0x010C0006, 640, FrameOf(files[1])));
}

// What a camera saw, grabbed as PNG files, replays in a rig as the same images in the same order.
TEST_F(Tool, GrabbedFramesReplayInARig) {
    const std::string recorded = out.Path() + "/recorded";
    ASSERT_EQ(0, Run({"grab", "-d", "Cam01", "-n", "3", "--trigger", "--out", recorded}).exitCode);
    const std::string rig = out.Path() + "/replay.toml";
    std::ofstream(rig) << "[[board]]\n[[board.camera]]\nid = \"Replay\"\npixel_format = \"RGB8\"\n"
                          "frame_rate = 0\nimages = \"recorded\"\n";
    const std::string replayed = out.Path() + "/replayed";
    const ToolRun replay =
        RunTool({"grab", "-n", "3", "--out", replayed}, {{"XDG_STATE_HOME", state.Path()}, {"QUARVO_RIG", rig}});
    ASSERT_EQ(0, replay.exitCode) << replay.err;
    const auto before = FilesIn(recorded);
    const auto after = FilesIn(replayed);
    ASSERT_EQ(3u, before.size());
    ASSERT_EQ(3u, after.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(i, FrameOf(after[i])) << after[i];
        const Png original = ReadPng(before[i]);
        EXPECT_EQ(3u, original.channels);
        EXPECT_TRUE(ReadPng(after[i]).pixels == original.pixels) << after[i];
    }
    EXPECT_FALSE(ReadPng(before[0]).pixels == ReadPng(before[1]).pixels) << "the frames differ, so order counts";
}

TEST_F(Tool, FeaturesShowValuesAccessAndRanges) {
    const ToolRun run = Run({"features"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    for (const char* line : {"  ImageFormatControl\n", "    Width = 640  [Integer, RW]  8..4096 step 4\n",
                             "    PixelFormat = Mono8  [Enumeration, RO]  {Mono8, Mono8Signed,",
                             "    AcquisitionStart  [Command, RW]\n"}) {
        EXPECT_NE(std::string::npos, run.out.find(line)) << line << " missing in\n" << run.out;
    }
    EXPECT_NE(std::string::npos, Run({"features", "--module", "system"}).out.find("TLModelName = Quarvo  [String, RO]"));
}

TEST_F(Tool, SfncCamerasAreDrivenByFeatureName) {
    const std::string rig = std::string(QUARVO_EXAMPLES_DIR) + "/sfnc-cameras.toml";
    const auto run = [&](const std::vector<std::string>& arguments) {
        return RunTool(arguments, {{"XDG_STATE_HOME", state.Path()}, {"QUARVO_RIG", rig}});
    };
    const ToolRun shown = run({"rig"});
    ASSERT_EQ(0, shown.exitCode) << shown.err;
    for (const char* line : {"Inspect    sfnc     QS-1280M", "Reference  basic"}) {
        EXPECT_NE(std::string::npos, shown.out.find(line)) << line << " missing in\n" << shown.out;
    }
    EXPECT_EQ("PixelFormat = BayerRG8\nExposureTime = 10000\n", run({"get", "-d", "Colour", "PixelFormat", "ExposureTime"}).out);
    EXPECT_NE(std::string::npos, run({"features", "-d", "Inspect"}).out.find("    BinningHorizontal = 1  [Integer, RW]  1..4"));

    // --set takes several settings, up to the next option.
    const ToolRun grab = run({"grab", "-d", "Inspect", "-n", "1", "--set", "Width=256", "Height=128", "OffsetX=64",
                              "--out", out.Path()});
    ASSERT_EQ(0, grab.exitCode) << grab.err;
    const auto files = FilesIn(out.Path());
    ASSERT_EQ(1u, files.size());
    const Png png = ReadPng(files[0]);
    ASSERT_EQ(256u, png.width);
    ASSERT_EQ(128u, png.height);
    const std::vector<uint8_t> sensor = Quibbon::Sim::ExpectedPayload(
        {0x01080001, 1280, 960, Quibbon::kPatternMovingRamp}, FrameOf(files[0]), false);
    for (uint32_t y = 0; y < 128; ++y) {
        ASSERT_TRUE(std::equal(png.pixels.begin() + y * 256, png.pixels.begin() + (y + 1) * 256,
                               sensor.begin() + y * 1280 + 64))
            << "row " << y << " is not the sensor's region";
    }
}

struct Refusal {
    std::vector<std::string> arguments;
    int exitCode;
    const char* message;
};

TEST_F(Tool, BadUsageAndRefusalsGiveTheirExitCodeAndMessage) {
    const Refusal refusals[] = {
        {{}, 2, "A subcommand is required"},
        {{"grab", "-n", "0"}, 2, "--frames"},
        {{"features", "--module", "camera"}, 2, "--module"},
        {{"view", "--window", "80x"}, 2, "--window 80x: give WIDTHxHEIGHT"},
        {{"set", "Width"}, 2, "Width needs a value: Width=VALUE"},
        {{"set", "Width=wide"}, 2, "Width: 'wide' is not an integer"},
        {{"set", "=3"}, 2, "'=3' is not FEATURE=VALUE"},
        {{"get", "Nope"}, 1, "quarvo: unknown feature 'Nope'"},
        {{"set", "Width=4100"}, 1, "Width = 4100 is out of range: 8..4096 in steps of 4"},
        {{"set", "PayloadSize=5"}, 1, "PayloadSize is read-only"},
        {{"set", "TriggerMode=Sometimes"}, 1, "TriggerMode has no entry 'Sometimes'; it can be one of Off, On"},
        {{"set", "0x5000=1"}, 1, "failed with GC_ERR_ACCESS_DENIED: Register 5000 is not writable."},
        {{"info", "--device", "Cam99"}, 1, "no device 'Cam99'; the producer lists Cam00, Cam01, Cam10, Cam11"},
        {{"--cti", "/nonexistent/Other.cti", "list"}, 1, "no producer file /nonexistent/Other.cti"},
    };
    for (const Refusal& refusal : refusals) {
        const ToolRun run = Run(refusal.arguments);
        EXPECT_EQ(refusal.exitCode, run.exitCode) << refusal.message;
        EXPECT_NE(std::string::npos, run.err.find(refusal.message)) << run.err;
    }
    // Refused writes leave the camera as it was.
    EXPECT_EQ("Width = 640\n", Run({"get", "Width"}).out);
    const ToolRun help = Run({"grab", "--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("--buffers"));
}

// Bench lifts the camera's frame-rate limit and writes the --set settings for its run, then puts
// them all back, newest first, also when the run fails.
TEST_F(Tool, BenchReportsItsFiguresAndPutsTheCameraBack) {
    const ToolRun run = Run({"bench", "--seconds", "0.2", "--buffers", "6", "--set", "Width=16", "Height=8"});
    ASSERT_EQ(0, run.exitCode) << run.err;
    for (const char* text : {"Bench of Cam00: 16 x 8 Mono8, 128 bytes per frame, 6 buffers",
                             "frame-rate register 0x118 = 0", " frames/s", " GB/s", "Fill to delivery  median ",
                             "Dropped           0", "Restored Height = 480, Width = 640, 0x118 = 60\n"}) {
        EXPECT_NE(std::string::npos, run.out.find(text)) << text << " missing in\n" << run.out;
    }
    // Waiting for triggers that never come, the camera delivers nothing.
    const ToolRun failed = Run({"bench", "--timeout", "20", "--set", "TriggerMode=On", "Width=32"});
    EXPECT_EQ(1, failed.exitCode);
    EXPECT_NE(std::string::npos, failed.err.find("no image within 20 ms")) << failed.err;
    EXPECT_NE(std::string::npos, failed.out.find("Restored Width = 640, TriggerMode = Off, 0x118 = 60\n"))
        << failed.out;
}

// The SFNC camera stamps frames with its own clock, which starts with the camera: its stamps time
// the frames, but no fill-to-delivery time can be taken from them.
TEST_F(Tool, BenchReportsNoLatencyFromACameraClock) {
    const std::string rig = std::string(QUARVO_EXAMPLES_DIR) + "/sfnc-cameras.toml";
    const ToolRun run = RunTool({"bench", "-d", "Inspect", "--seconds", "0.2", "--set", "ExposureTime=100"},
                                {{"XDG_STATE_HOME", state.Path()}, {"QUARVO_RIG", rig}});
    ASSERT_EQ(0, run.exitCode) << run.err;
    for (const char* text : {"Camera pace: AcquisitionFrameRateEnable = false", " frames/s",
                             "Fill to delivery  not reported: the producer stamps buffers with its own clock",
                             "Restored ExposureTime = 10000, AcquisitionFrameRateEnable = true\n"}) {
        EXPECT_NE(std::string::npos, run.out.find(text)) << text << " missing in\n" << run.out;
    }
}

// A producer that names its documents only through GCGetPortURLInfo, an http: URL first.
TEST_F(Tool, ReadsDocumentsNamedThroughURLInfo) {
    const ToolRun get = Run({"--cti", TestProducer("UrlInfoOnly"), "get", "Width", "PayloadSize"});
    ASSERT_EQ(0, get.exitCode) << get.err;
    EXPECT_EQ("Width = 640\nPayloadSize = 307200\n", get.out);
    const ToolRun system = Run({"--cti", TestProducer("UrlInfoOnly"), "get", "--module", "system", "TLModelName"});
    EXPECT_EQ("TLModelName = Quarvo\n", system.out) << system.err;
}

// A producer whose own dependency exports a name the tool's Aravis exports too gets its own copy.
TEST_F(Tool, ProducersKeepTheirOwnDependencies) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer builds load producers without RTLD_DEEPBIND, which their runtimes refuse";
#endif
    const ToolRun info = Run({"--cti", TestProducer("ClashingLibrary"), "info"});
    ASSERT_EQ(0, info.exitCode) << info.err;
    EXPECT_NE(std::string::npos, info.out.find("arv_get_n_interfaces = 4242")) << info.out;
}

// A failing interface, information query or feature is reported, the rest is done, and the exit
// code says that something failed.
TEST_F(Tool, ReportsWhatFailsAndCarriesOn) {
    const ToolRun list = Run({"--cti", TestProducer("FailingInterface"), "list"});
    EXPECT_EQ(1, list.exitCode);
    for (const char* text : {"Interface QB::Board0  ", "  (cannot be listed)\nInterface QB::Board1", "Cam10  Brondix",
                             "Cam11  Brondix"}) {
        EXPECT_NE(std::string::npos, list.out.find(text)) << text << " missing in\n" << list.out;
    }
    EXPECT_NE(std::string::npos, list.err.find("quarvo: interface QB::Board0: TLOpenInterface failed with GC_ERR_IO"))
        << list.err;
    EXPECT_NE(std::string::npos, list.err.find("quarvo: 1 failure reported above")) << list.err;

    const ToolRun info = Run({"--cti", TestProducer("FailingInterface"), "info"});
    EXPECT_EQ(1, info.exitCode);
    EXPECT_TRUE(std::regex_search(info.out, std::regex("Device Cam10\n(.*\n)*  Version +\\(failed\\)\n"))) << info.out;
    EXPECT_NE(std::string::npos, info.out.find("QC-640B")) << info.out;
    for (const char* text : {"interface QB::Board0 skipped: TLOpenInterface failed with GC_ERR_IO",
                             "device Cam10 Version: DevGetInfo failed with GC_ERR_IO", "2 failures reported above"}) {
        EXPECT_NE(std::string::npos, info.err.find(text)) << text << " missing in\n" << info.err;
    }

    const ToolRun get = Run({"get", "Width", "Nope", "Height"});
    EXPECT_EQ(1, get.exitCode);
    EXPECT_EQ("Width = 640\nHeight = 480\n", get.out);
    EXPECT_NE(std::string::npos, get.err.find("quarvo: unknown feature 'Nope'")) << get.err;
}

}  // namespace
}  // namespace quarvo_test
