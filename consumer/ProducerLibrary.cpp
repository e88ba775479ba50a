#include "consumer/ProducerLibrary.h"

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

#include "consumer/Errors.h"

namespace quarvo {

ProducerLibrary::ProducerLibrary(const std::string& path) : m_path(path) {
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* reason = dlerror();
        throw std::runtime_error("cannot load the producer " + path + ": " + (reason != nullptr ? reason : "unknown"));
    }
    std::string missing;
#define QUARVO_CONSUMER_RESOLVE(name)                                   \
    name = reinterpret_cast<decltype(name)>(dlsym(m_handle, #name));   \
    if (name == nullptr) missing += std::string(missing.empty() ? "" : ", ") + #name;
    QUARVO_CONSUMER_FUNCTIONS(QUARVO_CONSUMER_RESOLVE)
#undef QUARVO_CONSUMER_RESOLVE
    if (!missing.empty()) {
        dlclose(m_handle);
        throw std::runtime_error(path + " is not a GenTL producer: it does not export " + missing);
    }
}

ProducerLibrary::~ProducerLibrary() { dlclose(m_handle); }

std::string ProducerLibrary::LastErrorText() const {
    GC_ERROR code = GC_ERR_SUCCESS;
    size_t size = 0;
    if (GCGetLastError(&code, nullptr, &size) != GC_ERR_SUCCESS || size == 0) {
        return {};
    }
    std::vector<char> text(size + 1, '\0');
    if (GCGetLastError(&code, text.data(), &size) != GC_ERR_SUCCESS) {
        return {};
    }
    return text.data();
}

void ProducerLibrary::Check(GC_ERROR code, const char* call) const {
    if (code != GC_ERR_SUCCESS) {
        throw GenTLError(call, code, LastErrorText());
    }
}

}  // namespace quarvo
