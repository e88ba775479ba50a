// The camera settings a user wrote with `quarvo set`, remembered per producer and device and
// written again whenever quarvo opens that camera: a camera simulated inside its producer forgets
// its settings when the process that loaded the producer ends. They live in one tab-separated
// file, $XDG_STATE_HOME/quarvo/camera-settings.tsv (~/.local/state/quarvo/... by default).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quarvo::tool {

class SettingsStore {
public:
    using Setting = std::pair<std::string, std::string>;  // feature, value

    explicit SettingsStore(std::string file) : m_file(std::move(file)) {}
    // The store of the current user; disabled (empty file name) without a home folder.
    static SettingsStore ForUser();

    const std::string& File() const { return m_file; }
    // The settings of that camera in the order they were last written.
    std::vector<Setting> Settings(const std::string& producer, const std::string& device) const;
    // Keeps feature=value for that camera, replacing an earlier value of the feature.
    void Remember(const std::string& producer, const std::string& device, const Setting& setting) const;
    // Forgets every setting of that camera.
    void Forget(const std::string& producer, const std::string& device) const;

private:
    struct Line {
        std::string producer, device, feature, value;
    };
    std::vector<Line> Load() const;
    void Save(const std::vector<Line>& lines) const;

    std::string m_file;
};

}  // namespace quarvo::tool
