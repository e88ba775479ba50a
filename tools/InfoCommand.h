// quarvo info: what the producer, its System, the device's interface and the device tell.
#pragma once

#include <string>

#include "tools/Command.h"

namespace quarvo::tool {

class InfoCommand : public Command {
public:
    InfoCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    std::string m_device;
};

}  // namespace quarvo::tool
