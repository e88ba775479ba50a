#pragma once

#include <memory>
#include <string>

#include "events/EventGenApiEvent.h"
#include "modules/PortModule.h"

namespace GenTL {

class CDevice;

// The register space of the simulated camera (the remote device port). Most registers mirror
// parameters of the frame grabber's device object: reads fetch the camera's current value and
// writes hand the value to the camera. The port belongs to its device and reaches the camera only
// while the device lives.
class CDevicePort : public CPortModule {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::RemoteDevice;

    CDevicePort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote);
    virtual ~CDevicePort();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;

    void PushEventRemoteDevice(int64_t iEventID, const void* pData, uint64_t iSize);

    // The read and write callbacks of the camera registers (context: the port).
    static void RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);

private:
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();
    void LoadCameraValues(CDevice& device);
    // The device, which must still be alive; raises invalid_handle_exception otherwise.
    std::shared_ptr<CDevice> LockDevice() const;
    void RefreshFromCamera(uint64_t iAddress, uint32_t& iValue);
    void WriteToCamera(uint64_t iAddress, uint32_t iValue);
    void ControlAcquisition(CDevice& device, uint32_t iCommand);
    void RaiseTestEvent(CDevice& device);

    std::weak_ptr<CDevice> m_wp_device;
    ICommonBase* m_p_parent;
    std::shared_ptr<CEventGenApiEvent> m_sp_event_remote;
};

}  // namespace GenTL
