#include "simulator/CopyOut.h"

#include <cstring>

#include "framegrabber/Quibbon.h"

namespace Quibbon::Sim {

int32_t CopyText(const std::string& text, char* buffer, uint64_t* size) {
    return CopyValue(text.c_str(), text.size() + 1, buffer, size);
}

int32_t CopyValue(const void* value, uint64_t bytes, void* buffer, uint64_t* size) {
    if (size == nullptr) {
        return kFailed;
    }
    if (buffer == nullptr) {
        *size = bytes;
        return kOk;
    }
    if (*size < bytes) {
        return kFailed;
    }
    std::memcpy(buffer, value, bytes);
    *size = bytes;
    return kOk;
}

}  // namespace Quibbon::Sim
