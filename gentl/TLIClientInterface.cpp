// Exported Interface functions: device lists and information of an open interface.
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "modules/Interface.h"
#include "modules/TL.h"

using namespace GenTL;

namespace {

// hIface must be an interface the consumer opened and has not closed.
void CheckRegistered(IF_HANDLE hIface) {
    if (!g_Controller.FindInterface(hIface)) {
        throw invalid_handle_exception(MsgComposer("The specified interface not found: hIface = 0x%p.", hIface));
    }
}

// The run-time type test of a registered handle. The caller shares ownership of the interface
// for the rest of the call.
std::shared_ptr<CInterface> AsInterface(IF_HANDLE hIface) {
    auto iface = ICommonBase::FromHandleAs<CInterface>(hIface);
    if (!iface) {
        throw invalid_handle_exception("Invalid Handle");
    }
    return iface;
}

}  // namespace

extern "C" {

GC_API IFClose(IF_HANDLE hIface) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckRegistered(hIface);
        g_Controller.RemoveInterface(hIface);
        CInterface::CheckCI(hIface)->Close();
        return RecordSuccess();
    });
}

GC_API IFGetNumDevices(IF_HANDLE hIface, uint32_t* piNumDevices) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckParameter(piNumDevices, "piNumDevices");
        CheckRegistered(hIface);
        *piNumDevices = CInterface::CheckCI(hIface)->GetNumDevices();
        return RecordSuccess();
    });
}

GC_API IFGetDeviceID(IF_HANDLE hIface, uint32_t iIndex, char* sDeviceID, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, sDeviceID, "piSize", "sDeviceID");
        CheckRegistered(hIface);
        std::string id;
        AsInterface(hIface)->GetDeviceID(iIndex, id);
        SetReturnParam(sDeviceID, piSize, nullptr, id);
        return RecordSuccess();
    });
}

GC_API IFUpdateDeviceList(IF_HANDLE hIface, bool8_t* pbChanged, uint64_t iTimeout) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckRegistered(hIface);
        AsInterface(hIface)->UpdateDeviceList(pbChanged, iTimeout);
        return RecordSuccess();
    });
}

GC_API IFGetDeviceInfo(IF_HANDLE hIface, const char* sDeviceID, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                       void* pBuffer, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckParameter(sDeviceID, "sDeviceID");
        CheckParameter(piType, "piType");
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
        CheckRegistered(hIface);
        AsInterface(hIface)->GetDeviceInfo(sDeviceID, iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API IFGetInfo(IF_HANDLE hIface, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                 size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckParameter(piSize, "piSize");
        CheckHandle(hIface, "hIface");
        CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
        CheckParameter(piType, "piType");
        CheckRegistered(hIface);
        const std::shared_ptr<CInterfaceInfo> info = CInterface::CheckCI(hIface)->GetInfo().lock();
        if (info) {
            info->GetInfo(iInfoCmd, piType, pBuffer, *piSize);
        }
        return RecordSuccess();
    });
}

GC_API IFGetParentTL(IF_HANDLE hIface, TL_HANDLE* phSystem) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckParameter(phSystem, "phSystem");
        CheckRegistered(hIface);
        *phSystem = g_Controller.GetTransportLayer();
        if (*phSystem == nullptr) {
            // The System was closed on another thread since the guard passed: the guard's answer.
            return GetErrorCode(GC_ERR_INVALID_HANDLE, "GC_ERR_INVALID_HANDLE");
        }
        return RecordSuccess();
    });
}

}  // extern "C"
