// Producers for the tool's tests: Quarvo.cti, which this library links, with a few of its
// functions replaced; every other function is Quarvo's own, found through the dependency. One
// build per behaviour:
// - TEST_PRODUCER_URL_INFO_ONLY names documents only through GCGetPortURLInfo, an http: URL
//   before Quarvo's own Local: one; GCGetPortURL fails.
// - TEST_PRODUCER_CLASHING_LIBRARY gives as its vendor what arv_get_n_interfaces answers: it
//   links a test library exporting that Aravis name, and must get that library's answer.
// - TEST_PRODUCER_FAILING_INTERFACE cannot open interface QB::Board0, and its devices do not
//   tell their version.
#define QUARVO_BUILDING_PRODUCER
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "gentl/GenTL.h"

namespace {

// Quarvo's function of that name: the next definition after this library's.
template <class Function>
Function Quarvo(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
#define QUARVO(name) Quarvo<decltype(&::name)>(#name)

[[maybe_unused]] GC_ERROR AnswerText(const std::string& text, INFO_DATATYPE* type, void* buffer, size_t* size) {
    if (type != nullptr) {
        *type = INFO_DATATYPE_STRING;
    }
    if (buffer != nullptr) {
        if (*size <= text.size()) {
            return GC_ERR_BUFFER_TOO_SMALL;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    *size = text.size() + 1;
    return GC_ERR_SUCCESS;
}

}  // namespace

#ifdef TEST_PRODUCER_URL_INFO_ONLY
GC_API GCGetPortURL(PORT_HANDLE, char*, size_t*) { return GC_ERR_NOT_IMPLEMENTED; }

GC_API GCGetNumPortURLs(PORT_HANDLE port, uint32_t* count) {
    const GC_ERROR result = QUARVO(GCGetNumPortURLs)(port, count);
    if (result == GC_ERR_SUCCESS) {
        ++*count;
    }
    return result;
}

GC_API GCGetPortURLInfo(PORT_HANDLE port, uint32_t index, URL_INFO_CMD command, INFO_DATATYPE* type, void* buffer,
                        size_t* size) {
    if (index == 0) {
        return command == URL_INFO_URL ? AnswerText("http://www.example.com/camera.zip", type, buffer, size)
                                       : GC_ERR_NOT_AVAILABLE;
    }
    return QUARVO(GCGetPortURLInfo)(port, index - 1, command, type, buffer, size);
}
#endif

#ifdef TEST_PRODUCER_CLASHING_LIBRARY
extern "C" unsigned int arv_get_n_interfaces(void);

GC_API GCGetInfo(TL_INFO_CMD command, INFO_DATATYPE* type, void* buffer, size_t* size) {
    if (command == TL_INFO_VENDOR) {
        return AnswerText("arv_get_n_interfaces = " + std::to_string(arv_get_n_interfaces()), type, buffer, size);
    }
    return QUARVO(GCGetInfo)(command, type, buffer, size);
}
#endif

#ifdef TEST_PRODUCER_FAILING_INTERFACE
GC_API TLOpenInterface(TL_HANDLE system, const char* id, IF_HANDLE* iface) {
    if (id != nullptr && std::strcmp(id, "QB::Board0") == 0) {
        return GC_ERR_IO;
    }
    return QUARVO(TLOpenInterface)(system, id, iface);
}

GC_API DevGetInfo(DEV_HANDLE device, DEVICE_INFO_CMD command, INFO_DATATYPE* type, void* buffer, size_t* size) {
    if (command == DEVICE_INFO_VERSION) {
        return GC_ERR_IO;
    }
    return QUARVO(DevGetInfo)(device, command, type, buffer, size);
}
#endif
