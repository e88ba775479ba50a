// The options grab and bench share: the device, camera settings for this run, the buffers kept
// queued and the time to wait for each image; and the run of an acquiring command between
// writing those settings and putting the camera's own settings back.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "consumer/SettingsRollback.h"
#include "tools/FailureLog.h"

namespace quarvo::tool {

struct AcquisitionOptions {
    std::string device;
    std::vector<std::string> settings;
    size_t buffers = 8;
    uint64_t timeoutMs = 5000;

    void AddTo(CLI::App& app);
    // Writes the --set settings in order through changes.
    void Apply(SettingsRollback& changes) const;
};

// Prints the settings put back ("Restored Width = 640, ..."); one that could not be put back is
// a failure.
void Report(const SettingsRollback::Outcome& outcome, FailureLog& failures);

// Runs work, then restores every setting changes saved, also when work throws.
template <class Work>
void RestoringAfter(SettingsRollback& changes, FailureLog& failures, Work&& work) {
    try {
        work();
    } catch (...) {
        Report(changes.Restore(), failures);
        throw;
    }
    Report(changes.Restore(), failures);
}

}  // namespace quarvo::tool
