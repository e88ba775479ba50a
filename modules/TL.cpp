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
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CTL::m_str_file_name = "KVTL.xml";

namespace {

const PortDescription kSystemDescription{kFileNameSystem, kResourceSystem, kResourceTypeSystem,
                                        kDescriptionAddressSystem, 2};
constexpr URLErrorTexts kURLErrors{"Invalid Buffer Size", "Invalid Buffer Size"};
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

CTL::CTL() : m_port(kSystemDescription) {}

CTL::~CTL() {
    m_vec_sp_interfaces.clear();
    while (!m_vec_p_open_interfaces.empty()) {
        m_vec_p_open_interfaces.front()->Close();
    }
    if (m_p_system != nullptr) {
        m_p_system->Release();
    }
}

uint64_t CTL::ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) {
    return m_port.ReadData(iAddress, pBuffer, piSize);
}

uint64_t CTL::WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) {
    return m_port.WriteData(iAddress, pBuffer, piSize);
}

uint32_t CTL::ReadReg(uint64_t iAddress, uint32_t& iValue) { return m_port.ReadReg(iAddress, iValue); }

void CTL::WriteReg(uint64_t iAddress, uint32_t iValue) { m_port.WriteReg(iAddress, iValue); }

void CTL::GetURL(char* sURL, uint64_t* piSize) { m_port.CopyURL(sURL, piSize, kURLErrors); }

void CTL::GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    const PortInfoTexts texts{"0",        "EMVA_D", "Quarvo", "Custom", "TLSystem", FormatVersion(GetTLVersion()),
                              "TLPort"};
    if (!CModulePort::WritePortInfo(texts, iInfoCmd, piType, pBuffer, piSize)) {
        throw invalid_parameter_exception("Invalid parameter");
    }
}

void CTL::GetNumPortURLs(uint32_t* piNumURLs) { *piNumURLs = 1; }

void CTL::GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                         size_t* piSize) {
    if (iURLIndex != 0) {
        throw invalid_index_exception(MsgComposer("Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                                                  reinterpret_cast<void*>(static_cast<uintptr_t>(iURLIndex))));
    }
    if (!m_port.WriteURLInfo(iInfoCmd, piType, pBuffer, piSize)) {
        throw invalid_parameter_exception("Invalid parameter");
    }
}

bool CTL::TLOpen(void** phSystem) {
    std::string error;
    if (!LoadQuibbon(error)) {
        throw invalid_handle_exception(error);
    }
    GetQuibbonSystem(&m_p_system);
    if (m_p_system == nullptr) {
        return false;
    }
    InitPort();
    *phSystem = this;
    return true;
}

void CTL::InitPort() {
    CRegisterMap& map = m_port.Map();
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
        throw std::runtime_error("Invalid module name.");
    }
    map.AddRegs(kRegID, CRegisterMap::RO, name.c_str(), 256);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, kDisplayName, 64);
    map.AddRegs(kRegType, CRegisterMap::RO, CTLInfo::GetTLType().c_str(), 64);
    map.AddRegs(kRegInterfaceID, CRegisterMap::RO, "", 256);
    map.AddRegs(kRegReserved, CRegisterMap::RO, "", 256);
    map.WriteReg(kRegInterfaceSelector, 0);
    m_port.AddDescription();
}

void CTL::RegCB_SelectorWrite(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    if (iAddress == kRegInterfaceSelector) {
        static_cast<CTL*>(pContext)->SelectInterface(iValue);
    }
}

void CTL::SelectInterface(uint32_t iIndex) {
    if (m_vec_sp_interfaces.empty()) {
        m_port.Map().SetMem(kRegInterfaceID, "");
    } else if (iIndex < m_vec_sp_interfaces.size()) {
        SetTextBlock(m_port.Map(), kRegInterfaceID, 256, m_vec_sp_interfaces[iIndex]->GetID());
    }
}

uint32_t CTL::GetNumInterfaces() {
    if (!m_b_list_updated) {
        UpdateInterfaceList(nullptr, kUpdateTimeout);
    }
    const uint32_t count = static_cast<uint32_t>(m_vec_sp_interfaces.size());
    m_port.Map().SetReg(kRegInterfaceCount, count);
    return count;
}

void CTL::GetInterfacesID(uint32_t iIndex, std::string& sID) {
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
    auto fresh = ReadComponentInterfaces();
    const bool changed = MergeRecords(m_vec_sp_interfaces, fresh,
                                      [](const auto& a, const auto& b) { return a->ToString() == b->ToString(); });
    if (changed && pbChanged != nullptr) {
        *pbChanged = true;
    }
    m_port.Map().SetReg(kRegInterfaceCount, static_cast<uint32_t>(m_vec_sp_interfaces.size()));
    m_port.Map().WriteReg(kRegInterfaceSelector, 0);
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
    const auto it = std::find(m_vec_p_open_interfaces.begin(), m_vec_p_open_interfaces.end(), pInterface);
    if (it != m_vec_p_open_interfaces.end()) {
        m_vec_p_open_interfaces.erase(it);
    }
}

void CTL::GetInterface(const std::string& sIfaceID, CInterface** ppInterface) {
    if (!m_b_list_updated) {
        UpdateInterfaceList(nullptr, kUpdateTimeout);
    }
    // An interface already open is handed out again, whichever form of its identifier is used,
    // so that one board never has two module objects.
    for (CInterface* open : m_vec_p_open_interfaces) {
        const auto info = open->GetInfo().lock();
        if (info && (info->GetID() == sIfaceID || info->IsInterface(sIfaceID))) {
            *ppInterface = open;
            return;
        }
    }
    for (const auto& record : m_vec_sp_interfaces) {
        if (!record->IsInterface(sIfaceID)) {
            continue;
        }
        Quibbon::IInterface* component = nullptr;
        m_p_system->OpenInterface(record->GetID().c_str(), &component);
        if (component == nullptr) {
            break;
        }
        auto copy = std::make_shared<CInterfaceInfo>(*record);
        auto* created = new CInterface(copy, this, component);
        m_vec_p_open_interfaces.push_back(created);
        *ppInterface = created;
        return;
    }
    throw invalid_id_exception(MsgComposer("Requested interface name '%s' is invalid.", sIfaceID.c_str()));
}

std::shared_ptr<CInterfaceInfo> CTL::FindRecord(const std::string& sIfaceID) const {
    for (CInterface* open : m_vec_p_open_interfaces) {
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

CTL* CTL::CheckCTL(void* hSystem) {
    auto* system = dynamic_cast<CTL*>(ICommonBase::FromHandle(hSystem));
    if (system == nullptr) {
        throw invalid_parameter_exception(" Invalid TL handle");
    }
    return system;
}

}  // namespace GenTL
