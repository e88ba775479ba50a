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

void ApplyAssignments(GenApiPort& port, const std::vector<std::string>& assignments) {
    FeatureAccess features(port);
    for (const std::string& text : assignments) {
        const auto [name, value] = SplitAssignment(text, false);
        features.Set(name, value);
    }
}

SetCommand::SetCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "set",
              "Write features by name (FEATURE=VALUE; a bare FEATURE executes a command; a name 0x... writes that "
              "32-bit register). Camera settings are remembered and written again whenever quarvo opens the camera.",
              global) {
    App().add_option("ASSIGNMENT", m_assignments, "FEATURE=VALUE to write, in order");
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
    App()
        .add_option("-m,--module", m_module, "Module the features belong to")
        ->check(CLI::IsMember({"system", "interface", "device", "remote", "stream"}))
        ->capture_default_str();
    App().add_flag("--forget", m_forget, "Forget the remembered camera settings of the device (before writing any)");
    App().add_flag("--once", m_once, "Write the camera settings without remembering them");
}

void SetCommand::Run() {
    if (m_assignments.empty() && !m_forget) {
        throw UsageError("set needs FEATURE=VALUE or --forget");
    }
    std::vector<std::pair<std::string, std::string>> settings;
    for (const std::string& text : m_assignments) {
        settings.push_back(SplitAssignment(text, false));
    }
    Session session(Global().cti, SettingsStore::ForUser());
    session.OpenDevice(m_device);
    const Module module = ParseModule(m_module);
    const std::string device = session.OpenedDevice().ID();
    if (m_forget) {
        session.Store().Forget(session.ProducerKey(), device);
        std::cout << "Forgot the remembered settings of " << device << "\n";
    }
    GenApiPort& port = session.Port(module);
    FeatureAccess features(port);
    for (const auto& [name, value] : settings) {
        features.Set(name, value);
        const bool isCommand = !FeatureAccess::IsRegisterAddress(name) && ARV_IS_GC_COMMAND(port.FindNode(name));
        if (module == Module::Remote && !m_once && !isCommand) {
            session.Store().Remember(session.ProducerKey(), device, {name, value});
        }
        std::cout << name << (isCommand ? " executed" : " = " + value) << "\n";
    }
}

}  // namespace quarvo::tool
