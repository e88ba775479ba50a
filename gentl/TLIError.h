#pragma once

#include <cstddef>
#include <string>

namespace GenTL {

// The process-wide last-error record: one code and text shared by all threads (the last writer
// wins). Access is serialised so that concurrent writers and readers never race.
class CTLIError {
public:
    static void SetErrTxt(int code, const char* text);
    // Records (0, "GC_ERR_SUCCESS"). Most calls succeed, so this is kept free of the lock while the
    // record already says so.
    static void SetSuccess();
    static int GetErrTxt(int& code, char* buffer, size_t* size);
    static void Release();

private:
    CTLIError() = default;

    std::string m_str_text;
    int m_i_code = 0;
    static CTLIError* m_p_error;
};

// Records (code, text) as the last error and returns code.
int GetErrorCode(int code, const char* text);

}  // namespace GenTL
