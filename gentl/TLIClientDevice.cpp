// Exported Device functions: open a camera on an interface, reach its ports and information.
#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/MsgComposer.h"
#include "modules/Device.h"
#include "modules/Interface.h"
#include "modules/RemotePort.h"

using namespace GenTL;

namespace {

constexpr FrameOptions kOpenDeviceFrame{GC_ERR_ERROR, "Unknown Error"};

// Access flags a device may be opened with: the standard ones and the custom range.
void CheckOpenFlags(DEVICE_ACCESS_FLAGS iOpenFlags) {
    const bool standard = iOpenFlags >= DEVICE_ACCESS_NONE && iOpenFlags <= DEVICE_ACCESS_EXCLUSIVE;
    if (!standard && iOpenFlags <= DEVICE_ACCESS_CUSTOM_ID) {
        throw invalid_parameter_exception(
            MsgComposer("Specified iOpenFlags is invalid: iOpenFlags = 0x%p.",
                        reinterpret_cast<void*>(static_cast<intptr_t>(iOpenFlags))));
    }
}

// The type test: the open device behind a handle, shared for the rest of the call.
std::shared_ptr<CDevice> AsDevice(DEV_HANDLE hDevice) {
    auto device = ICommonBase::FromHandleAs<CDevice>(hDevice);
    if (!device) {
        throw invalid_handle_exception("Invalid Handle");
    }
    return device;
}

// The registry test, then the type test.
std::shared_ptr<CDevice> ResolveDevice(DEV_HANDLE hDevice) {
    if (!g_Controller.FindOpenDeviceHandle(hDevice, nullptr)) {
        throw invalid_handle_exception("The specified device is not found.");
    }
    return AsDevice(hDevice);
}

}  // namespace

extern "C" {

GC_API IFOpenDevice(IF_HANDLE hIface, const char* sDevName, DEVICE_ACCESS_FLAGS iOpenFlags, DEV_HANDLE* phDevice) {
    return CatchFrame(kOpenDeviceFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hIface, "hIface");
        CheckParameter(sDevName, "sDevName");
        CheckParameter(phDevice, "phDevice");
        if (!g_Controller.FindInterface(hIface)) {
            throw invalid_handle_exception(MsgComposer("The specified interface not found: hIface = 0x%p.", hIface));
        }
        const auto iface = ICommonBase::FromHandleAs<CInterface>(hIface);
        if (!iface) {
            throw invalid_handle_exception("Invalid Handle");
        }
        std::shared_ptr<CDeviceInfo> info;
        iface->GetPointerToDeviceInfo(sDevName, info);
        if (!info) {
            throw invalid_id_exception("There's no DeviceInfo specified by sDevName.");
        }
        if (g_Controller.FindOpenDeviceName(hIface, sDevName)) {
            throw resource_in_use_exception("The specified device is already in use.");
        }
        CheckOpenFlags(iOpenFlags);
        std::weak_ptr<CDevice> device = iface->OpenDevice(sDevName, iOpenFlags);
        const std::shared_ptr<CDevice> opened = device.lock();
        if (!opened) {
            throw invalid_handle_exception("Can't lock the target device.");
        }
        g_Controller.AddOpenDevice(hIface, device);
        // The interface may have been closed on another thread meanwhile, taking the device along.
        if (!ICommonBase::FromHandle(opened->Handle())) {
            g_Controller.RemoveOpenDevice(opened->Handle());
            throw invalid_handle_exception("Can't lock the target device.");
        }
        *phDevice = opened->Handle();
        return RecordSuccess();
    });
}

GC_API DevGetPort(DEV_HANDLE hDevice, PORT_HANDLE* phRemoteDev) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hDevice, "hDevice");
        CheckParameter(phRemoteDev, "phRemoteDev");
        *phRemoteDev = ResolveDevice(hDevice)->GetPort()->Handle();
        g_Controller.AddPort(hDevice, *phRemoteDev);
        return RecordSuccess();
    });
}

GC_API DevGetNumDataStreams(DEV_HANDLE hDevice, uint32_t* piNumDataStreams) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hDevice, "hDevice");
        CheckParameter(piNumDataStreams, "piNumDataStreams");
        *piNumDataStreams = ResolveDevice(hDevice)->GetNumDataStreams();
        return RecordSuccess();
    });
}

GC_API DevGetDataStreamID(DEV_HANDLE hDevice, uint32_t iIndex, char* sDataStreamID, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, sDataStreamID, "piSize", "sDataStreamID");
        if (hDevice == nullptr) {
            throw invalid_handle_exception("Invalid Handle");
        }
        const auto device = AsDevice(hDevice);
        CheckOpenCounts({true, true, false, false});
        device->GetDataStreamID(iIndex, sDataStreamID, piSize);
        return RecordSuccess();
    });
}

GC_API DevGetInfo(DEV_HANDLE hDevice, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                  size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hDevice, "hDevice");
        CheckParameter(piType, "piType");
        CheckParameter(piSize, "piSize");
        CheckBufferSize(piSize, pBuffer, "piSize", "pBuffer");
        ResolveDevice(hDevice)->GetInfo(iInfoCmd, piType, pBuffer, *piSize);
        return RecordSuccess();
    });
}

GC_API DevClose(DEV_HANDLE hDevice) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hDevice, "hDevice");
        ResolveDevice(hDevice);
        const std::shared_ptr<CDevice> device = g_Controller.RemoveOpenDevice(hDevice);
        if (!device) {
            throw invalid_handle_exception("Specified hDevice is invalid.");
        }
        device->Close();
        return RecordSuccess();
    });
}

GC_API DevGetParentIF(DEV_HANDLE hDevice, IF_HANDLE* phIface) {
    return CatchFrame([&]() -> GC_ERROR {
        CheckHandle(hDevice, "hDevice");
        CheckParameter(phIface, "phIface");
        if (!g_Controller.FindOpenDeviceHandle(hDevice, phIface)) {
            throw invalid_handle_exception("Specified hDevice is invalid.");
        }
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        return RecordSuccess();
    });
}

}  // extern "C"
