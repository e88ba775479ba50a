// quarvo view on a virtual X server, driven by its script hook (QUARVO_VIEW_SCRIPT): the window
// read back holds each camera's frame of the frame ID its overlay names, scaled as the viewer
// scales (nearest neighbour, fitted with the aspect kept, or 1:1), and black around it; the
// overlay's figures are those of the acquisition; the keys pause and save; and without a display
// the viewer says so and points to grab.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "consumer/ImageConverter.h"
#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"
#include "tool/PngFile.h"
#include "tool/RunTool.h"
#include "tool/VirtualDisplay.h"

namespace quarvo_test {
namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Holds(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct Tile {
    uint64_t frame = 0;
    Rect area, image, overlay;
    std::vector<std::string> text;
};

// What a dump step wrote: the window's pixels (RGB) and its description.
struct Dump {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    std::map<std::string, Tile> tiles;
    std::vector<Rect> boxes;
    std::string status;

    const uint8_t* Pixel(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

Rect ReadRect(std::istream& in) {
    Rect rect;
    in >> rect.x >> rect.y >> rect.w >> rect.h;
    return rect;
}

Dump ReadDump(const std::string& path) {
    Dump dump;
    std::ifstream text(path + ".txt");
    EXPECT_TRUE(text) << path << ".txt was not written";
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream in(line);
        std::string kind, id, word;
        in >> kind;
        if (kind == "tile") {
            Tile& tile = dump.tiles[(in >> id, id)];
            in >> word >> tile.frame >> word;
            tile.area = ReadRect(in);
            tile.image = ReadRect((in >> word, in));
            tile.overlay = ReadRect((in >> word, in));
        } else if (kind == "text") {
            in >> id;
            dump.tiles[id].text.push_back(line.substr(6 + id.size()));
        } else if (kind == "box") {
            dump.boxes.push_back(ReadRect(in));
        } else if (kind == "status") {
            dump.status = line.substr(7);
        }
    }
    Png window = ReadPng(path + ".png");
    EXPECT_EQ(3u, window.channels) << path << ".png is not RGB";
    dump.width = static_cast<int>(window.width);
    dump.height = static_cast<int>(window.height);
    dump.pixels = std::move(window.pixels);
    return dump;
}

// The frame a camera of the simulator delivers for that frame ID, as the viewer converts it.
quarvo::Image8 Expected(uint32_t format, uint32_t width, uint32_t height, uint32_t pattern, uint64_t frame) {
    const std::vector<uint8_t> payload =
        Quibbon::Sim::ExpectedPayload({format, width, height, pattern}, static_cast<uint32_t>(frame), false);
    return quarvo::ImageConverter::Convert({payload.data(), payload.size(), width, height, 0, format});
}

// Checks every window pixel of the tile outside the text boxes: within the image's placement the
// image pixel under the window pixel's top-left corner, black elsewhere.
void ExpectTileShows(const Dump& dump, const std::string& id, const quarvo::Image8& image) {
    ASSERT_EQ(1u, dump.tiles.count(id)) << id;
    const Tile& tile = dump.tiles.at(id);
    size_t wrong = 0;
    std::string first;
    for (int y = tile.area.y; y < tile.area.y + tile.area.h; ++y) {
        for (int x = tile.area.x; x < tile.area.x + tile.area.w; ++x) {
            bool covered = tile.overlay.Holds(x, y);
            for (const Rect& box : dump.boxes) {
                covered = covered || box.Holds(x, y);
            }
            if (covered) {
                continue;
            }
            uint8_t expected[3] = {0, 0, 0};
            if (tile.image.Holds(x, y)) {
                const size_t sx = static_cast<size_t>(x - tile.image.x) * image.width / tile.image.w;
                const size_t sy = static_cast<size_t>(y - tile.image.y) * image.height / tile.image.h;
                const uint8_t* in = &image.pixels[(sy * image.width + sx) * image.channels];
                for (size_t c = 0; c < 3; ++c) {
                    expected[c] = in[image.channels == 1 ? 0 : c];
                }
            }
            if (!std::equal(expected, expected + 3, dump.Pixel(x, y)) && wrong++ == 0) {
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    EXPECT_EQ(0u, wrong) << id << " frame " << tile.frame << ": first wrong pixel at " << first;
}

// The number that follows the text in the tile's overlay ("dropped " 3).
double After(const Tile& tile, const std::string& text) {
    for (const std::string& line : tile.text) {
        const size_t at = line.find(text);
        if (at != std::string::npos) {
            return std::stod(line.substr(at + text.size()));
        }
    }
    ADD_FAILURE() << "no '" << text << "' in the overlay";
    return -1;
}

// The camera's frame rate in the tile's overlay ("frame 17  59.9 fps, shown 59.8").
double DeliveredRate(const Tile& tile) {
    const std::string& line = tile.text.at(1);
    const size_t end = line.find(" fps");
    return end == std::string::npos ? -1 : std::stod(line.substr(line.rfind(' ', end - 1) + 1));
}

class Viewer : public ::testing::Test {
protected:
    ToolRun View(const std::vector<std::string>& arguments, const std::string& script, const std::string& rig = "") {
        std::vector<std::string> command{"view", "--out", out.Path()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return RunTool(command, {{"XDG_STATE_HOME", out.Path()}, {"DISPLAY", display.Name()}, {"QUARVO_VIEW_SCRIPT", script},
                                 {"QUARVO_RIG", rig}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""},
                                 {"LSAN_OPTIONS", "suppressions=" QUARVO_LSAN_SUPPRESSIONS}});
    }
    std::string At(const std::string& name) const { return out.Path() + "/" + name; }

    VirtualDisplay display;
    ScratchFolder out;
};

constexpr uint32_t kMono8 = 0x01080001, kRgb8 = 0x02180014, kBayerRG8 = 0x01080009, kMono12Packed = 0x010C0006;

// One camera fitted into a window of another proportion, then shown 1:1 (centred, clipped).
TEST_F(Viewer, ShowsTheCamerasFrameFittedAndAtActualSize) {
    const ToolRun run = View({"--window", "500x300"}, "frames 3; dump " + At("fit") + "; f; dump " + At("actual") + "; q");
    ASSERT_EQ(0, run.exitCode) << run.err;
    const Dump fit = ReadDump(At("fit"));
    ASSERT_EQ(500, fit.width);
    ASSERT_EQ(300, fit.height);
    const Tile& fitted = fit.tiles.at("Cam00");
    EXPECT_EQ((std::vector<int>{50, 0, 400, 300}),
              (std::vector<int>{fitted.image.x, fitted.image.y, fitted.image.w, fitted.image.h}));
    EXPECT_EQ("Cam00  640 x 480 Mono8", fitted.text.at(0));
    ExpectTileShows(fit, "Cam00", Expected(kMono8, 640, 480, Quibbon::kPatternMovingRamp, fitted.frame));

    const Dump actual = ReadDump(At("actual"));
    const Tile& unscaled = actual.tiles.at("Cam00");
    EXPECT_EQ((std::vector<int>{-70, -90, 640, 480}),
              (std::vector<int>{unscaled.image.x, unscaled.image.y, unscaled.image.w, unscaled.image.h}));
    ExpectTileShows(actual, "Cam00", Expected(kMono8, 640, 480, Quibbon::kPatternMovingRamp, unscaled.frame));
}

// Every camera of the built-in rig in a grid, each pixel format converted as grab converts it,
// the overlay naming each camera's format and its frame rate.
TEST_F(Viewer, ShowsEveryCameraOfTheRigInAGrid) {
    const ToolRun run = View({"--all", "--window", "900x500"}, "frames 40; dump " + At("grid") + "; q");
    ASSERT_EQ(0, run.exitCode) << run.err;
    const Dump grid = ReadDump(At("grid"));
    const struct {
        const char* id;
        uint32_t format;
        const char* summary;
    } cameras[] = {{"Cam00", kMono8, "640 x 480 Mono8"},
                   {"Cam01", kRgb8, "640 x 480 RGB8"},
                   {"Cam10", kBayerRG8, "640 x 480 BayerRG8"},
                   {"Cam11", kMono12Packed, "640 x 480 Mono12Packed"}};
    for (const auto& camera : cameras) {
        ASSERT_EQ(1u, grid.tiles.count(camera.id)) << camera.id;
        const Tile& tile = grid.tiles.at(camera.id);
        EXPECT_EQ(450, tile.area.w);
        EXPECT_EQ(250, tile.area.h);
        EXPECT_EQ(std::string(camera.id) + "  " + camera.summary, tile.text.at(0));
        ExpectTileShows(grid, camera.id, Expected(camera.format, 640, 480, Quibbon::kPatternMovingRamp, tile.frame));
        // The cameras run at 60 frames/s; a broad range, which machine load does not leave.
        const double rate = DeliveredRate(tile);
        EXPECT_GT(rate, 5.0) << camera.id;
        EXPECT_LT(rate, 500.0) << camera.id;
        EXPECT_GT(After(tile, "shown "), 0.0) << camera.id;
        EXPECT_EQ(0, After(tile, "dropped ")) << camera.id;
    }
}

// A rig file's cameras, smaller than their tiles' share of the window: the frames scaled up, and
// the faults of the link counted as dropped and incomplete frames.
TEST_F(Viewer, ShowsARigFilesCamerasAndCountsTheirFaults) {
    const ToolRun run = View({"-d", "Reference", "Dropping", "Flaky", "--window", "700x500"},
                             "frames 30; dump " + At("rig") + "; q",
                             std::string(QUARVO_EXAMPLES_DIR) + "/fault-injection.toml");
    ASSERT_EQ(0, run.exitCode) << run.err;
    const Dump rig = ReadDump(At("rig"));
    ExpectTileShows(rig, "Reference", Expected(kMono8, 320, 240, Quibbon::kPatternMovingRamp, rig.tiles.at("Reference").frame));
    ExpectTileShows(rig, "Dropping", Expected(kBayerRG8, 320, 240, Quibbon::kPatternMovingRamp, rig.tiles.at("Dropping").frame));
    EXPECT_EQ((std::vector<int>{8, 0, 333, 250}),
              (std::vector<int>{rig.tiles.at("Reference").image.x, rig.tiles.at("Reference").image.y,
                                rig.tiles.at("Reference").image.w, rig.tiles.at("Reference").image.h}));
    EXPECT_GE(After(rig.tiles.at("Dropping"), "dropped "), 2);
    EXPECT_GE(After(rig.tiles.at("Flaky"), "incomplete "), 3);
    EXPECT_EQ(0, After(rig.tiles.at("Reference"), "dropped "));
}

// Paused, the display holds its frame while the camera goes on (the frames it does not show are
// skipped, not dropped); s saves the frame shown under grab's name; resumed, it shows the newest.
TEST_F(Viewer, PausesAndSavesTheFrameShown) {
    const ToolRun run = View({}, "frames 3; space; dump " + At("paused") + "; frames 10; dump " + At("later") +
                                     "; s; space; frames 3; dump " + At("resumed") + "; q");
    ASSERT_EQ(0, run.exitCode) << run.err;
    const Tile paused = ReadDump(At("paused")).tiles.at("Cam00");
    const Tile later = ReadDump(At("later")).tiles.at("Cam00");
    const Tile resumed = ReadDump(At("resumed")).tiles.at("Cam00");
    EXPECT_EQ(paused.frame, later.frame);
    EXPECT_EQ("paused", later.text.back());
    EXPECT_GE(After(later, "skipped ") - After(paused, "skipped "), 9);
    EXPECT_EQ(0, After(later, "dropped "));
    EXPECT_GE(resumed.frame, later.frame + 13);

    char name[32];
    std::snprintf(name, sizeof name, "Cam00-%08llu.png", static_cast<unsigned long long>(later.frame));
    EXPECT_NE(std::string::npos, run.out.find(std::string("Saved ") + At(name))) << run.out;
    const Png saved = ReadPng(At(name));
    ASSERT_EQ(1u, saved.channels) << "a grey PNG";
    EXPECT_TRUE(saved.pixels == Expected(kMono8, 640, 480, Quibbon::kPatternMovingRamp, later.frame).pixels);
}

// A camera that waits for its trigger shows nothing until t fires TriggerSoftware, then the one
// frame each trigger releases; h lays the list of keys over the tiles and takes it away again.
TEST_F(Viewer, TriggersTheCameraAndListsTheKeys) {
    std::ofstream(At("trigger.toml")) << "[[board]]\nid = \"Line1\"\n\n[[board.camera]]\nid = \"Triggered\"\n"
                                         "profile = \"sfnc\"\nuser_set_default = \"UserSet1\"\n\n"
                                         "[board.camera.user_set.UserSet1]\nTriggerSelector = \"FrameStart\"\n"
                                         "TriggerMode = \"On\"\nTriggerSource = \"Software\"\n";
    const ToolRun run = View({"--window", "640x480"},
                             "h; dump " + At("help") + "; h; t; frames 1; dump " + At("first") + "; t; frames 1; dump " +
                                 At("second") + "; q",
                             At("trigger.toml"));
    ASSERT_EQ(0, run.exitCode) << run.err;
    const Dump help = ReadDump(At("help"));
    EXPECT_EQ("Triggered  waiting for frames", help.tiles.at("Triggered").text.at(0));
    ASSERT_EQ(1u, help.boxes.size());
    const Rect& keys = help.boxes.front();
    EXPECT_LE(std::abs(640 - keys.w - 2 * keys.x), 1) << "the list of keys is centred";
    EXPECT_LE(std::abs(480 - keys.h - 2 * keys.y), 1) << "the list of keys is centred";
    EXPECT_EQ(24, help.Pixel(keys.x + 1, keys.y + 1)[0]) << "the box is drawn into the window";

    const Dump first = ReadDump(At("first"));
    const Dump second = ReadDump(At("second"));
    EXPECT_EQ("Triggered triggered", first.status);
    ASSERT_EQ(1u, first.boxes.size()) << "h hides the list again; the status line stays";
    EXPECT_GT(first.boxes.front().y, keys.y + keys.h);
    EXPECT_EQ(first.tiles.at("Triggered").frame + 1, second.tiles.at("Triggered").frame);
}

// An interface that does not open is reported, the devices of the others are shown, and the exit
// code says that something failed.
TEST_F(Viewer, ShowsTheDevicesOfTheInterfacesThatOpen) {
    const ToolRun run = View({"--cti", TestProducer("FailingInterface"), "--all"},
                             "frames 2; dump " + At("rest") + "; q");
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("interface QB::Board0 skipped: TLOpenInterface failed with GC_ERR_IO"))
        << run.err;
    const Dump rest = ReadDump(At("rest"));
    EXPECT_EQ(2u, rest.tiles.size());
    ExpectTileShows(rest, "Cam10", Expected(kBayerRG8, 640, 480, Quibbon::kPatternMovingRamp, rest.tiles.at("Cam10").frame));
    ExpectTileShows(rest, "Cam11",
                    Expected(kMono12Packed, 640, 480, Quibbon::kPatternMovingRamp, rest.tiles.at("Cam11").frame));
}

TEST(ViewerWithoutDisplay, SaysSoAndSuggestsGrab) {
    const ToolRun run = RunTool({"view"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}});
    EXPECT_EQ(2, run.exitCode);
    EXPECT_EQ(0u, run.err.find("quarvo: no display")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("quarvo grab")) << run.err;
    EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << "one line: " << run.err;
    const ToolRun help = RunTool({"view", "--help"});
    EXPECT_EQ(0, help.exitCode);
    for (const char* key : {"space ", "s ", "t ", "f ", "h ", "q, Escape "}) {
        EXPECT_NE(std::string::npos, help.out.find("\n  " + std::string(key))) << key << " missing in\n" << help.out;
    }
}

}  // namespace
}  // namespace quarvo_test
