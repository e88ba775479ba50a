#pragma once

#include <memory>
#include <string>

#include "events/EventGenApiEvent.h"
#include "modules/PortModule.h"
#include "modules/RemotePort.h"

namespace GenTL {

class CDevice;

// The register space of the simulated camera (the remote device port of a camera that does not
// describe itself). Most registers mirror parameters of the frame grabber's device object: reads
// fetch the camera's current value and writes hand the value to the camera.
class CDevicePort : public CPortModule, public CRemotePort {
public:
    static const std::string m_str_file_name;

    CDevicePort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote);
    virtual ~CDevicePort();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;
    ICommonBase& Module() override { return *this; }
    // Register 0x114, refreshed from the camera.
    uint32_t GetPayloadSize() override;

    // The read and write callbacks of the camera registers (context: the port).
    static void RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);

private:
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();
    void LoadCameraValues(CDevice& device);
    void RefreshFromCamera(uint64_t iAddress, uint32_t& iValue);
    void WriteToCamera(uint64_t iAddress, uint32_t iValue);
    void ControlAcquisition(CDevice& device, uint32_t iCommand);
    void RaiseTestEvent(CDevice& device);
};

}  // namespace GenTL
