// libFuzzer target: reads its input as the text of a rig file, through the reader that loads the
// file named by QUARVO_RIG. The file stands in a scratch folder made at start-up whose
// subfolders hold small PNG images (see kFolders) and which holds a short video (kVideo), so that
// "images" and "video" keys reach image and video loading and their size checks.
//
// Every input either gives a rig or is refused with a RigFileError whose text names the file. A
// rig must be usable as loaded: every board and camera it lists can be opened through a system
// object by the identifier it reports. Anything else (another exception, a crash, a sanitizer
// report, a leak) aborts, which libFuzzer reports as a crash.
extern "C" {
#include <libavutil/log.h>
}

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "simulator/RigFile.h"
#include "simulator/SimObjects.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using namespace Quibbon;
using Sim::Handle;
namespace fs = std::filesystem;

// Images folders the rig text can name: images (one 8x8 grey image), colour (two 16x8 RGB
// images) and odd (one 10x6 image, a size no camera has).
struct Folder {
    const char* name;
    uint32_t width, height, format, count;
};
constexpr Folder kFolders[] = {
    {"images", 8, 8, PNG_FORMAT_GRAY, 1},
    {"colour", 16, 8, PNG_FORMAT_RGB, 2},
    {"odd", 10, 6, PNG_FORMAT_GRAY, 1},
};

// Three 8x8 grey frames, 25 a second.
constexpr char kVideo[] = "clip.mkv";

[[noreturn]] void Abort(const std::string& why) {
    std::fprintf(stderr, "RigFileFuzzer: %s\n", why.c_str());
    std::abort();
}

fs::path g_folder;

void RemoveFolder() {
    std::error_code ignored;
    fs::remove_all(g_folder, ignored);
}

void MakeFolders() {
    std::string pattern = (fs::temp_directory_path() / "quarvo-rig-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        Abort("no scratch folder");
    }
    g_folder = pattern;
    std::atexit(RemoveFolder);
    const sim_test::TempFolder scratch;
    const std::vector<std::vector<uint8_t>> frames{std::vector<uint8_t>(64, 0x10), std::vector<uint8_t>(64, 0x80),
                                                   std::vector<uint8_t>(64, 0xF0)};
    fs::copy_file(sim_test::WriteVideoFile(scratch, kVideo, "ffv1", AV_PIX_FMT_GRAY8, 8, 8, frames, 25),
                  g_folder / kVideo);
    for (const Folder& folder : kFolders) {
        fs::create_directory(g_folder / folder.name);
        const std::vector<uint8_t> samples(size_t{folder.width} * folder.height * PNG_IMAGE_PIXEL_SIZE(folder.format),
                                           0x5A);
        for (uint32_t n = 0; n < folder.count; ++n) {
            const std::string path = (g_folder / folder.name / (std::to_string(n) + ".png")).string();
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            image.width = folder.width;
            image.height = folder.height;
            image.format = folder.format;
            if (png_image_write_to_file(&image, path.c_str(), 0, samples.data(), 0, nullptr) == 0) {
                Abort(std::string("cannot write ") + path + ": " + image.message);
            }
        }
    }
}

// The identifier at index as the object lists it.
template <class Lister>
std::string ListedId(Lister list, uint32_t index) {
    char id[kIdTextSize] = {};
    uint64_t size = sizeof id;
    if (list(index, id, &size) != kOk) {
        Abort("identifier " + std::to_string(index) + " cannot be read");
    }
    return id;
}

// Every board and camera of the rig opens by the identifier its system object reports.
void CheckOpensByListedIds(std::shared_ptr<const Sim::Rig> rig) {
    Handle<ISystem> system(Sim::CreateSystem(std::move(rig)));
    uint32_t boards = 0;
    if (!system || system->GetNumInterfaces(&boards) != kOk) {
        Abort("no system object on a loaded rig");
    }
    for (uint32_t b = 0; b < boards; ++b) {
        const std::string boardId =
            ListedId([&](uint32_t i, char* t, uint64_t* s) { return system->GetInterfaceID(i, t, s); }, b);
        IInterface* raw = nullptr;
        if (system->OpenInterface(boardId.c_str(), &raw) != kOk) {
            Abort("board '" + boardId + "' is listed but does not open");
        }
        Handle<IInterface> board(raw);
        uint32_t cameras = 0;
        if (board->GetNumDevices(&cameras) != kOk) {
            Abort("board '" + boardId + "' does not count its cameras");
        }
        for (uint32_t c = 0; c < cameras; ++c) {
            const std::string cameraId =
                ListedId([&](uint32_t i, char* t, uint64_t* s) { return board->GetDeviceID(i, t, s); }, c);
            IDevice* device = nullptr;
            if (board->OpenDevice(cameraId.c_str(), &device) != kOk) {
                Abort("camera '" + cameraId + "' of board '" + boardId + "' is listed but does not open");
            }
            Handle<IDevice> held(device);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeFolders();
    av_log_set_level(AV_LOG_QUIET);  // FFmpeg's complaints about bad images would flood the log
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = (g_folder / "rig.toml").string();
    std::shared_ptr<const Sim::Rig> rig;
    try {
        rig = Sim::ReadRigText(std::string(reinterpret_cast<const char*>(data), size), path);
    } catch (const Sim::RigFileError& error) {
        if (std::string(error.what()).rfind(path + ":", 0) != 0) {
            Abort(std::string("message does not name the file: ") + error.what());
        }
        return 0;
    } catch (const std::exception& error) {
        Abort(std::string("exception other than RigFileError: ") + error.what());
    }
    CheckOpensByListedIds(std::move(rig));
    return 0;
}
