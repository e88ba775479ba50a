#include "tools/SetCommand.h"

#include <iostream>

#include "consumer/FeatureAccess.h"
#include "tools/Session.h"

namespace quarvo::tool {

std::pair<std::string, std::string> SplitAssignment(const std::string& text, bool valueRequired) {
    const size_t equals = text.find('=');
    if (equals == 0 || text.empty() || (valueRequired && equals == std::string::npos)) {
        throw UsageError("'" + text + "' is not FEATURE=VALUE");
    }
    if (equals == std::string::npos) {
        return {text, ""};
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

SetCommand::SetCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "set",
              "Write features by name (FEATURE=VALUE; a bare FEATURE executes a command; a name 0x... writes that "
              "32-bit register). Nothing is remembered: a simulated camera forgets the writes when quarvo ends. "
              "Lasting settings belong in a rig file; grab and bench take --set for their run.",
              global) {
    App().add_option("ASSIGNMENT", m_assignments, "FEATURE=VALUE to write, in order")->required();
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
    App()
        .add_option("-m,--module", m_module, "Module the features belong to")
        ->check(CLI::IsMember({"system", "interface", "device", "remote", "stream"}))
        ->capture_default_str();
}

void SetCommand::Run() {
    std::vector<std::pair<std::string, std::string>> settings;
    for (const std::string& text : m_assignments) {
        settings.push_back(SplitAssignment(text, false));
    }
    Session session(Global().cti);
    session.OpenDevice(m_device);
    GenApiPort& port = session.Port(ParseModule(m_module));
    FeatureAccess features(port);
    for (const auto& [name, value] : settings) {
        features.Set(name, value);
        const bool isCommand = port.IsCommand(name);
        std::cout << name << (isCommand ? " executed" : " = " + value) << "\n";
    }
    session.Failures().Conclude();
}

}  // namespace quarvo::tool
