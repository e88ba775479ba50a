// What the device and its data streams need of the remote device port, whichever form the
// camera's port takes: the port as the module consumers address, the device's remote-device
// events and the camera's payload size. A remote device port belongs to its device, reaches the
// camera only while the device lives and accepts no event registration (remote-device events are
// registered on the device).
#pragma once

#include <cstdint>
#include <memory>

#include "events/EventGenApiEvent.h"
#include "modules/CommonBase.h"

namespace GenTL {

class CDevice;

class CRemotePort {
public:
    static constexpr ModuleKind kKind = ModuleKind::RemoteDevice;

    virtual ~CRemotePort();
    CRemotePort(const CRemotePort&) = delete;
    CRemotePort& operator=(const CRemotePort&) = delete;

    // The port as the module behind its handle.
    virtual ICommonBase& Module() = 0;
    void* Handle() { return Module().Handle(); }
    // The camera's current payload size in bytes.
    virtual uint32_t GetPayloadSize() = 0;
    void PushEventRemoteDevice(int64_t iEventID, const void* pData, uint64_t iSize);
    // Moves the events the camera raised into the device's remote-device events; nothing for a
    // camera that raises none.
    virtual void CollectEvents() {}

protected:
    CRemotePort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote);

    // The device, which must still be alive; raises invalid_handle_exception otherwise.
    std::shared_ptr<CDevice> LockDevice() const;
    ICommonBase* GetDevice() const { return m_p_device; }
    CEventGenApiEvent& EventRemote() const { return *m_sp_event_remote; }
    // The refusal of Register and Unregister.
    [[noreturn]] static void RefuseEvent(EVENT_TYPE iEventID);

private:
    std::weak_ptr<CDevice> m_wp_device;
    ICommonBase* m_p_device;
    std::shared_ptr<CEventGenApiEvent> m_sp_event_remote;
};

// The remote device port as the handle registry lists it; shares ownership of the port.
std::shared_ptr<ICommonBase> AsModule(const std::shared_ptr<CRemotePort>& spPort);

}  // namespace GenTL
