// The frame every exported function runs its body in: it turns each failure into a GenTL error
// code and the process-wide last error, so that no exception ever crosses the C boundary.
#pragma once

#include <new>
#include <stdexcept>

#include "gentl/Exceptions.h"
#include "gentl/GenTL.h"
#include "gentl/TLIError.h"
#include "gentl/controller/LibraryController.h"

namespace GenTL {

struct FrameOptions {
    // Code for any other std::exception (0: such errors reach the last handler).
    GC_ERROR std_exception_code = 0;
    // Text the last handler records for failures that carry no text of their own.
    const char* unknown_error_text = "Unknown Error";
};

inline GC_ERROR RecordSuccess() {
    CTLIError::SetSuccess();
    return GC_ERR_SUCCESS;
}

// Runs body (returning GC_ERROR) and translates whatever it raises.
template <typename Body>
GC_ERROR CatchFrame(const FrameOptions& options, Body&& body) noexcept {
    try {
        try {
            return body();
        } catch (const std::out_of_range& e) {
            return GetErrorCode(GC_ERR_ERROR, e.what());
        } catch (const std::runtime_error& e) {
            return g_Controller.Handle_Runtime_Error(e);
        } catch (const std::logic_error& e) {
            return GetErrorCode(GC_ERR_ERROR, e.what());
        } catch (const gentl_exception& e) {
            if (e.GetErrorCode() == GC_ERR_SUCCESS) {
                return RecordSuccess();
            }
            return GetErrorCode(e.GetErrorCode(), e.what());
        } catch (const std::exception& e) {
            return GetErrorCode(options.std_exception_code != 0 ? options.std_exception_code : GC_ERR_ERROR,
                                e.what());
        } catch (...) {
            return GetErrorCode(GC_ERR_ERROR, options.unknown_error_text);
        }
    } catch (...) {
        // Recording the error itself failed (out of memory): still report the failure.
        return GC_ERR_ERROR;
    }
}

template <typename Body>
GC_ERROR CatchFrame(Body&& body) noexcept {
    return CatchFrame(FrameOptions{}, std::forward<Body>(body));
}

}  // namespace GenTL
