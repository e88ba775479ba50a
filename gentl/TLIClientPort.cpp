// Exported port functions: register access to every module through its port handle.
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/MsgComposer.h"
#include "modules/Device.h"
#include "modules/DevicePort.h"

using namespace GenTL;

namespace {

constexpr FrameOptions kPortFrame{GC_ERR_INVALID_HANDLE, "Unknown Error"};

bool IsDeviceSide(const ICommonBase& module) {
    return module.Kind() == ModuleKind::Device || module.Kind() == ModuleKind::RemoteDevice;
}

// The open module behind a port handle; null and stale handles are refused alike. The caller
// shares ownership of the module for the rest of the call. A device or remote device port is
// reached only while some interface is open.
std::shared_ptr<ICommonBase> ResolvePort(PORT_HANDLE hPort) {
    CheckHandle(hPort, "hPort");
    std::shared_ptr<ICommonBase> module = ICommonBase::FromHandle(hPort);
    if (!module) {
        throw invalid_handle_exception(MsgComposer("Specified hPort is invalid: hPort = 0x%p.", hPort));
    }
    if (IsDeviceSide(*module)) {
        CheckOpenCounts({true, false, false, false});
    }
    return module;
}

// Whether stacked writes may go to this port: 0 to go on, else the code to return at once.
GC_ERROR CheckWritePermission(PORT_HANDLE hPort, ICommonBase& module) {
    if (!IsDeviceSide(module)) {
        return GC_ERR_SUCCESS;
    }
    const int code = g_Controller.CheckReadOnlyMode(hPort);
    if (code == GC_ERR_SUCCESS || code == GC_ERR_ACCESS_DENIED || module.Kind() != ModuleKind::RemoteDevice) {
        return code;
    }
    uint8_t writable = 0;
    size_t size = sizeof writable;
    INFO_DATATYPE type = 0;
    module.GetPortInfo(PORT_INFO_ACCESS_WRITE, &type, &writable, &size);
    if (writable == 0) {
        throw access_exception(
            MsgComposer("The device port specified by hPort is not writable: hPort = 0x%p.", hPort));
    }
    return code;
}

void CheckSizeAndBuffer(const size_t* piSize, const void* pBuffer) {
    CheckParameter(piSize, "piSize");
    CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
}

// Runs access(port, entry) for each stacked entry; on a failure the count is left unchanged.
// Stacked writes first pass the write permission test.
template <class Access>
GC_ERROR AccessStacked(PORT_HANDLE hPort, PORT_REGISTER_STACK_ENTRY* pEntries, size_t* piNumEntries, bool bWrite,
                       Access access) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckHandle(hPort, "hPort");
        CheckParameter(pEntries, "pEntries");
        CheckParameter(piNumEntries, "piNumEntries");
        const std::shared_ptr<ICommonBase> port = ResolvePort(hPort);
        if (bWrite) {
            if (const GC_ERROR code = CheckWritePermission(hPort, *port)) {
                return code;
            }
        }
        const size_t count = *piNumEntries;
        for (size_t i = 0; i < count; ++i) {
            access(*port, pEntries[i]);
        }
        *piNumEntries = count;
        return RecordSuccess();
    });
}

}  // namespace

extern "C" {

GC_API GCReadPort(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer, size_t* piSize) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckSizeAndBuffer(piSize, pBuffer);
        ResolvePort(hPort)->ReadData(iAddress, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API GCWritePort(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer, size_t* piSize) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckSizeAndBuffer(piSize, pBuffer);
        ResolvePort(hPort)->WriteData(iAddress, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API GCReadPortStacked(PORT_HANDLE hPort, PORT_REGISTER_STACK_ENTRY* pEntries, size_t* piNumEntries) {
    return AccessStacked(hPort, pEntries, piNumEntries, false, [](IPort& port, PORT_REGISTER_STACK_ENTRY& entry) {
        port.ReadData(entry.Address, entry.pBuffer, &entry.Size);
    });
}

GC_API GCWritePortStacked(PORT_HANDLE hPort, PORT_REGISTER_STACK_ENTRY* pEntries, size_t* piNumEntries) {
    return AccessStacked(hPort, pEntries, piNumEntries, true, [](IPort& port, PORT_REGISTER_STACK_ENTRY& entry) {
        port.WriteData(entry.Address, entry.pBuffer, &entry.Size);
    });
}

GC_API GCGetPortURL(PORT_HANDLE hPort, char* sURL, size_t* piSize) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hPort, "hPort");
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, sURL, "piSize", "sURL");
        ResolvePort(hPort)->GetURL(sURL, piSize);
        return RecordSuccess();
    });
}

GC_API GCGetNumPortURLs(PORT_HANDLE hPort, uint32_t* piNumURLs) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hPort, "hPort");
        CheckParameter(piNumURLs, "piNumURLs");
        ResolvePort(hPort)->GetNumPortURLs(piNumURLs);
        return GC_ERR_SUCCESS;
    });
}

GC_API GCGetPortURLInfo(PORT_HANDLE hPort, uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                        void* pBuffer, size_t* piSize) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        CheckHandle(hPort, "hPort");
        CheckInfoArguments(piType, pBuffer, piSize);
        ResolvePort(hPort)->GetPortURLInfo(iURLIndex, iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API GCGetPortInfo(PORT_HANDLE hPort, PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                     size_t* piSize) {
    return CatchFrame(kPortFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckHandle(hPort, "hPort");
        CheckInfoArguments(piType, pBuffer, piSize);
        ResolvePort(hPort)->GetPortInfo(iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

}  // extern "C"
