#include "framegrabber/QuibbonLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "gentl/TLInfo.h"

#ifndef QUARVO_GENICAM_LIB_DIR
#define QUARVO_GENICAM_LIB_DIR ""
#endif

namespace GenTL {

const char* const kQuibbonLibraryName = "libQuibbon.so";

namespace {

const std::string kErrorHead = std::string("Unable to load ") + kQuibbonLibraryName + ": ";

std::string DirectoryOf(const std::string& sFile) {
    const size_t slash = sFile.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : sFile.substr(0, slash);
}

std::string JoinPath(const std::string& sDirectory, const std::string& sName) {
    if (!sDirectory.empty() && sDirectory.back() == '/') {
        return sDirectory + sName;
    }
    return sDirectory + "/" + sName;
}

std::string DescribeMissing(const std::vector<std::string>& vecCandidates) {
    if (vecCandidates.empty()) {
        return kErrorHead + "no place to look for it";
    }
    std::string text = kErrorHead + "not found as ";
    for (size_t i = 0; i < vecCandidates.size(); ++i) {
        text += (i == 0 ? "" : ", ") + vecCandidates[i];
    }
    return text;
}

}  // namespace

std::vector<std::string> GetQuibbonSearchPaths(const std::string& sProducerFile, const std::string& sFixedDirectory) {
    std::vector<std::string> candidates;
    if (!sProducerFile.empty()) {
        const std::string own = DirectoryOf(sProducerFile);
        candidates.push_back(JoinPath(own, kQuibbonLibraryName));
        candidates.push_back(JoinPath(JoinPath(own, "../.."), kQuibbonLibraryName));
    }
    if (!sFixedDirectory.empty()) {
        candidates.push_back(JoinPath(sFixedDirectory, kQuibbonLibraryName));
    }
    return candidates;
}

CQuibbonLoader::CQuibbonLoader(std::vector<std::string> vecCandidates)
    : m_vec_str_candidates(std::move(vecCandidates)) {}

bool CQuibbonLoader::Load(std::string& sError) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_p_get_system != nullptr) {
        return true;
    }
    std::string firstFailure;
    for (const std::string& candidate : m_vec_str_candidates) {
        if (access(candidate.c_str(), F_OK) != 0) {
            continue;
        }
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = dlerror();
            if (firstFailure.empty()) {
                firstFailure = kErrorHead + (reason != nullptr ? reason : candidate);
            }
            continue;
        }
        void* entry = dlsym(handle, "GetSystem");
        if (entry == nullptr) {
            dlclose(handle);
            if (firstFailure.empty()) {
                firstFailure = kErrorHead + candidate + " does not export GetSystem";
            }
            continue;
        }
        m_p_get_system = reinterpret_cast<GetSystemFunction>(entry);
        // Optional: a component that cannot tell why it has no system object lacks it.
        m_p_get_last_error = reinterpret_cast<GetLastErrorFunction>(dlsym(handle, "QuibbonGetLastError"));
        m_str_path = candidate;
        return true;
    }
    sError = firstFailure.empty() ? DescribeMissing(m_vec_str_candidates) : firstFailure;
    return false;
}

void CQuibbonLoader::GetSystem(Quibbon::ISystem** ppSystem) {
    if (ppSystem == nullptr) {
        return;
    }
    *ppSystem = nullptr;
    GetSystemFunction entry = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        entry = m_p_get_system;
    }
    if (entry != nullptr) {
        entry(ppSystem);
    }
}

std::string CQuibbonLoader::GetSystemError() {
    GetLastErrorFunction entry = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        entry = m_p_get_last_error;
    }
    uint64_t size = 0;
    if (entry == nullptr || entry(nullptr, &size) < 0 || size == 0) {
        return std::string();
    }
    std::string text(size, '\0');
    if (entry(&text[0], &size) < 0) {
        return std::string();
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string CQuibbonLoader::LoadedPath() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_str_path;
}

namespace {

CQuibbonLoader& ProducerLoader() {
    static CQuibbonLoader loader(GetQuibbonSearchPaths(GetProducerPath(), QUARVO_GENICAM_LIB_DIR));
    return loader;
}

}  // namespace

bool LoadQuibbon(std::string& sError) { return ProducerLoader().Load(sError); }

void GetQuibbonSystem(Quibbon::ISystem** ppSystem) { ProducerLoader().GetSystem(ppSystem); }

std::string GetQuibbonSystemError() { return ProducerLoader().GetSystemError(); }

}  // namespace GenTL
