// Exported System functions: open and close the System and reach its interface list.
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"
#include "modules/Interface.h"
#include "modules/TL.h"

using namespace GenTL;

namespace {

constexpr FrameOptions kUnknownErrorFrame{0, "Unknown Error"};

// Only the handle of the library's open System names the System. The lookup shares ownership, so
// the System stays alive for the rest of the call even when another thread closes it.
std::shared_ptr<CTL> ResolveSystem(TL_HANDLE hSystem) {
    void* const current = g_Controller.GetTransportLayer();
    if (hSystem == nullptr || hSystem != current) {
        throw invalid_handle_exception(
            MsgComposer("Specified hSystem is invalid or not the original handle: hSystem = 0x%p, Specified = 0x%p.",
                        hSystem, current));
    }
    return CTL::CheckCTL(hSystem);
}

}  // namespace

extern "C" {

GC_API TLOpen(TL_HANDLE* phSystem) {
    return CatchFrame(FrameOptions{0, "GPF in TLOpen"}, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckParameter(phSystem, "phSystem");
        const auto inUse = [phSystem] {
            return resource_in_use_exception(
                MsgComposer("Specified phSystem is in use: phSystem = 0x%p.", static_cast<void*>(phSystem)));
        };
        if (*phSystem != nullptr || g_Controller.GetTransportLayer() != nullptr) {
            throw inUse();
        }
        // The System is opened before it is published, so two threads opening at once both build
        // one and exactly one of them becomes the library's; the other is discarded. A System
        // that cannot be opened is discarded too, so a later TLOpen can try again.
        const auto system = std::make_shared<CTL>();
        void* handle = nullptr;
        if (!system->TLOpen(&handle)) {
            throw invalid_handle_exception(MsgComposer(
                "Failed to open the system module specified by phSystem: phSystem = 0x%p.", static_cast<void*>(phSystem)));
        }
        if (!g_Controller.PublishTransportLayer(system)) {
            if (const int code = g_Controller.Check_SetupInitialized()) {
                return code;
            }
            throw inUse();
        }
        *phSystem = system->Handle();
        return RecordSuccess();
    });
}

GC_API TLClose(TL_HANDLE hSystem) {
    return CatchFrame(FrameOptions{0, "Unknown Exception thrown"}, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hSystem, "hSystem");
        void* const current = g_Controller.GetTransportLayer();
        if (hSystem != current) {
            throw invalid_handle_exception(MsgComposer(
                "Specified hSystem is not the original handle: hSystem = 0x%p, Specified = 0x%p.", hSystem, current));
        }
        g_Controller.CloseSystem();
        return RecordSuccess();
    });
}

GC_API TLGetInfo(TL_HANDLE hSystem, TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hSystem, "hSystem");
        CheckInfoArguments(piType, pBuffer, piSize);
        if (iInfoCmd != TL_INFO_ID) {
            CTL::CheckCTL(hSystem)->GetInfo(iInfoCmd, piType, pBuffer, piSize);
            return GC_ERR_SUCCESS;
        }
        std::string name;
        if (!GetProducerFileName(name)) {
            return GetErrorCode(GC_ERR_ERROR, kInvalidModuleName);
        }
        if (*piSize != 0 && *piSize < name.size() + 1) {
            throw buffer_too_small_exception(MsgComposer("Prepared buffer is too small. Required: %d. Prepared: %d.",
                                                         static_cast<int>(name.size() + 1), static_cast<int>(*piSize)));
        }
        SetReturnParam(pBuffer, piSize, piType, name);
        return GC_ERR_SUCCESS;
    });
}

GC_API TLGetNumInterfaces(TL_HANDLE hSystem, uint32_t* piNumInterfaces) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveSystem(hSystem);
        CheckParameter(piNumInterfaces, "piNumInterfaces");
        *piNumInterfaces = CTL::CheckCTL(hSystem)->GetNumInterfaces();
        return RecordSuccess();
    });
}

GC_API TLGetInterfaceID(TL_HANDLE hSystem, uint32_t iIndex, char* sIfaceID, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        std::string id;
        ResolveSystem(hSystem)->GetInterfacesID(iIndex, id);
        SetReturnParam(sIfaceID, piSize, nullptr, id);
        return RecordSuccess();
    });
}

GC_API TLGetInterfaceInfo(TL_HANDLE hSystem, const char* sIfaceID, INTERFACE_INFO_CMD iInfoCmd,
                          INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    return CatchFrame(kUnknownErrorFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveSystem(hSystem);
        CheckParameter(sIfaceID, "sIfaceID");
        CheckInfoArguments(piType, pBuffer, piSize);
        CTL::CheckCTL(hSystem)->GetInterfaceInfo(sIfaceID, iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API TLUpdateInterfaceList(TL_HANDLE hSystem, bool8_t* pbChanged, uint64_t iTimeout) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveSystem(hSystem)->UpdateInterfaceList(pbChanged, iTimeout);
        return RecordSuccess();
    });
}

GC_API TLOpenInterface(TL_HANDLE hSystem, const char* sIfaceID, IF_HANDLE* phIface) {
    return CatchFrame(kUnknownErrorFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveSystem(hSystem);
        CheckParameter(phIface, "phIface");
        CheckParameter(sIfaceID, "sIfaceID");
        const std::shared_ptr<CInterface> iface = CTL::CheckCTL(hSystem)->GetInterface(sIfaceID);
        if (!iface) {
            throw invalid_handle_exception(
                MsgComposer("Specified pInterface is invalid: pInterface = 0x%p.", static_cast<void*>(iface.get())));
        }
        *phIface = iface->Handle();
        // An interface that is open already keeps its one registry entry; the refusal hands out its
        // handle all the same.
        if (g_Controller.FindInterface(*phIface) || g_Controller.AddInterface(sIfaceID, phIface) != GC_ERR_SUCCESS) {
            throw resource_in_use_exception(MsgComposer("Specified sIfaceID is in use: sIfaceID = %s.", sIfaceID));
        }
        // The System may have been closed on another thread meanwhile, taking the interface along.
        if (!ICommonBase::FromHandle(*phIface)) {
            g_Controller.RemoveInterface(*phIface);
            throw invalid_handle_exception(MsgComposer("The specified interface not found: hIface = 0x%p.", *phIface));
        }
        return RecordSuccess();
    });
}

}  // extern "C"
