#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "events/EventFeatureChange.h"
#include "events/EventFeatureInvalidate.h"
#include "events/EventGenApiEvent.h"
#include "framegrabber/Quibbon.h"
#include "modules/CommonBase.h"
#include "modules/DeviceInfo.h"
#include "modules/InterfaceInfo.h"
#include "modules/PortModule.h"

namespace GenTL {

class CTL;
class CDevice;

// An open interface (frame-grabber board) of the System: lists its devices and raises the
// interface's test events on demand. It keeps its System alive while it lives.
class CInterface : public CPortModule, public std::enable_shared_from_this<CInterface> {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::Interface;

    CInterface(std::shared_ptr<CInterfaceInfo> info, std::shared_ptr<CTL> spTL, Quibbon::IInterface* pComponent);
    virtual ~CInterface();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    CTL& GetTL() { return *m_sp_tl; }

    virtual uint32_t GetNumDevices();
    virtual void GetDeviceID(uint32_t iIndex, std::string& sID);
    virtual void UpdateDeviceList(bool8_t* pbChanged, uint64_t iTimeout);
    // Opens the camera the text names (identifier, serial number or user-defined name).
    virtual std::shared_ptr<CDevice> OpenDevice(const std::string& sDeviceID, int32_t iAccessFlags);
    // Drops the open device with exactly this identifier, or this device.
    virtual void ReleaseDevice(const std::string& sDeviceID);
    virtual void ReleaseDevice(const std::weak_ptr<CDevice>& device);
    // Drops every record, wakes every waiter on the interface's events, withdraws the handles
    // and leaves the System. Never fails; the interface itself goes when its last user does.
    virtual void Close() noexcept;
    virtual std::weak_ptr<CInterfaceInfo> GetInfo();
    virtual void GetDeviceInfo(const std::string& sDeviceID, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                               void* pBuffer, size_t* piSize);
    virtual void GetPointerToDeviceInfo(const std::string& sDeviceID, std::shared_ptr<CDeviceInfo>& info);
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;

    void PushEventFeatureInvalidate(const std::string& sFeature);
    void PushEventFeatureChange(const std::string& sFeature, const std::string& sValue);
    void PushEventModule(int64_t iEventID, const void* pData, uint64_t iSize);

    // The open interface behind a handle; raises invalid_parameter_exception otherwise.
    static std::shared_ptr<CInterface> CheckCI(void* hIface);

private:
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();
    void SelectDevice(uint32_t iIndex);
    // Applies the selection step for the current selector, set back to 0 when it is past the list.
    void ReselectDevice();
    int32_t QueryAccessStatus(const std::string& sDeviceID);
    std::vector<std::shared_ptr<CDeviceInfo>> ReadComponentDevices();
    std::shared_ptr<CDeviceInfo> FindListedDevice(const std::string& sDeviceID) const;
    std::shared_ptr<CDevice> FindOpenDevice(const std::string& sDeviceID) const;
    void PublishDeviceCounts();
    static void RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext);

    std::shared_ptr<CInterfaceInfo> m_sp_info;
    std::shared_ptr<CTL> m_sp_tl;
    // Guards the device lists and the closed flag against concurrent calls and closes.
    std::recursive_mutex m_mutex_state;
    std::vector<std::shared_ptr<CDevice>> m_vec_sp_open_devices;
    std::vector<std::shared_ptr<CDeviceInfo>> m_vec_sp_devices;
    bool m_b_closed = false;
    Quibbon::IInterface* m_p_component;
    std::shared_ptr<CEventFeatureInvalidate> m_sp_event_invalidate;
    std::shared_ptr<CEventFeatureChange> m_sp_event_change;
    std::shared_ptr<CEventGenApiEvent> m_sp_event_module;
    bool m_b_list_updated = false;
};

}  // namespace GenTL
