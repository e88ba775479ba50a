#include "gentl/TLInfo.h"

#include "gentl/Platform.h"

namespace GenTL {

const void* g_hInst = nullptr;

namespace {

const char g_module_marker = 0;
constexpr size_t kModulePathBufferSize = 2048;

// Runs when the library is loaded: remembers an address inside it for the loader look-ups.
__attribute__((constructor)) void quarvo_init() {
    static int counter = 0;
    if (counter == 0) {
        counter = 1;
        g_hInst = &g_module_marker;
    }
}

}  // namespace

std::string GetProducerPath() {
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
