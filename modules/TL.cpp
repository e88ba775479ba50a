#include "modules/TL.h"

#include <algorithm>

#include "framegrabber/QuibbonLoader.h"
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/Platform.h"
#include "gentl/TLInfo.h"
#include "modules/Interface.h"
#include "modules/ModuleSupport.h"
#include "gentl/controller/HandleRegistry.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CTL::m_str_file_name = "KVTL.xml";

namespace {

const PortProfile kSystemPort{kFileNameSystem,
                           kResourceSystem,
                           kResourceTypeSystem,
                           kDescriptionAddressSystem,
                           2,
                           URLCopy::Self,
                           {"Invalid Buffer Size", "Invalid Buffer Size"},
                           true,
                           "Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                           "Invalid parameter"};
constexpr uint64_t kUpdateTimeout = 200;

enum SystemRegister : uint64_t {
    kRegInterfaceCount = 0x004,
    kRegInterfaceSelector = 0x008,
    kRegInterfaceUpdateList = 0x044,
    kRegVendorName = 0x048,
    kRegModelName = 0x088,
    kRegVersion = 0x0C8,
    kRegGenTLVersionMinor = 0x0D8,
    kRegGenTLVersionMajor = 0x0DC,
    kRegID = 0x100,
    kRegPath = 0x200,
    kRegDisplayName = 0x600,
    kRegType = 0x700,
    kRegInterfaceID = 0x740,
    kRegReserved = 0x840,
};

const char* const kDisplayName = "KV TL Simulator ";

}  // namespace

CTL::CTL() : CPortModule(kSystemPort) {}

CTL::~CTL() {
    // Every interface keeps the System alive, so none is left by now.
    if (m_p_system != nullptr) {
        m_p_system->Release();
    }
}

void CTL::Close() noexcept {
    std::vector<std::shared_ptr<CInterface>> open;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
        m_b_closed = true;
        open.swap(m_vec_sp_open_interfaces);
        m_vec_sp_interfaces.clear();
    }
    for (const auto& iface : open) {
        iface->Close();
    }
    CHandleRegistry::Instance().Remove(Handle());
}

PortInfoTexts CTL::GetPortInfoTexts() {
    return {"0", "EMVA_D", "Quarvo", "Custom", "TLSystem", FormatVersion(GetTLVersion()), "TLPort"};
}

bool CTL::TLOpen(void** phSystem) {
    std::string error;
    if (!LoadQuibbon(error)) {
        throw invalid_handle_exception(error);
    }
    GetQuibbonSystem(&m_p_system);
    if (m_p_system == nullptr) {
        // The component says why, for example a rig file it could not use.
        const std::string reason = GetQuibbonSystemError();
        if (!reason.empty()) {
            throw error_exception(reason);
        }
        return false;
    }
    InitPort();
    *phSystem = this;
    return true;
}

void CTL::InitPort() {
    CRegisterMap& map = Map();
    map.AddReg(kRegInterfaceCount, CRegisterMap::RO, static_cast<uint32_t>(m_vec_sp_interfaces.size()));
    map.AddReg(kRegInterfaceSelector, CRegisterMap::RW, 0, false, &CTL::RegCB_SelectorWrite, this, nullptr);
    map.AddReg(kRegInterfaceUpdateList, CRegisterMap::RW, 0);
    map.AddRegs(kRegVendorName, CRegisterMap::RO, CTLInfo::GetVendorName().c_str(), 64);
    map.AddRegs(kRegModelName, CRegisterMap::RO, CTLInfo::GetModelName().c_str(), 64);
    map.AddRegs(kRegVersion, CRegisterMap::RO, FormatVersion(GetTLVersion()).c_str(), 16);
    map.AddRegs(kRegType, CRegisterMap::RO, CTLInfo::GetTLType().c_str(), 64);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, CTLInfo::GetDisplayName().c_str(), 256);
    map.AddReg(kRegGenTLVersionMinor, CRegisterMap::RO, 5);
    map.AddReg(kRegGenTLVersionMajor, CRegisterMap::RO, 1);
    map.AddRegs(kRegPath, CRegisterMap::RO, GetProducerPath().c_str(), 2048);
    std::string name;
    if (!GetProducerFileName(name)) {
        throw std::runtime_error(kInvalidModuleName);
    }
    map.AddRegs(kRegID, CRegisterMap::RO, name.c_str(), 256);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, kDisplayName, 64);
    map.AddRegs(kRegType, CRegisterMap::RO, CTLInfo::GetTLType().c_str(), 64);
    map.AddRegs(kRegInterfaceID, CRegisterMap::RO, "", 256);
    map.AddRegs(kRegReserved, CRegisterMap::RO, "", 256);
    map.WriteReg(kRegInterfaceSelector, 0);
    AddDescription();
}

void CTL::RegCB_SelectorWrite(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    if (iAddress == kRegInterfaceSelector) {
        static_cast<CTL*>(pContext)->SelectInterface(iValue);
    }
}

void CTL::SelectInterface(uint32_t iIndex) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (m_vec_sp_interfaces.empty()) {
        Map().SetMem(kRegInterfaceID, "");
    } else if (iIndex < m_vec_sp_interfaces.size()) {
        SetTextBlock(Map(), kRegInterfaceID, 256, m_vec_sp_interfaces[iIndex]->GetID());
    }
}

uint32_t CTL::GetNumInterfaces() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (!m_b_list_updated) {
        UpdateInterfaceList(nullptr, kUpdateTimeout);
    }
    const uint32_t count = static_cast<uint32_t>(m_vec_sp_interfaces.size());
    Map().SetReg(kRegInterfaceCount, count);
    return count;
}

void CTL::GetInterfacesID(uint32_t iIndex, std::string& sID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (!m_b_list_updated) {
        throw not_available_exception("You have not called UpdateInterfaceList. Please update the interface list");
    }
    if (iIndex >= m_vec_sp_interfaces.size()) {
        throw invalid_index_exception(MsgComposer("Requested iIndex (%d) is invalid.", static_cast<int>(iIndex)));
    }
    sID = m_vec_sp_interfaces[iIndex]->ToString();
}

std::vector<std::shared_ptr<CInterfaceInfo>> CTL::ReadComponentInterfaces() {
    std::vector<std::shared_ptr<CInterfaceInfo>> fresh;
    uint32_t count = 0;
    if (m_p_system == nullptr || m_p_system->GetNumInterfaces(&count) < 0) {
        return fresh;
    }
    for (uint32_t index = 0; index < count; ++index) {
        const std::string id = ReadComponentText(
            [&](char* text, uint64_t* size) { return m_p_system->GetInterfaceID(index, text, size); },
            Quibbon::kIdTextSize);
        Quibbon::IInterface* iface = nullptr;
        m_p_system->OpenInterface(id.c_str(), &iface);
        std::string prefix;
        if (iface != nullptr) {
            prefix = ReadComponentText(
                [&](char* text, uint64_t* size) { return iface->GetInfo(Quibbon::kInterfaceInfoPrefix, text, size); },
                Quibbon::kInfoTextSize);
            iface->Release();
        }
        fresh.push_back(std::make_shared<CInterfaceInfo>(prefix, id));
    }
    return fresh;
}

void CTL::UpdateInterfaceList(bool8_t* pbChanged, uint64_t /*iTimeout*/) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    auto fresh = ReadComponentInterfaces();
    const bool changed = MergeRecords(m_vec_sp_interfaces, fresh,
                                      [](const auto& a, const auto& b) { return a->ToString() == b->ToString(); });
    if (changed && pbChanged != nullptr) {
        *pbChanged = true;
    }
    Map().SetReg(kRegInterfaceCount, static_cast<uint32_t>(m_vec_sp_interfaces.size()));
    Map().WriteReg(kRegInterfaceSelector, 0);
    m_b_list_updated = true;
}

void CTL::GetInfo(TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    std::string name;
    switch (iInfoCmd) {
        case TL_INFO_VENDOR: SetReturnParam(pBuffer, piSize, piType, CTLInfo::GetVendorName()); break;
        case TL_INFO_MODEL: SetReturnParam(pBuffer, piSize, piType, CTLInfo::GetModelName()); break;
        case TL_INFO_VERSION: SetReturnParam(pBuffer, piSize, piType, FormatVersion(GetTLVersion())); break;
        case TL_INFO_TLTYPE: SetReturnParam(pBuffer, piSize, piType, std::string("Custom")); break;
        case TL_INFO_NAME:
            if (!GetProducerFileName(name)) {
                throw std::runtime_error("Invalid Module Name");
            }
            SetReturnParam(pBuffer, piSize, piType, name);
            break;
        case TL_INFO_PATHNAME: SetReturnParam(pBuffer, piSize, piType, GetProducerPath()); break;
        case TL_INFO_DISPLAYNAME: SetReturnParam(pBuffer, piSize, piType, std::string(kDisplayName)); break;
        case TL_INFO_CHAR_ENCODING: SetReturnParam(pBuffer, piSize, piType, static_cast<int>(TL_CHAR_ENCODING_ASCII)); break;
        case TL_INFO_GENTL_VER_MAJOR: SetReturnParam(pBuffer, piSize, piType, 1u); break;
        case TL_INFO_GENTL_VER_MINOR: SetReturnParam(pBuffer, piSize, piType, 5u); break;
        default:
            throw implementation_exception(
                MsgComposer("Requested iInfoCmd is not implemented; iInfoCmd = %d.", iInfoCmd));
    }
}

void CTL::ReleaseChild(CInterface* pInterface) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    const auto it = std::find_if(m_vec_sp_open_interfaces.begin(), m_vec_sp_open_interfaces.end(),
                                 [pInterface](const auto& open) { return open.get() == pInterface; });
    if (it != m_vec_sp_open_interfaces.end()) {
        m_vec_sp_open_interfaces.erase(it);
    }
}

std::shared_ptr<CInterface> CTL::GetInterface(const std::string& sIfaceID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (m_b_closed) {
        throw invalid_handle_exception("The system module has been closed.");
    }
    if (!m_b_list_updated) {
        UpdateInterfaceList(nullptr, kUpdateTimeout);
    }
    // An interface already open is handed out again, whichever form of its identifier is used,
    // so that one board never has two module objects.
    for (const auto& open : m_vec_sp_open_interfaces) {
        const auto info = open->GetInfo().lock();
        if (info && (info->GetID() == sIfaceID || info->IsInterface(sIfaceID))) {
            return open;
        }
    }
    if (auto created = OpenListedInterface(sIfaceID)) {
        return created;
    }
    throw invalid_id_exception(MsgComposer("Requested interface name '%s' is invalid.", sIfaceID.c_str()));
}

std::shared_ptr<CInterface> CTL::OpenListedInterface(const std::string& sIfaceID) {
    for (const auto& record : m_vec_sp_interfaces) {
        if (!record->IsInterface(sIfaceID)) {
            continue;
        }
        Quibbon::IInterface* component = nullptr;
        m_p_system->OpenInterface(record->GetID().c_str(), &component);
        if (component == nullptr) {
            return nullptr;
        }
        auto created = std::make_shared<CInterface>(std::make_shared<CInterfaceInfo>(*record), shared_from_this(),
                                                    component);
        m_vec_sp_open_interfaces.push_back(created);
        CHandleRegistry::Instance().Add(std::static_pointer_cast<ICommonBase>(created));
        return created;
    }
    return nullptr;
}

std::shared_ptr<CInterfaceInfo> CTL::FindRecord(const std::string& sIfaceID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    for (const auto& open : m_vec_sp_open_interfaces) {
        auto info = open->GetInfo().lock();
        if (info && info->ToString() == sIfaceID) {
            return info;
        }
    }
    for (const auto& record : m_vec_sp_interfaces) {
        if (record->ToString() == sIfaceID) {
            return record;
        }
    }
    return nullptr;
}

void CTL::GetInterfaceInfo(const std::string& sIfaceID, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                           void* pBuffer, size_t* piSize) {
    const auto record = FindRecord(sIfaceID);
    if (!record) {
        throw invalid_id_exception(MsgComposer("Requested strIfaceID '%s' is invalid.", sIfaceID.c_str()));
    }
    record->GetInfo(iInfoCmd, piType, pBuffer, *piSize);
}

void CTL::Register(EVENT_TYPE iEventID, EVENT_HANDLE* /*phEvent*/) {
    throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
}

void CTL::Unregister(EVENT_TYPE iEventID) {
    throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
}

uint64_t CTL::GetTLVersion() { return 0; }

std::string CTL::FormatVersion(uint64_t iVersion) {
    return MsgComposer("%u.%u.%u.%u", static_cast<unsigned>((iVersion >> 48) & 0xFFFF),
                       static_cast<unsigned>((iVersion >> 32) & 0xFFFF), static_cast<unsigned>((iVersion >> 16) & 0xFFFF),
                       static_cast<unsigned>(iVersion & 0xFFFF));
}

std::shared_ptr<CTL> CTL::CheckCTL(void* hSystem) {
    auto system = ICommonBase::FromHandleAs<CTL>(hSystem);
    if (!system) {
        throw invalid_parameter_exception(" Invalid TL handle");
    }
    return system;
}

}  // namespace GenTL
