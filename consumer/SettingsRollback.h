// Camera settings written for one run and put back afterwards as the camera had them: each
// feature's value is read before its first write, and Restore writes the saved values back, the
// last change first. Executed commands have no value and are not undone; a feature that cannot
// be read (write-only) is written without a saved value.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "consumer/FeatureAccess.h"

namespace quarvo {

class SettingsRollback {
public:
    explicit SettingsRollback(GenApiPort& port) : m_port(port), m_features(port) {}
    // Restores what is left; a destructor cannot report failures, so call Restore to see them.
    ~SettingsRollback() { Restore(); }
    SettingsRollback(const SettingsRollback&) = delete;
    SettingsRollback& operator=(const SettingsRollback&) = delete;

    GenApiPort& Port() { return m_port; }

    // Saves the feature's value (the first time it is written), then writes value as
    // FeatureAccess::Set does, throwing what it throws.
    void Set(const std::string& name, const std::string& value);

    struct Outcome {
        std::vector<std::string> restored;  // "Width = 640"
        std::vector<std::string> failed;    // "Width = 640: <reason>"
    };
    // Writes the saved values back, newest first, and forgets them.
    Outcome Restore();

private:
    GenApiPort& m_port;
    FeatureAccess m_features;
    std::vector<std::pair<std::string, std::string>> m_saved;  // feature, value before the first write
};

}  // namespace quarvo
