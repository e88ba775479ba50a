#include "gentl/TLIError.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "gentl/GenTL.h"

namespace GenTL {

CTLIError* CTLIError::m_p_error = nullptr;

namespace {
// Defined before the guard below, so it is destroyed after the guard has released the record.
std::mutex g_error_mutex;
// Whether the record holds (0, "GC_ERR_SUCCESS"); written under the mutex.
std::atomic<bool> g_holds_success{false};
constexpr char kSuccessText[] = "GC_ERR_SUCCESS";

// The record lives until the library is unloaded, so that loading and unloading the producer
// again and again does not leak it.
struct ReleaseAtUnload {
    ~ReleaseAtUnload() { CTLIError::Release(); }
} g_release_at_unload;
}  // namespace

void CTLIError::SetErrTxt(int code, const char* text) {
    std::lock_guard<std::mutex> lock(g_error_mutex);
    if (m_p_error == nullptr) {
        m_p_error = new CTLIError();
    }
    m_p_error->m_str_text = text != nullptr ? text : "";
    m_p_error->m_i_code = code;
    g_holds_success.store(code == 0 && m_p_error->m_str_text == kSuccessText, std::memory_order_release);
}

void CTLIError::SetSuccess() {
    if (!g_holds_success.load(std::memory_order_acquire)) {
        SetErrTxt(0, kSuccessText);
    }
}

int CTLIError::GetErrTxt(int& code, char* buffer, size_t* size) {
    std::lock_guard<std::mutex> lock(g_error_mutex);
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
    std::lock_guard<std::mutex> lock(g_error_mutex);
    delete m_p_error;
    m_p_error = nullptr;
    g_holds_success = false;
}

int GetErrorCode(int code, const char* text) {
    CTLIError::SetErrTxt(code, text);
    return code;
}

}  // namespace GenTL
