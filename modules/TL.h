#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "modules/InterfaceInfo.h"
#include "modules/PortModule.h"

namespace GenTL {

class CInterface;

// The System module: root of the module tree, opened on the frame grabber's system object. It
// owns its open interfaces until they close; each interface keeps the System alive in turn.
class CTL : public CPortModule, public std::enable_shared_from_this<CTL> {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::System;

    CTL();
    virtual ~CTL();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override { return nullptr; }

    // Connects to the frame grabber and fills the port; raises when the frame grabber is missing.
    virtual bool TLOpen(void** phSystem);
    virtual uint32_t GetNumInterfaces();
    virtual void GetInterfacesID(uint32_t iIndex, std::string& sID);
    virtual void UpdateInterfaceList(bool8_t* pbChanged, uint64_t iTimeout);
    virtual void GetInfo(TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
    virtual void ReleaseChild(CInterface* pInterface);
    // The open interface the identifier names, opened now when it is not open yet.
    virtual std::shared_ptr<CInterface> GetInterface(const std::string& sIfaceID);
    virtual void GetInterfaceInfo(const std::string& sIfaceID, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                  void* pBuffer, size_t* piSize);
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;
    virtual uint64_t GetTLVersion();
    virtual std::string FormatVersion(uint64_t iVersion);

    // Closes every open interface and withdraws the System's handle. Never fails; the System
    // itself goes when its last user does.
    void Close() noexcept;

    // The open System behind a handle; raises invalid_parameter_exception otherwise.
    static std::shared_ptr<CTL> CheckCTL(void* hSystem);

private:
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();
    void SelectInterface(uint32_t iIndex);
    std::vector<std::shared_ptr<CInterfaceInfo>> ReadComponentInterfaces();
    std::shared_ptr<CInterfaceInfo> FindRecord(const std::string& sIfaceID);
    std::shared_ptr<CInterface> OpenListedInterface(const std::string& sIfaceID);
    static void RegCB_SelectorWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);

    // Guards the two lists and the closed flag against concurrent calls and closes.
    std::recursive_mutex m_mutex_state;
    std::vector<std::shared_ptr<CInterface>> m_vec_sp_open_interfaces;
    std::vector<std::shared_ptr<CInterfaceInfo>> m_vec_sp_interfaces;
    bool m_b_list_updated = false;
    bool m_b_closed = false;
    Quibbon::ISystem* m_p_system = nullptr;
};

}  // namespace GenTL
