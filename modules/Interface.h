#pragma once

#include <memory>
#include <string>
#include <vector>

#include "events/EventFeatureChange.h"
#include "events/EventFeatureInvalidate.h"
#include "events/EventGenApiEvent.h"
#include "framegrabber/Quibbon.h"
#include "modules/CommonBase.h"
#include "modules/DeviceInfo.h"
#include "modules/InterfaceInfo.h"
#include "modules/ModulePort.h"

namespace GenTL {

class CTL;

// An open interface (frame-grabber board) of the System: lists its devices and raises the
// interface's test events on demand.
class CInterface : public ICommonBase {
public:
    static const std::string m_str_file_name;

    CInterface(std::shared_ptr<CInterfaceInfo> info, CTL* pTL, Quibbon::IInterface* pComponent);
    virtual ~CInterface();

    uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) override;
    uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) override;
    uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue) override;
    void WriteReg(uint64_t iAddress, uint32_t iValue) override;
    void GetURL(char* sURL, uint64_t* piSize) override;
    void GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetNumPortURLs(uint32_t* piNumURLs) override;
    void GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                        size_t* piSize) override;
    ICommonBase* GetParent() override;

    virtual uint32_t GetNumDevices();
    virtual void GetDeviceID(uint32_t iIndex, std::string& sID);
    virtual void UpdateDeviceList(bool8_t* pbChanged, uint64_t iTimeout);
    // Drops every record and destroys the interface.
    virtual void Close();
    virtual std::weak_ptr<CInterfaceInfo> GetInfo();
    virtual void GetDeviceInfo(const std::string& sDeviceID, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                               void* pBuffer, size_t* piSize);
    virtual void GetPointerToDeviceInfo(const std::string& sDeviceID, std::shared_ptr<CDeviceInfo>& info);
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;

    void PushEventFeatureInvalidate(const std::string& sFeature);
    void PushEventFeatureChange(const std::string& sFeature, const std::string& sValue);
    void PushEventModule(int64_t iEventID, const void* pData, uint64_t iSize);

    // The live interface behind a handle; raises invalid_parameter_exception otherwise.
    static CInterface* CheckCI(void* hIface);

private:
    void InitPort();
    void SelectDevice(uint32_t iIndex);
    int32_t QueryAccessStatus(const std::string& sDeviceID);
    std::vector<std::shared_ptr<CDeviceInfo>> ReadComponentDevices();
    static void RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext);

    std::shared_ptr<CInterfaceInfo> m_sp_info;
    CTL* m_p_tl;
    std::vector<std::shared_ptr<CDeviceInfo>> m_vec_sp_devices;
    CModulePort m_port;
    Quibbon::IInterface* m_p_component;
    std::shared_ptr<CEventFeatureInvalidate> m_sp_event_invalidate;
    std::shared_ptr<CEventFeatureChange> m_sp_event_change;
    std::shared_ptr<CEventGenApiEvent> m_sp_event_module;
    bool m_b_list_updated = false;
};

}  // namespace GenTL
