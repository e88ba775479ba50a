#include "gentl/Platform.h"

#include <dlfcn.h>
#include <time.h>

#include <cctype>
#include <cstring>

namespace GenTL {

void GetModuleFileName(const void* address, char* buffer, size_t size) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return;
    }
    const size_t length = std::strlen(info.dli_fname);
    if (length >= size) {
        return;
    }
    std::memset(buffer, 0, size);
    std::memcpy(buffer, info.dli_fname, length);
}

std::string GetDirectorySeparator() { return "/"; }

uint64_t GetTimeStamp() {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

std::string toupper(const std::string& text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace GenTL
