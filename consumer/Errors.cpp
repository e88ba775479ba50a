#include "consumer/Errors.h"

#include "consumer/ErrorNames.h"


namespace quarvo {

namespace {

struct CodeName {
    GC_ERROR code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {GC_ERR_SUCCESS, "GC_ERR_SUCCESS"},
    {GC_ERR_ERROR, "GC_ERR_ERROR"},
    {GC_ERR_NOT_INITIALIZED, "GC_ERR_NOT_INITIALIZED"},
    {GC_ERR_NOT_IMPLEMENTED, "GC_ERR_NOT_IMPLEMENTED"},
    {GC_ERR_RESOURCE_IN_USE, "GC_ERR_RESOURCE_IN_USE"},
    {GC_ERR_ACCESS_DENIED, "GC_ERR_ACCESS_DENIED"},
    {GC_ERR_INVALID_HANDLE, "GC_ERR_INVALID_HANDLE"},
    {GC_ERR_INVALID_ID, "GC_ERR_INVALID_ID"},
    {GC_ERR_NO_DATA, "GC_ERR_NO_DATA"},
    {GC_ERR_INVALID_PARAMETER, "GC_ERR_INVALID_PARAMETER"},
    {GC_ERR_IO, "GC_ERR_IO"},
    {GC_ERR_TIMEOUT, "GC_ERR_TIMEOUT"},
    {GC_ERR_ABORT, "GC_ERR_ABORT"},
    {GC_ERR_INVALID_BUFFER, "GC_ERR_INVALID_BUFFER"},
    {GC_ERR_NOT_AVAILABLE, "GC_ERR_NOT_AVAILABLE"},
    {GC_ERR_INVALID_ADDRESS, "GC_ERR_INVALID_ADDRESS"},
    {GC_ERR_BUFFER_TOO_SMALL, "GC_ERR_BUFFER_TOO_SMALL"},
    {GC_ERR_INVALID_INDEX, "GC_ERR_INVALID_INDEX"},
    {GC_ERR_PARSING_CHUNK_DATA, "GC_ERR_PARSING_CHUNK_DATA"},
    {GC_ERR_INVALID_VALUE, "GC_ERR_INVALID_VALUE"},
    {GC_ERR_RESOURCE_EXHAUSTED, "GC_ERR_RESOURCE_EXHAUSTED"},
    {GC_ERR_OUT_OF_MEMORY, "GC_ERR_OUT_OF_MEMORY"},
    {GC_ERR_BUSY, "GC_ERR_BUSY"},
    {GC_ERR_CUSTOM_ID, "GC_ERR_CUSTOM_ID"},
};

const char* FindName(GC_ERROR code) {
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

}  // namespace

std::string ErrorCodeName(GC_ERROR code) {
    const char* name = FindName(code);
    return name != nullptr ? name : "GC_ERROR " + std::to_string(code);
}

GenTLError::GenTLError(const std::string& call, GC_ERROR code, const std::string& lastError)
    : std::runtime_error(call + " failed with " + ErrorCodeName(code) + (lastError.empty() ? "" : ": " + lastError)),
      m_code(code) {}

}  // namespace quarvo

extern "C" const char* quarvo_error_code_name(GC_ERROR code) {
    const char* name = quarvo::FindName(code);
    return name != nullptr ? name : "GC_ERR_UNKNOWN";
}
