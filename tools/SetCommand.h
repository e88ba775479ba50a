// quarvo set: writes features (or port registers given as 0x...) by name, for this run only:
// nothing is remembered for later runs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/Command.h"

namespace quarvo::tool {

// FEATURE=VALUE split at the first '='; a bare FEATURE (a command to execute) has an empty value.
// Throws UsageError for an empty name.
std::pair<std::string, std::string> SplitAssignment(const std::string& text, bool valueRequired);

class SetCommand : public Command {
public:
    SetCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    std::vector<std::string> m_assignments;
    std::string m_device;
    std::string m_module = "remote";
};

}  // namespace quarvo::tool
