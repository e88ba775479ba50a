#include "gentl/ArgumentChecks.h"

#include <string>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"
#include "gentl/controller/LibraryController.h"

namespace GenTL {

namespace {
std::string NullMessage(const void* pointer, const char* name) {
    const std::string format = std::string("Specified ") + name + " is invalid: " + name + " = 0x%p.";
    return MsgComposer(format.c_str(), pointer);
}
}  // namespace

void CheckParameter(const void* pointer, const char* name) {
    if (pointer == nullptr) {
        throw invalid_parameter_exception(NullMessage(pointer, name));
    }
}

void CheckHandle(const void* handle, const char* name) {
    if (handle == nullptr) {
        throw invalid_handle_exception(NullMessage(handle, name));
    }
}

void CheckBufferSize(const size_t* piSize, const void* pBuffer, const char* sizeName, const char* bufferName) {
    if (pBuffer != nullptr && *piSize == 0) {
        const std::string format = std::string("Specified ") + sizeName + " is invalid even though " + bufferName +
                                   " is present: " + sizeName + " = 0x%p, *" + sizeName + " = %d, " + bufferName +
                                   " = 0x%p.";
        throw invalid_parameter_exception(
            MsgComposer(format.c_str(), static_cast<const void*>(piSize), static_cast<int>(*piSize), pBuffer));
    }
}

void CheckInfoArguments(const INFO_DATATYPE* piType, const void* pBuffer, const size_t* piSize) {
    CheckParameter(piSize, "piSize");
    CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
    CheckParameter(piType, "piType");
}

void CheckOpenCounts(const OpenCounts& counts) {
    if (counts.interfaces && g_Controller.GetNumberOpenInterfaces() == 0) {
        throw invalid_handle_exception("There's no opened interface.");
    }
    if (counts.devices && g_Controller.GetNumberOpenDevices() == 0) {
        throw invalid_handle_exception("There's no opened device.");
    }
    if (counts.streams && g_Controller.GetTotalNumberOpenStreams() == 0) {
        throw invalid_handle_exception("There's no opened stream.");
    }
    if (counts.announced_buffers && g_Controller.GetNumberAnnouncedBuffers() == 0) {
        throw invalid_handle_exception("There's no opened announced buffer.");
    }
}

}  // namespace GenTL
