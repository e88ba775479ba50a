// Argument checks shared by the exported functions; each raises the exception and message a
// consumer sees for that argument.
#pragma once

#include <cstddef>

#include "gentl/GenTL.h"

namespace GenTL {

// pointer null: invalid_parameter_exception "Specified <name> is invalid: <name> = 0x%p."
void CheckParameter(const void* pointer, const char* name);
// handle null: invalid_handle_exception with the same message pattern.
void CheckHandle(const void* handle, const char* name);
// A buffer given with a zero size: "Specified <size> is invalid even though <buffer> is present: ...".
void CheckBufferSize(const size_t* piSize, const void* pBuffer, const char* sizeName, const char* bufferName);
// piSize null, then pBuffer with *piSize 0, then piType null.
void CheckInfoArguments(const INFO_DATATYPE* piType, const void* pBuffer, const size_t* piSize);

// Which of the library's open modules a call needs at least one of.
struct OpenCounts {
    bool interfaces;
    bool devices;
    bool streams;
    bool announced_buffers;
};
inline constexpr OpenCounts kAllOpenCounts{true, true, true, true};

// Raises invalid_handle_exception "There's no opened interface." (device, stream, announced
// buffer) for the first needed kind of which none is open.
void CheckOpenCounts(const OpenCounts& counts);

}  // namespace GenTL
