#include "bench/ProducerLoader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace quarvo_bench {

Producer::Producer(const std::string& path) {
    const char* chosen = std::getenv("QUARVO_BENCH_PRODUCER");
    const std::string file = !path.empty()                          ? path
                             : chosen != nullptr && *chosen != '\0' ? std::string(chosen)
                                                                     : std::string(QUARVO_CTI_PATH);
    m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        throw std::runtime_error("cannot load " + file + ": " + dlerror());
    }
#define QUARVO_BENCH_RESOLVE(name)                                                      \
    name = reinterpret_cast<decltype(name)>(dlsym(m_handle, #name));                    \
    if (name == nullptr) {                                                              \
        dlclose(m_handle);                                                              \
        throw std::runtime_error("the producer does not export " #name);                \
    }
    QUARVO_BENCH_FUNCTIONS(QUARVO_BENCH_RESOLVE)
#undef QUARVO_BENCH_RESOLVE
}

Producer::~Producer() {
    if (m_handle != nullptr) {
        dlclose(m_handle);
    }
}

void Producer::Check(GC_ERROR result, const char* call) const {
    if (result == GC_ERR_SUCCESS) {
        return;
    }
    GC_ERROR code = 0;
    char text[512] = {};
    size_t size = sizeof text;
    GCGetLastError(&code, text, &size);
    throw std::runtime_error(std::string(call) + " failed with " + std::to_string(result) + ": " + text);
}

Producer& TheProducer() {
    static Producer producer;
    static const bool initialised = [] {
        QUARVO_CHECK(producer, GCInitLib());
        return true;
    }();
    (void)initialised;
    return producer;
}

}  // namespace quarvo_bench
