// quarvo list: the producer's interfaces and the devices on each.
#pragma once

#include "tools/Command.h"

namespace quarvo::tool {

class ListCommand : public Command {
public:
    ListCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;
};

}  // namespace quarvo::tool
