// quarvo set: writes features (or port registers given as 0x...) by name. Camera settings are
// remembered and written again by every later quarvo command that opens the camera.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "consumer/GenApiPort.h"
#include "tools/Command.h"

namespace quarvo::tool {

// FEATURE=VALUE split at the first '='; a bare FEATURE (a command to execute) has an empty value.
// Throws UsageError for an empty name.
std::pair<std::string, std::string> SplitAssignment(const std::string& text, bool valueRequired);

// Writes FEATURE=VALUE assignments to the port for this run only.
void ApplyAssignments(GenApiPort& port, const std::vector<std::string>& assignments);

class SetCommand : public Command {
public:
    SetCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    std::vector<std::string> m_assignments;
    std::string m_device;
    std::string m_module = "remote";
    bool m_forget = false;
    bool m_once = false;
};

}  // namespace quarvo::tool
