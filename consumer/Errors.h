// The failures a consumer reports to its user: a GenTL call that returned an error (with the
// producer's last-error text), a GenApi evaluation that failed, and a request that cannot be
// understood (bad usage).
#pragma once

#include <stdexcept>
#include <string>

#include "gentl/GenTL.h"

namespace quarvo {

// The name of a GenTL error code ("GC_ERR_TIMEOUT"), or "GC_ERROR <n>" for a code the standard
// does not list.
std::string ErrorCodeName(GC_ERROR code);

class GenTLError : public std::runtime_error {
public:
    // what(): "<call> failed with <code name>: <last-error text>".
    GenTLError(const std::string& call, GC_ERROR code, const std::string& lastError);
    GC_ERROR Code() const { return m_code; }

private:
    GC_ERROR m_code;
};

class GenApiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A request the user got wrong (a malformed argument, a value of the wrong kind).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace quarvo
