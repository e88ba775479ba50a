#include "consumer/ProducerLibrary.h"

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

#include "consumer/Errors.h"

namespace quarvo {

namespace {

// The sanitizers' runtimes refuse RTLD_DEEPBIND (it would bypass their interceptors), so their
// builds load producers without it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARVO_CONSUMER_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUARVO_CONSUMER_SANITIZED
#endif
#endif
#ifdef QUARVO_CONSUMER_SANITIZED
constexpr int kOwnDependenciesFirst = 0;
#else
constexpr int kOwnDependenciesFirst = RTLD_DEEPBIND;
#endif

}  // namespace

ProducerLibrary::ProducerLibrary(const std::string& path) : m_path(path) {
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kOwnDependenciesFirst);
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
#define QUARVO_CONSUMER_RESOLVE_OPTIONAL(name) name = reinterpret_cast<decltype(name)>(dlsym(m_handle, #name));
    QUARVO_CONSUMER_OPTIONAL_FUNCTIONS(QUARVO_CONSUMER_RESOLVE_OPTIONAL)
#undef QUARVO_CONSUMER_RESOLVE_OPTIONAL
    if (!missing.empty()) {
        dlclose(m_handle);
        throw std::runtime_error(path + " is not a GenTL producer: it does not export " + missing);
    }
}

ProducerLibrary::~ProducerLibrary() { dlclose(m_handle); }

std::string LastErrorText(decltype(&::GCGetLastError) getLastError) {
    GC_ERROR code = GC_ERR_SUCCESS;
    size_t size = 0;
    if (getLastError(&code, nullptr, &size) != GC_ERR_SUCCESS || size == 0) {
        return {};
    }
    std::vector<char> text(size + 1, '\0');
    // A last error of GC_ERR_SUCCESS says nothing about the call that failed.
    if (getLastError(&code, text.data(), &size) != GC_ERR_SUCCESS || code == GC_ERR_SUCCESS) {
        return {};
    }
    return text.data();
}

std::string ProducerLibrary::LastErrorText() const { return quarvo::LastErrorText(GCGetLastError); }

void ProducerLibrary::Check(GC_ERROR code, const char* call) const {
    if (code != GC_ERR_SUCCESS) {
        throw GenTLError(call, code, LastErrorText());
    }
}

}  // namespace quarvo
