#include "tools/FeaturesCommand.h"

#include <iostream>

#include "tools/Session.h"

namespace quarvo::tool {

FeaturesCommand::FeaturesCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "features",
              "Show the GenApi feature tree of a module: values, access modes, units and ranges. A value that "
              "cannot be read is shown as its error; a feature that cannot be described is also reported.",
              global) {
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
    App()
        .add_option("-m,--module", m_module, "Module whose features to show")
        ->check(CLI::IsMember({"system", "interface", "device", "remote", "stream"}))
        ->capture_default_str();
}

void FeaturesCommand::Run() {
    Session session(Global().cti);
    session.OpenDevice(m_device);
    FeatureAccess features(session.Port(ParseModule(m_module)));
    std::set<std::string> shown;
    Print(features, "Root", 0, shown, session.Failures());
    session.Failures().Conclude();
}

void FeaturesCommand::Print(FeatureAccess& features, const std::string& name, size_t depth, std::set<std::string>& shown,
                            FailureLog& failures) {
    const std::string indent(depth * 2, ' ');
    if (!shown.insert(name).second) {
        std::cout << indent << name << " (see above)\n";
        return;
    }
    FeatureDescription feature;
    try {
        feature = features.Describe(name);
    } catch (const GenApiError& error) {
        std::cout << indent << name << "  (" << error.what() << ")\n";
        failures.Add("", error.what());
        return;
    }
    if (feature.kind == "Category") {
        std::cout << indent << name << "\n";
        for (const std::string& child : feature.children) {
            Print(features, child, depth + 1, shown, failures);
        }
        return;
    }
    std::string line = indent + name;
    if (!feature.value.empty()) {
        line += " = " + feature.value + (feature.unit.empty() ? "" : " " + feature.unit);
    }
    line += "  [" + feature.kind + ", " + feature.access + "]";
    if (!feature.range.empty()) {
        line += "  " + feature.range;
    }
    std::cout << line << "\n";
}

}  // namespace quarvo::tool
