// quarvo rig: the simulated rig in effect, its boards and cameras with their sizes, formats, frame
// rates, patterns and faults, and where it came from (a rig file named by QUARVO_RIG, or the
// built-in rig). Quarvo's own: it reads the cameras of the simulated frame grabber the producer
// loaded.
#pragma once

#include "tools/Command.h"

namespace quarvo::tool {

class RigCommand : public Command {
public:
    RigCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;
};

}  // namespace quarvo::tool
