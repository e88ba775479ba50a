// The simulated hardware: frame-grabber boards (interfaces), each with its cameras.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "simulator/Camera.h"

namespace Quibbon::Sim {

struct Board {
    std::string id;
    std::string prefix;
    std::string displayName;
    std::vector<std::shared_ptr<Camera>> cameras;
};

struct Rig {
    std::vector<std::shared_ptr<const Board>> boards;
};

// Prefix of every board's interface, and what cameras are unless told otherwise.
constexpr const char* kBoardPrefix = "QB";
constexpr const char* kDefaultVendor = "Brondix";
constexpr const char* kDefaultUserName = "Center";

// Display name of the board with that index unless told otherwise.
std::string DefaultDisplayName(size_t board);

// Two boards, Board0 and Board1 (prefix QB), each with two cameras of different pixel formats.
std::shared_ptr<const Rig> MakeDefaultRig();
// The process-wide rig: created on first use and kept while any object refers to it, so every
// system object handed out meanwhile sees the same cameras; made afresh once all are gone. It is
// read from the rig file named by the environment variable QUARVO_RIG when that is set (and not
// empty), else it is the default rig. Throws RigFileError (see RigFile.h) for a bad rig file.
std::shared_ptr<const Rig> SharedRig();

}  // namespace Quibbon::Sim
