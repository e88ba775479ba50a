#include "tools/AcquisitionOptions.h"

#include <iostream>

#include "tools/SetCommand.h"

namespace quarvo::tool {

void AcquisitionOptions::AddTo(CLI::App& app) {
    app.add_option("-d,--device", device, "Device ID (default: the first device of the first interface)");
    app.add_option("--set", settings,
                   "Camera settings to write first, in order, and to put back when the run ends: one or more "
                   "FEATURE=VALUE (or 0x...=VALUE for a register), up to the next option")
        ->type_name("FEATURE=VALUE");
    app.add_option("-b,--buffers", buffers, "Buffers kept queued (raised to the least the stream needs)")
        ->check(CLI::Range(size_t{1}, size_t{1024}))
        ->capture_default_str();
    app.add_option("-t,--timeout", timeoutMs, "Milliseconds to wait for each image")
        ->check(CLI::Range(uint64_t{1}, uint64_t{3600000}))
        ->capture_default_str();
}

void AcquisitionOptions::Apply(SettingsRollback& changes) const {
    for (const std::string& text : settings) {
        const auto [name, value] = SplitAssignment(text, false);
        changes.Set(name, value);
    }
}

void Report(const SettingsRollback::Outcome& outcome, FailureLog& failures) {
    if (!outcome.restored.empty()) {
        std::cout << "Restored " << Join(outcome.restored) << "\n";
    }
    for (const std::string& failure : outcome.failed) {
        failures.Add("cannot restore", failure);
    }
}

}  // namespace quarvo::tool
