// Locates the frame-grabber component libQuibbon.so at run time and binds its entry function.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"

namespace GenTL {

// File name of the component.
extern const char* const kQuibbonLibraryName;

// Places where the component is looked for, in order: the producer's own directory, the directory
// two levels above it, then sFixedDirectory when it is not empty. An empty sProducerFile (location
// unknown) leaves out the first two.
std::vector<std::string> GetQuibbonSearchPaths(const std::string& sProducerFile, const std::string& sFixedDirectory);

// Loads the component from the first candidate that loads and exports GetSystem. Once loaded the
// library stays mapped for the life of the process: objects it handed out may be released by
// static destructors that run after this loader is gone.
class CQuibbonLoader {
public:
    explicit CQuibbonLoader(std::vector<std::string> vecCandidates);
    CQuibbonLoader(const CQuibbonLoader&) = delete;
    CQuibbonLoader& operator=(const CQuibbonLoader&) = delete;

    // True when the component is available; otherwise sError names the library and the reason.
    bool Load(std::string& sError);
    // Stores the component's system object, or null when the component is not loaded.
    void GetSystem(Quibbon::ISystem** ppSystem);
    // Why the component's last GetSystem stored null, when the component can tell; empty else.
    std::string GetSystemError();
    // Path the component was loaded from; empty before a successful Load.
    std::string LoadedPath();

private:
    using GetSystemFunction = void (*)(Quibbon::ISystem**);
    using GetLastErrorFunction = int32_t (*)(char*, uint64_t*);

    std::mutex m_mutex;
    std::vector<std::string> m_vec_str_candidates;
    std::string m_str_path;
    GetSystemFunction m_p_get_system = nullptr;
    GetLastErrorFunction m_p_get_last_error = nullptr;
};

// The producer's own loader, searching beside the producer's file and in the GenICam runtime
// library directory fixed at build time.
bool LoadQuibbon(std::string& sError);
void GetQuibbonSystem(Quibbon::ISystem** ppSystem);
std::string GetQuibbonSystemError();

}  // namespace GenTL
