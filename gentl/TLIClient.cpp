// Exported library-level functions: initialisation, producer information and the last error.
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"

using namespace GenTL;

namespace {

constexpr TL_INFO_CMD kLastInfoCmd = TL_INFO_GENTL_VER_MINOR;

// Writes the answer to one producer information command; false when the producer's file name
// cannot be determined.
bool WriteProducerInfo(TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    std::string name;
    switch (iInfoCmd) {
        case TL_INFO_ID:
        case TL_INFO_NAME:
            if (!GetProducerFileName(name)) {
                return false;
            }
            SetReturnParam(pBuffer, piSize, piType, name);
            break;
        case TL_INFO_VENDOR: SetReturnParam(pBuffer, piSize, piType, CTLInfo::GetVendorName()); break;
        case TL_INFO_MODEL: SetReturnParam(pBuffer, piSize, piType, CTLInfo::GetModelName()); break;
        case TL_INFO_VERSION: SetReturnParam(pBuffer, piSize, piType, std::string("Not available")); break;
        case TL_INFO_TLTYPE: SetReturnParam(pBuffer, piSize, piType, CTLInfo::GetTLType()); break;
        case TL_INFO_PATHNAME: SetReturnParam(pBuffer, piSize, piType, GetProducerPath()); break;
        case TL_INFO_DISPLAYNAME: SetReturnParam(pBuffer, piSize, piType, std::string("KV TL Simulator")); break;
        case TL_INFO_CHAR_ENCODING: SetReturnParam(pBuffer, piSize, piType, static_cast<int>(TL_CHAR_ENCODING_ASCII)); break;
        case TL_INFO_GENTL_VER_MAJOR: SetReturnParam(pBuffer, piSize, piType, 1u); break;
        default: SetReturnParam(pBuffer, piSize, piType, 5u); break;
    }
    return true;
}

}  // namespace

extern "C" {

GC_API GCInitLib(void) {
    return CatchFrame([] {
        RecordSuccess();
        if (!g_Controller.InitLib()) {
            return GetErrorCode(GC_ERR_RESOURCE_IN_USE, "GC_ERR_RESOURCE_IN_USE");
        }
        return RecordSuccess();
    });
}

GC_API GCCloseLib(void) {
    return CatchFrame([] {
        if (!g_Controller.IsInitialized()) {
            GetErrorCode(GC_ERR_NOT_INITIALIZED, "GC_ERR_NOT_INITIALIZED");
            g_Controller.CloseLib();
            return static_cast<GC_ERROR>(GC_ERR_NOT_INITIALIZED);
        }
        g_Controller.CloseLib();
        return RecordSuccess();
    });
}

GC_API GCGetInfo(TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckInfoArguments(piType, pBuffer, piSize);
        if (static_cast<uint32_t>(iInfoCmd) > static_cast<uint32_t>(kLastInfoCmd)) {
            throw implementation_exception(
                MsgComposer("Requested iInfoCmd is not implemented; iInfoCmd = %d.", iInfoCmd));
        }
        if (!WriteProducerInfo(iInfoCmd, piType, pBuffer, piSize)) {
            return GetErrorCode(GC_ERR_ERROR, kInvalidModuleName);
        }
        return RecordSuccess();
    });
}

GC_API GCGetLastError(GC_ERROR* piErrorCode, char* sErrText, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        if (piErrorCode == nullptr) {
            throw invalid_parameter_exception(
                MsgComposer("Specified piErrorCode is invalid: piErrorCode = 0x%p.", piErrorCode));
        }
        int code = 0;
        const int result = CTLIError::GetErrTxt(code, sErrText, piSize);
        *piErrorCode = code;
        return result;
    });
}

}  // extern "C"
