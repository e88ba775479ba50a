#include "simulator/Rig.h"

#include <cstdlib>
#include <mutex>

#include "simulator/RigFile.h"

namespace Quibbon::Sim {

namespace {

constexpr const char* kRigVariable = "QUARVO_RIG";

struct CameraKind {
    const char* model;
    uint32_t pixelFormat;
};

// One camera kind per slot of a board; together they cover monochrome, colour, Bayer and packed
// data.
constexpr CameraKind kKinds[2][2] = {
    {{"QC-640M", 0x01080001 /* Mono8 */}, {"QC-640C", 0x02180014 /* RGB8 */}},
    {{"QC-640B", 0x01080009 /* BayerRG8 */}, {"QC-640M12P", 0x010C0006 /* Mono12Packed */}},
};

std::shared_ptr<const Board> MakeBoard(int board) {
    auto made = std::make_shared<Board>();
    made->id = "Board" + std::to_string(board);
    made->prefix = kBoardPrefix;
    made->displayName = DefaultDisplayName(static_cast<size_t>(board));
    for (int slot = 0; slot < 2; ++slot) {
        const std::string number = std::to_string(board) + std::to_string(slot);
        const CameraKind& kind = kKinds[board][slot];
        CameraConfig config;
        config.identity = {"Cam" + number, kDefaultVendor, kind.model, "BX7Q00" + number, kDefaultUserName, kind.pixelFormat};
        made->cameras.push_back(std::make_shared<Camera>(config));
    }
    return made;
}

std::shared_ptr<const Rig> MakeRig() {
    const char* file = std::getenv(kRigVariable);
    return file != nullptr && *file != '\0' ? LoadRigFile(file) : MakeDefaultRig();
}

}  // namespace

std::string DefaultDisplayName(size_t board) { return "Quibbon frame grabber " + std::to_string(board); }

std::shared_ptr<const Rig> MakeDefaultRig() {
    auto rig = std::make_shared<Rig>();
    for (int board = 0; board < 2; ++board) {
        rig->boards.push_back(MakeBoard(board));
    }
    return rig;
}

std::shared_ptr<const Rig> SharedRig() {
    static std::mutex mutex;
    static std::weak_ptr<const Rig> shared;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<const Rig> rig = shared.lock();
    if (!rig) {
        rig = MakeRig();
        shared = rig;
    }
    return rig;
}

}  // namespace Quibbon::Sim
