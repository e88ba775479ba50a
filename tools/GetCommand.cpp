#include "tools/GetCommand.h"

#include <iostream>

#include "consumer/FeatureAccess.h"
#include "tools/Session.h"

namespace quarvo::tool {

GetCommand::GetCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "get",
              "Read features by name; a name 0x... reads that 32-bit register of the module's port. A feature "
              "that cannot be read is reported and the others are read.",
              global) {
    App().add_option("FEATURE", m_features, "Features to read")->required();
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
    App()
        .add_option("-m,--module", m_module, "Module the features belong to")
        ->check(CLI::IsMember({"system", "interface", "device", "remote", "stream"}))
        ->capture_default_str();
}

void GetCommand::Run() {
    Session session(Global().cti);
    session.OpenDevice(m_device);
    FeatureAccess features(session.Port(ParseModule(m_module)));
    for (const std::string& name : m_features) {
        try {
            const std::string value = features.Get(name);
            std::cout << name << " = " << value << "\n";
        } catch (const GenApiError& error) {
            session.Failures().Add("", error.what());
        }
    }
    session.Failures().Conclude();
}

}  // namespace quarvo::tool
