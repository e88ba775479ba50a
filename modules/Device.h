#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "events/EventError.h"
#include "events/EventGenApiEvent.h"
#include "framegrabber/Quibbon.h"
#include "modules/DeviceInfo.h"
#include "modules/PortModule.h"

namespace GenTL {

class CTL;
class CInterface;
class CRemotePort;
class CDataStream;

// The local device module: the transport layer's view of one opened camera. It owns the remote
// device port and the device's events, and keeps its interface alive while it lives.
class CDevice : public CPortModule, public std::enable_shared_from_this<CDevice> {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::Device;

    // A device around the component's device object, with its port filled and its remote device
    // port made. The device releases the component object when it goes.
    static std::shared_ptr<CDevice> Create(std::shared_ptr<CInterface> spInterface, const std::string& sID,
                                           std::shared_ptr<CDeviceInfo> spInfo, Quibbon::IDevice* pComponent,
                                           int32_t iAccessFlags);
    virtual ~CDevice();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;
    virtual std::shared_ptr<CDeviceInfo> GetDevInfo();

    void GetInfo(DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t& iSize);
    uint32_t GetNumDataStreams();
    void GetDataStreamID(uint32_t iIndex, char* sDataStreamID, size_t* piSize);
    // The remote device port: the camera's own register space when it describes itself, else the
    // producer's register map of the simulated camera.
    std::shared_ptr<CRemotePort> GetPort();
    // Opens the data stream with that identifier; an identifier naming an open stream is refused.
    std::shared_ptr<CDataStream> CreateDataStream(const std::string& sID);
    // The open stream at that index, or null.
    std::shared_ptr<CDataStream> GetDS(uint32_t iIndex);
    // Stops the stream at that index and forgets it.
    void ReleaseDS(uint32_t iIndex);
    // Forgets that stream; streams call it when they close.
    void ReleaseDS(const CDataStream* pStream);
    CInterface* GetInterface() { return m_sp_interface.get(); }
    // The identifier the device was opened with (the interface's record of it).
    const std::string& GetName() const { return m_str_id; }
    // The frame grabber's device object; the caller keeps the device while it uses it.
    Quibbon::IDevice* GetComponent() { return m_p_component; }
    void PushEventRemoteDevice(int64_t iEventID, const void* pData, uint64_t iSize);

    // Stops the device's streams, wakes every waiter on its events, withdraws its handles and
    // leaves its interface. Never fails; the device itself goes when its last user does.
    void Close() noexcept;

    // Null for a null handle, the open device behind any other handle; raises
    // invalid_parameter_exception for a handle that is not an open device.
    static std::shared_ptr<CDevice> CheckCDevice(void* hDevice);

private:
    CDevice(std::shared_ptr<CInterface> spInterface, const std::string& sID, std::shared_ptr<CDeviceInfo> spInfo,
            Quibbon::IDevice* pComponent, int32_t iAccessFlags);
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();

    const std::string m_str_id;
    std::shared_ptr<CInterface> m_sp_interface;
    std::shared_ptr<CRemotePort> m_sp_port;
    // Open data streams in creation order; guarded by m_mutex_state.
    std::vector<std::shared_ptr<CDataStream>> m_vec_sp_streams;
    // The last count the frame grabber gave; read and written by any caller, hence atomic.
    std::atomic<uint32_t> m_i_num_data_streams{1};
    std::shared_ptr<CDeviceInfo> m_sp_info;
    Quibbon::IDevice* m_p_component;
    const int32_t m_i_access_flags;
    std::shared_ptr<CEventError> m_sp_event_error;
    std::shared_ptr<CEventGenApiEvent> m_sp_event_remote;
    std::recursive_mutex m_mutex_state;
    bool m_b_closed = false;
};

}  // namespace GenTL
