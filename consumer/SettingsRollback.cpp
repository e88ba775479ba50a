#include "consumer/SettingsRollback.h"

#include <algorithm>

namespace quarvo {

void SettingsRollback::Set(const std::string& name, const std::string& value) {
    const bool saved =
        std::any_of(m_saved.begin(), m_saved.end(), [&](const auto& entry) { return entry.first == name; });
    if (!saved && !m_port.IsCommand(name)) {
        try {
            m_saved.emplace_back(name, m_features.Get(name));
        } catch (const GenApiError&) {
            // Unreadable now (write-only, or not available): nothing to put back.
        }
    }
    m_features.Set(name, value);
}

SettingsRollback::Outcome SettingsRollback::Restore() {
    Outcome outcome;
    for (auto entry = m_saved.rbegin(); entry != m_saved.rend(); ++entry) {
        const std::string setting = entry->first + " = " + entry->second;
        try {
            m_features.Set(entry->first, entry->second);
            outcome.restored.push_back(setting);
        } catch (const std::exception& error) {
            outcome.failed.push_back(setting + ": " + error.what());
        }
    }
    m_saved.clear();
    return outcome;
}

}  // namespace quarvo
