#include "gentl/TLIError.h"

#include <cstring>
#include <mutex>

#include "gentl/GenTL.h"

namespace GenTL {

CTLIError* CTLIError::m_p_error = nullptr;

namespace {
std::mutex& ErrorMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

void CTLIError::SetErrTxt(int code, const char* text) {
    std::lock_guard<std::mutex> lock(ErrorMutex());
    if (m_p_error == nullptr) {
        m_p_error = new CTLIError();
    }
    m_p_error->m_str_text = text != nullptr ? text : "";
    m_p_error->m_i_code = code;
}

int CTLIError::GetErrTxt(int& code, char* buffer, size_t* size) {
    std::lock_guard<std::mutex> lock(ErrorMutex());
    if (m_p_error == nullptr) {
        return GC_ERR_NO_DATA;
    }
    if (size == nullptr) {
        return GC_ERR_INVALID_PARAMETER;
    }
    const size_t required = m_p_error->m_str_text.size() + 1;
    if (*size == 0 || buffer == nullptr) {
        *size = required;
        return GC_ERR_SUCCESS;
    }
    if (required > *size) {
        return GC_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, m_p_error->m_str_text.c_str(), required);
    *size = required;
    code = m_p_error->m_i_code;
    return GC_ERR_SUCCESS;
}

void CTLIError::Release() {
    std::lock_guard<std::mutex> lock(ErrorMutex());
    delete m_p_error;
    m_p_error = nullptr;
}

int GetErrorCode(int code, const char* text) {
    CTLIError::SetErrTxt(code, text);
    return code;
}

}  // namespace GenTL
