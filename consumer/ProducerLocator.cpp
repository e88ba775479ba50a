#include "consumer/ProducerLocator.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace quarvo {

namespace {

constexpr const char* kDefaultProducer = "Quarvo.cti";

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The .cti files of one folder in name order, so that the choice does not depend on the
// directory order of the file system.
std::vector<fs::path> ProducersIn(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (entry->path().extension() == ".cti" && IsFile(entry->path())) {
            found.push_back(entry->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

ProducerLocator::ProducerLocator(std::string explicitPath, std::string searchPath, std::string programFolder)
    : m_explicit(std::move(explicitPath)), m_searchPath(std::move(searchPath)), m_programFolder(std::move(programFolder)) {}

ProducerLocator ProducerLocator::ForThisProgram(const std::string& explicitPath) {
    const char* searchPath = std::getenv("GENICAM_GENTL64_PATH");
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return ProducerLocator(explicitPath, searchPath != nullptr ? searchPath : "",
                           error ? std::string() : program.parent_path().string());
}

std::string ProducerLocator::Find() const {
    if (!m_explicit.empty()) {
        if (!IsFile(m_explicit)) {
            throw std::runtime_error("no producer file " + m_explicit);
        }
        return m_explicit;
    }
    if (const auto fromPath = FromSearchPath()) {
        return *fromPath;
    }
    const std::vector<std::string> beside = BesideProgram();
    for (const std::string& candidate : beside) {
        if (IsFile(candidate)) {
            return candidate;
        }
    }
    std::ostringstream message;
    message << "no GenTL producer found: GENICAM_GENTL64_PATH "
            << (m_searchPath.empty() ? "is not set" : "(" + m_searchPath + ") holds no .cti file");
    for (const std::string& candidate : beside) {
        message << ", no " << candidate;
    }
    message << "; name one with --cti";
    throw std::runtime_error(message.str());
}

std::optional<std::string> ProducerLocator::FromSearchPath() const {
    std::istringstream folders(m_searchPath);
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) {
            continue;
        }
        const std::vector<fs::path> found = ProducersIn(folder);
        if (!found.empty()) {
            return found.front().string();
        }
    }
    return std::nullopt;
}

std::vector<std::string> ProducerLocator::BesideProgram() const {
    if (m_programFolder.empty()) {
        return {};
    }
    const fs::path folder(m_programFolder);
    return {(folder / kDefaultProducer).string(),
            (folder.parent_path() / "lib" / "quarvo" / kDefaultProducer).lexically_normal().string()};
}

}  // namespace quarvo
