#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "modules/CommonBase.h"
#include "modules/InterfaceInfo.h"
#include "modules/ModulePort.h"

namespace GenTL {

class CInterface;

// The System module: root of the module tree, opened on the frame grabber's system object.
class CTL : public ICommonBase {
public:
    static const std::string m_str_file_name;

    CTL();
    virtual ~CTL();

    uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) override;
    uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) override;
    uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue) override;
    void WriteReg(uint64_t iAddress, uint32_t iValue) override;
    void GetURL(char* sURL, uint64_t* piSize) override;
    void GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetNumPortURLs(uint32_t* piNumURLs) override;
    void GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                        size_t* piSize) override;
    ICommonBase* GetParent() override { return nullptr; }

    // Connects to the frame grabber and fills the port; raises when the frame grabber is missing.
    virtual bool TLOpen(void** phSystem);
    virtual uint32_t GetNumInterfaces();
    virtual void GetInterfacesID(uint32_t iIndex, std::string& sID);
    virtual void UpdateInterfaceList(bool8_t* pbChanged, uint64_t iTimeout);
    virtual void GetInfo(TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
    virtual void ReleaseChild(CInterface* pInterface);
    virtual void GetInterface(const std::string& sIfaceID, CInterface** ppInterface);
    virtual void GetInterfaceInfo(const std::string& sIfaceID, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                  void* pBuffer, size_t* piSize);
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;
    virtual uint64_t GetTLVersion();
    virtual std::string FormatVersion(uint64_t iVersion);

    // The live System behind a handle; raises invalid_parameter_exception otherwise.
    static CTL* CheckCTL(void* hSystem);

private:
    void InitPort();
    void SelectInterface(uint32_t iIndex);
    std::vector<std::shared_ptr<CInterfaceInfo>> ReadComponentInterfaces();
    std::shared_ptr<CInterfaceInfo> FindRecord(const std::string& sIfaceID) const;
    static void RegCB_SelectorWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);

    std::vector<CInterface*> m_vec_p_open_interfaces;
    std::vector<std::shared_ptr<CInterfaceInfo>> m_vec_sp_interfaces;
    bool m_b_list_updated = false;
    CModulePort m_port;
    Quibbon::ISystem* m_p_system = nullptr;
};

}  // namespace GenTL
