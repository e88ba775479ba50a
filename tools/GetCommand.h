// quarvo get: reads features (or port registers given as 0x...) by name.
#pragma once

#include <string>
#include <vector>

#include "tools/Command.h"

namespace quarvo::tool {

class GetCommand : public Command {
public:
    GetCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    std::vector<std::string> m_features;
    std::string m_device;
    std::string m_module = "remote";
};

}  // namespace quarvo::tool
