#include "tools/SettingsStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "consumer/Errors.h"

namespace fs = std::filesystem;

namespace quarvo::tool {

SettingsStore SettingsStore::ForUser() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state != '\0') {
        return SettingsStore((fs::path(state) / "quarvo" / "camera-settings.tsv").string());
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return SettingsStore((fs::path(home) / ".local" / "state" / "quarvo" / "camera-settings.tsv").string());
    }
    return SettingsStore("");
}

std::vector<SettingsStore::Line> SettingsStore::Load() const {
    std::vector<Line> lines;
    std::ifstream in(m_file);
    for (std::string text; std::getline(in, text);) {
        std::istringstream fields(text);
        Line line;
        if (std::getline(fields, line.producer, '\t') && std::getline(fields, line.device, '\t') &&
            std::getline(fields, line.feature, '\t') && std::getline(fields, line.value)) {
            lines.push_back(line);
        }
    }
    return lines;
}

void SettingsStore::Save(const std::vector<Line>& lines) const {
    const fs::path file(m_file);
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    const fs::path temporary = file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const Line& line : lines) {
            out << line.producer << '\t' << line.device << '\t' << line.feature << '\t' << line.value << '\n';
        }
        if (!out) {
            throw std::runtime_error("cannot write the settings file " + temporary.string());
        }
    }
    fs::rename(temporary, file);
}

std::vector<SettingsStore::Setting> SettingsStore::Settings(const std::string& producer, const std::string& device) const {
    std::vector<Setting> settings;
    if (m_file.empty()) {
        return settings;
    }
    for (const Line& line : Load()) {
        if (line.producer == producer && line.device == device) {
            settings.emplace_back(line.feature, line.value);
        }
    }
    return settings;
}

void SettingsStore::Remember(const std::string& producer, const std::string& device, const Setting& setting) const {
    if (m_file.empty()) {
        return;
    }
    if (setting.second.find_first_of("\t\n") != std::string::npos) {
        throw UsageError(setting.first + ": a value with a tab or a line break cannot be remembered");
    }
    std::vector<Line> lines = Load();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const Line& line) {
                                   return line.producer == producer && line.device == device &&
                                          line.feature == setting.first;
                               }),
                lines.end());
    lines.push_back({producer, device, setting.first, setting.second});
    Save(lines);
}

void SettingsStore::Forget(const std::string& producer, const std::string& device) const {
    if (m_file.empty()) {
        return;
    }
    std::vector<Line> lines = Load();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const Line& line) { return line.producer == producer && line.device == device; }),
                lines.end());
    Save(lines);
}

}  // namespace quarvo::tool
