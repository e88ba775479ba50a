// Exported event functions: register events on modules, wait for them and read their data.
#include "events/EventObj.h"
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/MsgComposer.h"
#include "gentl/controller/HandleRegistry.h"
#include "modules/CommonBase.h"

using namespace GenTL;

namespace {

// The open module behind an event source handle, shared for the rest of the call.
std::shared_ptr<ICommonBase> ResolveEventSource(EVENTSRC_HANDLE hModule, const char* name) {
    CheckHandle(hModule, name);
    std::shared_ptr<ICommonBase> module = ICommonBase::FromHandle(hModule);
    if (!module) {
        const std::string format = std::string("Specified ") + name + " is invalid: " + name + " = 0x%p.";
        throw invalid_handle_exception(MsgComposer(format.c_str(), hModule));
    }
    return module;
}

// The registered event behind an event handle, shared for the rest of the call. An event whose
// module closed, or which was unregistered, is refused like any dead handle.
std::shared_ptr<CEventObj> ResolveEvent(EVENT_HANDLE hEvent) {
    CheckHandle(hEvent, "hEvent");
    std::shared_ptr<CEventObj> event = CHandleRegistry::Instance().FindEvent(hEvent);
    if (!event) {
        throw invalid_handle_exception(MsgComposer("Specified hEvent is invalid: hEvent = 0x%p.", hEvent));
    }
    return event;
}

}  // namespace

extern "C" {

GC_API GCRegisterEvent(EVENTSRC_HANDLE hModule, EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hModule, "hHandle");
        CheckParameter(phEvent, "phEvent");
        ResolveEventSource(hModule, "hHandle")->Register(iEventID, phEvent);
        return RecordSuccess();
    });
}

GC_API GCUnregisterEvent(EVENTSRC_HANDLE hModule, EVENT_TYPE iEventID) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveEventSource(hModule, "hModule")->Unregister(iEventID);
        return RecordSuccess();
    });
}

GC_API EventGetData(EVENT_HANDLE hEvent, void* pBuffer, size_t* piSize, uint64_t iTimeout) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hEvent, "hEvent");
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
        const std::shared_ptr<CEventObj> event = ResolveEvent(hEvent);
        if (event->GetData(pBuffer, piSize, iTimeout) == EventData::TimedOut) {
            throw timeout_exception(
                MsgComposer("The specified iTimeout expired before the hEvent occurred: iTimeout = %d, hEvent = 0x%p.",
                            static_cast<int>(iTimeout), hEvent));
        }
        return RecordSuccess();
    });
}

GC_API EventGetInfo(EVENT_HANDLE hEvent, EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                    size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
        CheckHandle(hEvent, "hEvent");
        CheckParameter(piType, "piType");
        const std::shared_ptr<CEventObj> event = ResolveEvent(hEvent);
        try {
            event->GetInfo(iInfoCmd, piType, pBuffer, piSize);
        } catch (const gentl_exception& e) {
            throw gentl_exception(e.GetErrorCode(), e.what());
        } catch (...) {
            throw invalid_handle_exception(MsgComposer("EventGetInfo: Specified handle (0x%p) is invalid.", hEvent));
        }
        return RecordSuccess();
    });
}

GC_API EventGetDataInfo(EVENT_HANDLE hEvent, const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                        INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckParameter(piOutSize, "piOutSize");
        CheckParameter(piType, "piType");
        CheckParameter(pInBuffer, "pInBuffer");
        CheckBufferSize(piOutSize, pOutBuffer, "piOutSize", "pOutBuffer");
        CheckHandle(hEvent, "hEvent");
        if (iInSize == 0) {
            throw invalid_parameter_exception(
                MsgComposer("Specified iInSize is invalid: iInSize = %d.", static_cast<int>(iInSize)));
        }
        ResolveEvent(hEvent)->GetDataInfo(pInBuffer, iInSize, iInfoCmd, piType, pOutBuffer, piOutSize);
        return RecordSuccess();
    });
}

GC_API EventFlush(EVENT_HANDLE hEvent) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveEvent(hEvent)->Flush();
        return RecordSuccess();
    });
}

GC_API EventKill(EVENT_HANDLE hEvent) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        ResolveEvent(hEvent)->Kill();
        return RecordSuccess();
    });
}

}  // extern "C"
