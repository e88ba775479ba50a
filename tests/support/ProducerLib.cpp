#include "support/ProducerLib.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace quarvo_test {

std::string BuiltProducerPath() { return QUARVO_CTI_PATH; }
std::string BuiltSimulatorPath() { return QUARVO_SIMULATOR_PATH; }

ProducerLib::ProducerLib(bool withSimulator, bool relative) {
    std::string pattern = (fs::temp_directory_path() / "quarvo-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    m_directory = buffer.data();
    fs::copy_file(BuiltProducerPath(), Path());
    if (withSimulator && !BuiltSimulatorPath().empty()) {
        fs::copy_file(BuiltSimulatorPath(), m_directory + "/libQuibbon.so");
    }
    if (relative) {
        const fs::path previous = fs::current_path();
        fs::current_path(m_directory);
        m_handle = dlopen("./Quarvo.cti", RTLD_NOW | RTLD_LOCAL);
        fs::current_path(previous);
    } else {
        m_handle = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (m_handle == nullptr) {
        throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    }
#define QUARVO_RESOLVE_FUNCTION(name)                                                  \
    name = reinterpret_cast<decltype(name)>(dlsym(m_handle, #name));                  \
    if (name == nullptr) throw std::runtime_error("missing export " #name);
    QUARVO_EXPORTED_FUNCTIONS(QUARVO_RESOLVE_FUNCTION)
#undef QUARVO_RESOLVE_FUNCTION
}

ProducerLib::~ProducerLib() {
    if (m_handle != nullptr) {
        dlclose(m_handle);
    }
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
}

void ProducerLib::UseComponent(const std::string& path) const {
    fs::copy_file(path, m_directory + "/libQuibbon.so", fs::copy_options::overwrite_existing);
}

LastError ProducerLib::Error() const {
    LastError error{0, {}};
    char text[1024] = {};
    size_t size = sizeof text;
    if (GCGetLastError(&error.code, text, &size) == GC_ERR_SUCCESS) {
        error.text = text;
    } else {
        error.code = 1;  // no record readable
    }
    return error;
}

}  // namespace quarvo_test
