#include "modules/RemotePort.h"

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"
#include "modules/Device.h"

namespace GenTL {

CRemotePort::CRemotePort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote)
    : m_wp_device(spDevice), m_p_device(spDevice.get()), m_sp_event_remote(std::move(spEventRemote)) {}

CRemotePort::~CRemotePort() = default;

std::shared_ptr<CDevice> CRemotePort::LockDevice() const {
    std::shared_ptr<CDevice> device = m_wp_device.lock();
    if (!device) {
        throw invalid_handle_exception("The device of the remote device port has been closed.");
    }
    return device;
}

void CRemotePort::PushEventRemoteDevice(int64_t iEventID, const void* pData, uint64_t iSize) {
    m_sp_event_remote->Emplace(iEventID, pData, iSize);
}

void CRemotePort::RefuseEvent(EVENT_TYPE iEventID) {
    throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
}

std::shared_ptr<ICommonBase> AsModule(const std::shared_ptr<CRemotePort>& spPort) {
    return std::shared_ptr<ICommonBase>(spPort, &spPort->Module());
}

}  // namespace GenTL
