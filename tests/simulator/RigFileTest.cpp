// Rig files: a valid file gives the boards and cameras it describes with the documented defaults;
// every kind of bad file gives no rig and a message naming the file, the line and the problem.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "simulator/RigFile.h"
#include "tests/simulator/SimHandles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using namespace Quibbon;
using sim_test::Handle;
using sim_test::Param;

std::string Text(IDevice& device, int32_t param) {
    char text[kInfoTextSize] = {};
    uint64_t size = sizeof text;
    EXPECT_EQ(device.GetParameter(param, text, &size), kOk) << param;
    return text;
}

std::string BoardText(IInterface& board, int32_t info) {
    char text[kInfoTextSize] = {};
    uint64_t size = sizeof text;
    EXPECT_EQ(board.GetInfo(info, text, &size), kOk);
    return text;
}

// The message LoadRigFile gives for that file, or "" when it loads.
std::string LoadError(const std::string& path) {
    try {
        Sim::LoadRigFile(path);
    } catch (const Sim::RigFileError& error) {
        return error.what();
    }
    return "";
}

constexpr const char* kThreeBoards = R"(# Two cameras on the left, none in the middle, one faulty on the right.
[[board]]
id = "Left"
display_name = "Left board"

[[board.camera]]
id = "Top"
vendor = "Quarvo"
model = "QC-320C"
serial = "LT0001"
user_name = "Top view"
width = 320
height = 240
pixel_format = "RGB8"
frame_rate = 30
pattern = "checkerboard"

[[board.camera]]
pixel_format = "BayerGB12"

[[board]]

[[board]]
[[board.camera]]
pattern = "colour-bars"
[board.camera.faults]
drop_every = 5
incomplete_every = 7
fail_every = 11
)";

TEST(RigFileTest, ValidFileGivesItsBoardsAndCamerasWithDefaultsForTheRest) {
    sim_test::TempFolder folder;
    Handle<ISystem> system(Sim::CreateSystem(Sim::LoadRigFile(folder.WriteText("rig.toml", kThreeBoards))));
    uint32_t count = 0;
    ASSERT_EQ(system->GetNumInterfaces(&count), kOk);
    ASSERT_EQ(count, 3u);
    const char* ids[] = {"Left", "Board1", "Board2"};
    const char* names[] = {"Left board", "Quibbon frame grabber 1", "Quibbon frame grabber 2"};
    const uint32_t cameras[] = {2, 0, 1};
    for (uint32_t b = 0; b < 3; ++b) {
        IInterface* raw = nullptr;
        ASSERT_EQ(system->OpenInterface(ids[b], &raw), kOk) << ids[b];
        Handle<IInterface> board(raw);
        EXPECT_EQ(BoardText(*board, kInterfaceInfoDisplayName), names[b]);
        EXPECT_EQ(BoardText(*board, kInterfaceInfoPrefix), "QB");
        ASSERT_EQ(board->GetNumDevices(&count), kOk);
        EXPECT_EQ(count, cameras[b]) << ids[b];
    }

    struct Expected {
        const char *board, *id, *vendor, *model, *serial, *userName;
        int32_t width, height, pixelFormat, frameRate, pattern, failEvery, dropEvery, incompleteEvery;
    };
    const Expected expected[] = {
        {"Left", "Top", "Quarvo", "QC-320C", "LT0001", "Top view", 320, 240, 0x02180014, 30, kPatternCheckerboard, 0, 0, 0},
        {"Left", "Cam01", "Brondix", "QC-640B", "BX7Q0001", "Center", 640, 480, 0x01100012, 60, kPatternMovingRamp, 0, 0, 0},
        {"Board2", "Cam20", "Brondix", "QC-640M", "BX7Q0200", "Center", 640, 480, 0x01080001, 60, kPatternColourBars, 11, 5, 7},
    };
    for (const Expected& e : expected) {
        Handle<IDevice> device = sim_test::OpenDevice(*system, e.board, e.id);
        ASSERT_NE(device, nullptr) << e.id;
        EXPECT_EQ(Text(*device, kParamVendor), e.vendor);
        EXPECT_EQ(Text(*device, kParamModel), e.model);
        EXPECT_EQ(Text(*device, kParamSerialNumber), e.serial);
        EXPECT_EQ(Text(*device, kParamUserName), e.userName);
        const std::vector<int32_t> numbers = {*Param(*device, kParamWidth),          *Param(*device, kParamHeight),
                                              *Param(*device, kParamPixelFormat),    *Param(*device, kParamFrameRate),
                                              *Param(*device, kParamTestPattern),    *Param(*device, kParamFaultFailEvery),
                                              *Param(*device, kParamFaultDropEvery), *Param(*device, kParamFaultIncompleteEvery)};
        EXPECT_EQ(numbers, (std::vector<int32_t>{e.width, e.height, e.pixelFormat, e.frameRate, e.pattern, e.failEvery,
                                                 e.dropEvery, e.incompleteEvery}))
            << e.id;
    }
}

TEST(RigFileTest, BadFilesAreRefusedNamingFileLineAndProblem) {
    sim_test::TempFolder folder;
    const std::string dir = folder.Path().string();
    const uint8_t grey[16 * 8] = {};
    sim_test::WritePng(folder, "mixed/a.png", 8, 8, PNG_FORMAT_GRAY, grey);
    sim_test::WritePng(folder, "mixed/b.png", 16, 8, PNG_FORMAT_GRAY, grey);
    sim_test::WritePng(folder, "odd/a.png", 10, 8, PNG_FORMAT_GRAY, grey);
    sim_test::WritePng(folder, "good/a.png", 8, 8, PNG_FORMAT_GRAY, grey);
    folder.WriteText("empty/notes.txt", "no images here");
    folder.WriteText("fake/x.png", "not really a PNG");
    std::filesystem::resize_file(sim_test::WritePng(folder, "broken/x.png", 8, 8, PNG_FORMAT_GRAY, grey), 60);
    std::string seventeen;
    for (int i = 0; i < 17; ++i) {
        seventeen += "[[board]]\n";
    }
    const std::string camera = "[[board]]\n[[board.camera]]\n";
    const std::string sfnc = camera + "profile = \"sfnc\"\n";

    struct Case {
        std::string text;
        int line;             // 0: the file as a whole
        std::string problem;  // empty: the TOML parser's own words
    };
    const Case cases[] = {
        {"[[board]]\nid = \n", 2, ""},
        {"boards = 1\n", 1, "unknown key 'boards'"},
        {camera + "width = 640\nwidht = 640\n", 4, "unknown key 'widht'"},
        {camera + "[board.camera.faults]\ndrop_evry = 1\n", 4, "unknown key 'drop_evry'"},
        {"[board]\nid = \"x\"\n", 1, "'board' must be written as [[board]] tables"},
        {camera + "pixel_format = \"Mono9\"\n", 3, "unknown pixel format 'Mono9'"},
        {camera + "width = 4100\n", 3, "'width' must be a multiple of 4 from 8 to 4096"},
        {camera + "height = \"480\"\n", 3, "'height' must be a multiple of 4 from 8 to 4096"},
        {camera + "vendor = \"\"\n", 3, "'vendor' must be a text of 1 to 511 characters"},
        // Texts are handed out as C strings and shown: "A\0B" would be listed as "A" and not open.
        {camera + "id = \"A\\u0000B\"\n", 3, "'id' must not hold control characters"},
        {"[[board]]\ndisplay_name = \"Left\\u001b[2J\"\n", 2, "'display_name' must not hold control characters"},
        // Non-ASCII characters where TOML skips whitespace: an error where a key or a value ends, text
        // after a line-ending backslash.
        {"[[board]]\n\u00e9 = 1\n", 2, ""},
        {"[[board]]\nid = 1\u00a7\n", 2, ""},
        {"s = \"\"\"\\\n\u00a7\"\"\"\n", 1, "unknown key 's'"},
        {camera + "frame_rate = 2.5\n", 3, "'frame_rate' must be a whole number from 0 to 1000000"},
        {camera + "pattern = \"noise\"\n", 3,
         "unknown pattern 'noise' (moving-ramp, still-ramp, checkerboard, colour-bars or images)"},
        {camera + "pattern = \"images\"\n", 3, "pattern 'images' needs an 'images' folder or a 'video'"},
        {camera + "[board.camera.faults]\ndrop_every = -1\n", 4, "'drop_every' must be a whole number from 0 to 2147483647"},
        {camera + "faults = 3\n", 3, "'faults' must be written as a [board.camera.faults] table"},
        {seventeen, 17, "more than 16 boards"},
        {camera + "id = \"A\"\n[[board.camera]]\nid = \"A\"\n", 4, "camera id 'A' is used twice on board 'Board0'"},
        {"", 0, "no [[board]] in the rig"},
        {camera + "images = \"empty\"\n", 3, "images folder '" + dir + "/empty' holds no image file (PNG, TIFF, BMP or JPEG)"},
        {camera + "images = \"missing\"\n", 3,
         "images folder '" + dir + "/missing' cannot be read (No such file or directory)"},
        {camera + "images = \"fake\"\n", 3, "image '" + dir + "/fake/x.png' is not an image file"},
        {camera + "images = \"broken\"\n", 3,
         "image '" + dir + "/broken/x.png' cannot be decoded (its size cannot be read, or it is larger than 4096 "
                           "pixels a side)"},
        {camera + "images = \"mixed\"\n", 3,
         "image '" + dir + "/mixed/b.png' is 16x8, unlike '" + dir + "/mixed/a.png' (8x8)"},
        {camera + "images = \"odd\"\n", 3,
         "images in '" + dir + "/odd' are 10x8, not a camera size (8 to 4096 a side, a multiple of 4)"},
        {camera + "images = \"good\"\nwidth = 16\n", 4, "the camera is 16x8 but its images in '" + dir + "/good' are 8x8"},
        // User sets: SFNC cameras only; each value written as a consumer would, refused as then.
        {camera + "[board.camera.user_set.UserSet1]\nWidth = 32\n", 3, "user sets need profile = \"sfnc\""},
        {sfnc + "[board.camera.user_set.UserSet4]\n", 4, "unknown key 'UserSet4'"},
        {sfnc + "[board.camera.user_set.UserSet1]\nWidth = 32\nWidht = 32\n", 6,
         "'Widht' is not a setting of the camera a user set can hold"},
        {sfnc + "[board.camera.user_set.UserSet1]\nAcquisitionStart = 1\n", 5,
         "'AcquisitionStart' is not a setting of the camera a user set can hold"},
        {sfnc + "[board.camera.user_set.UserSet2]\nWidth = 30\n", 5,
         "Width: 30 is out of range (4 to 640 in steps of 4, with OffsetX 0)."},
        {sfnc + "[board.camera.user_set.UserSet2]\nPixelFormat = \"Mono9\"\n", 5, "'Mono9' is not an entry of PixelFormat"},
        {sfnc + "[board.camera.user_set.UserSet2]\nGain = [1]\n", 5,
         "'Gain' must be an entry name, a number or true or false"},
        {sfnc + "user_set_default = \"UserSet3\"\n", 4,
         "user_set_default 'UserSet3' is not Default or a user set the camera is given"},
    };
    for (const Case& c : cases) {
        const std::string path = folder.WriteText("rig.toml", c.text);
        const std::string where = path + (c.line > 0 ? ":" + std::to_string(c.line) : "") + ": ";
        const std::string error = LoadError(path);
        if (c.problem.empty()) {
            EXPECT_EQ(error.rfind(where, 0), 0u) << error;
            EXPECT_GT(error.size(), where.size()) << error;
        } else {
            EXPECT_EQ(error, where + c.problem) << c.text;
        }
    }
    EXPECT_EQ(LoadError(dir + "/none.toml"), dir + "/none.toml: cannot be read (No such file or directory)");
    EXPECT_EQ(LoadError(dir), dir + ": is a folder, not a rig file");
}

TEST(RigFileTest, ExampleRigsLoad) {
    const std::pair<const char*, size_t> examples[] = {{"inspection-cell/rig.toml", 4}, {"fault-injection.toml", 4}};
    for (const auto& [file, expected] : examples) {
        const auto rig = Sim::LoadRigFile(std::string(QUARVO_EXAMPLES_DIR) + "/" + file);
        size_t cameras = 0;
        for (const auto& board : rig->boards) {
            cameras += board->cameras.size();
        }
        EXPECT_EQ(cameras, expected) << file;
    }
}

TEST(RigFileTest, SharedSystemReadsTheFileNamedInTheEnvironmentOnlyWhenTheRigIsMade) {
    sim_test::TempFolder folder;
    const std::string good = folder.WriteText("good.toml", "[[board]]\nid = \"Only\"\n");
    const std::string bad = folder.WriteText("bad.toml", "[[board]]\ncolour = 1\n");
    ASSERT_EQ(setenv("QUARVO_RIG", bad.c_str(), 1), 0);
    EXPECT_EQ(Sim::CreateSharedSystem(), nullptr);
    EXPECT_EQ(Sim::SharedSystemError(), bad + ":2: unknown key 'colour'");

    ASSERT_EQ(setenv("QUARVO_RIG", good.c_str(), 1), 0);
    Handle<ISystem> system(Sim::CreateSharedSystem());
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(Sim::SharedSystemError(), "");
    // While the rig lives, the variable is not read again.
    ASSERT_EQ(unsetenv("QUARVO_RIG"), 0);
    Handle<ISystem> second(Sim::CreateSharedSystem());
    for (ISystem* current : {system.get(), second.get()}) {
        char id[kIdTextSize] = {};
        uint64_t size = sizeof id;
        uint32_t count = 0;
        ASSERT_EQ(current->GetNumInterfaces(&count), kOk);
        EXPECT_EQ(count, 1u);
        ASSERT_EQ(current->GetInterfaceID(0, id, &size), kOk);
        EXPECT_STREQ(id, "Only");
    }
}

}  // namespace
