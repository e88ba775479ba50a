#include "gentl/TLInfo.h"

#include <limits.h>
#include <stdlib.h>

#include <cstring>

#include "gentl/Platform.h"

namespace GenTL {

const void* g_hInst = nullptr;

namespace {

const char g_module_marker = 0;
constexpr size_t kModulePathBufferSize = 2048;
// The producer's absolute path, resolved when the library is loaded: a consumer that loaded it by
// a relative path may change its working directory afterwards. Plain storage, so that it is ready
// before any static constructor runs.
char g_absolute_path[PATH_MAX] = {};

void ResolveAbsolutePath() {
    char path[kModulePathBufferSize] = {};
    GetModuleFileName(&g_module_marker, path, sizeof path);
    if (path[0] != '\0' && realpath(path, g_absolute_path) == nullptr) {
        g_absolute_path[0] = '\0';
    }
}

// Runs when the library is loaded: remembers an address inside it for the loader look-ups.
__attribute__((constructor)) void quarvo_init() {
    static int counter = 0;
    if (counter == 0) {
        counter = 1;
        g_hInst = &g_module_marker;
        ResolveAbsolutePath();
    }
}

}  // namespace

std::string GetProducerPath() {
    if (g_absolute_path[0] != '\0') {
        return g_absolute_path;
    }
    char path[kModulePathBufferSize] = {};
    GetModuleFileName(g_hInst != nullptr ? g_hInst : &g_module_marker, path, sizeof path);
    return path;
}

bool GetProducerFileName(std::string& name) {
    const std::string path = GetProducerPath();
    const size_t separator = path.rfind(GetDirectorySeparator());
    if (separator == std::string::npos) {
        return false;
    }
    name = path.substr(separator + 1);
    return true;
}

}  // namespace GenTL
