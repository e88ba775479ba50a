// Where a consumer finds its producer: the file the user names, else the first .cti in the
// folders of GENICAM_GENTL64_PATH, else the Quarvo.cti installed or built beside the program
// (in its own folder or in ../lib/quarvo relative to it).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarvo {

class ProducerLocator {
public:
    // explicitPath: the user's choice (empty for none); searchPath: the value of
    // GENICAM_GENTL64_PATH (empty when unset); programFolder: the folder of the running program.
    ProducerLocator(std::string explicitPath, std::string searchPath, std::string programFolder);

    // The locator of the running program, from its environment and /proc/self/exe.
    static ProducerLocator ForThisProgram(const std::string& explicitPath);

    // The producer to load; throws std::runtime_error listing the places looked at.
    std::string Find() const;

private:
    std::optional<std::string> FromSearchPath() const;
    std::vector<std::string> BesideProgram() const;

    std::string m_explicit;
    std::string m_searchPath;
    std::string m_programFolder;
};

}  // namespace quarvo
