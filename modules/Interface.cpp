#include "modules/Interface.h"

#include <algorithm>

#include "events/EventRegistration.h"
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/Platform.h"
#include "gentl/TLInfo.h"
#include "gentl/controller/HandleRegistry.h"
#include "modules/Device.h"
#include "modules/ModuleSupport.h"
#include "modules/RemotePort.h"
#include "modules/TL.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CInterface::m_str_file_name = "KVTLI.xml";

namespace {

const PortProfile kInterfacePort{kFileNameInterface,
                              kResourceInterface,
                              kResourceTypeInterface,
                              kDescriptionAddressInterface,
                              9,
                              URLCopy::Self,
                              {"Specified iSize is invalid: iSize = 0x%p.",
                               "Invalid Buffer Size; Required = %d, Prepared = %d."},
                              false,
                              "Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                              "Specified iCmd is invalid: iCmd = 0x%p."};
constexpr uint64_t kUpdateTimeout = 500;
constexpr int64_t kModuleEventID = 1234;

enum InterfaceRegister : uint64_t {
    kRegInterfaceID = 0x000,
    kRegDisplayName = 0x100,
    kRegUpdateDeviceList = 0x280,
    kRegDeviceID = 0x380,
    kRegDeviceCount = 0x480,
    kRegDeviceSelector = 0x484,
    kRegDeviceVendorName = 0x488,
    kRegDeviceModelName = 0x4C8,
    kRegDeviceType = 0x508,
    kRegReserved = 0x548,
    kRegDeviceAccessStatus = 0x54C,
    kRegDevicesOpen = 0x590,
    kRegDeviceIsAccessible = 0x594,
    kRegFeatureChangeTarget = 0x5A0,
    kRegFeatureChangeDestination = 0x5A4,
    kRegEventNotification = 0x5B0,
    kRegModuleEventTarget = 0x5C0,
};

constexpr uint64_t kTextBlock = 256;
// The vendor and model blocks overlap the registers after them; texts stay within the length the
// description gives them.
constexpr uint64_t kDescribedNameLength = 64;

}  // namespace

CInterface::CInterface(std::shared_ptr<CInterfaceInfo> info, std::shared_ptr<CTL> spTL,
                       Quibbon::IInterface* pComponent)
    : CPortModule(kInterfacePort), m_sp_info(std::move(info)), m_sp_tl(std::move(spTL)), m_p_component(pComponent) {
    InitPort();
    m_sp_event_invalidate = std::make_shared<CEventFeatureInvalidate>();
    m_sp_event_change = std::make_shared<CEventFeatureChange>();
    m_sp_event_module = std::make_shared<CEventGenApiEvent>();
}

CInterface::~CInterface() {
    if (m_p_component != nullptr) {
        m_p_component->Release();
    }
}

void CInterface::Close() noexcept {
    std::vector<std::shared_ptr<CDevice>> open;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
        if (m_b_closed) {
            return;
        }
        m_b_closed = true;
        m_vec_sp_devices.clear();
        open = m_vec_sp_open_devices;
        Map().SetReg(kRegDeviceCount, 0);
    }
    // The open devices go first, outside the lock: closing a device stops its acquisitions.
    for (const auto& device : open) {
        device->Close();
    }
    // Consumers still waiting on this interface's events are released; the event objects stay
    // alive for as long as a running call uses them.
    ShutdownEvent(*m_sp_event_invalidate);
    ShutdownEvent(*m_sp_event_change);
    ShutdownEvent(*m_sp_event_module);
    CHandleRegistry::Instance().Remove(Handle());
    m_sp_tl->ReleaseChild(this);
}

void CInterface::InitPort() {
    CRegisterMap& map = Map();
    void* const self = this;
    map.AddReg(kRegUpdateDeviceList, CRegisterMap::WO, 0, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    map.AddReg(kRegDevicesOpen, CRegisterMap::RO, 0);
    map.AddRegs(kRegInterfaceID, CRegisterMap::RO, m_sp_info->ToString().substr(0, kTextBlock - 1).c_str(), kTextBlock);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, m_sp_info->GetDisplayName().substr(0, kTextBlock - 1).c_str(),
                kTextBlock);
    map.AddRegs(kRegDeviceID, CRegisterMap::RW, "My Device ID", kTextBlock, false, &RegCB_AccessWrite, self,
                &RegCB_AccessRead);
    map.AddReg(kRegDeviceCount, CRegisterMap::RO, 2, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    map.AddReg(kRegDeviceSelector, CRegisterMap::RW, 0, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    map.AddRegs(kRegDeviceVendorName, CRegisterMap::RO, "", kTextBlock);
    map.AddRegs(kRegDeviceModelName, CRegisterMap::RO, "", kTextBlock);
    map.AddRegs(kRegDeviceType, CRegisterMap::RO, "", kTextBlock);
    map.AddReg(kRegReserved, CRegisterMap::RO, 0);
    map.AddReg(kRegDevicesOpen, CRegisterMap::RO, 0);
    map.AddReg(kRegDeviceAccessStatus, CRegisterMap::RO, 3);
    map.AddReg(kRegDeviceIsAccessible, CRegisterMap::RO, 0);
    map.AddReg(kRegFeatureChangeTarget, CRegisterMap::RW, 0, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    map.AddReg(kRegFeatureChangeDestination, CRegisterMap::RW, 1, false, &RegCB_AccessWrite, self,
               &RegCB_AccessRead);
    map.AddReg(kRegEventNotification, CRegisterMap::RW, 0, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    map.AddReg(kRegModuleEventTarget, CRegisterMap::RW, 0, false, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    AddDescription();
}

void CInterface::RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    auto* self = static_cast<CInterface*>(pContext);
    switch (iAddress) {
        case kRegUpdateDeviceList: self->UpdateDeviceList(nullptr, kUpdateTimeout); break;
        case kRegDeviceSelector: {
            std::lock_guard<std::recursive_mutex> lock(self->m_mutex_state);
            if (!self->m_vec_sp_devices.empty()) {
                self->PushEventFeatureInvalidate("DeviceIsAccessible");
                self->SelectDevice(iValue);
            }
            break;
        }
        case kRegFeatureChangeTarget:
            self->PushEventFeatureChange("TestEventFeatureChangeDestination", MsgComposer("%u", iValue == 0 ? 1u : 0u));
            break;
        case kRegModuleEventTarget:
            if (self->Map().GetReg(kRegEventNotification) != 0) {
                const uint32_t stamp = static_cast<uint32_t>(GetTimeStamp());
                self->PushEventModule(kModuleEventID, &stamp, sizeof stamp);
            }
            break;
        default: break;
    }
}

void CInterface::RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    auto* self = static_cast<CInterface*>(pContext);
    if (iAddress == kRegDeviceSelector) {
        std::lock_guard<std::recursive_mutex> lock(self->m_mutex_state);
        if (!self->m_vec_sp_devices.empty()) {
            self->SelectDevice(iValue);
        }
    }
}

void CInterface::SelectDevice(uint32_t iIndex) {
    // A selector beyond the list leaves the selected device's registers as they are.
    if (iIndex >= m_vec_sp_devices.size()) {
        return;
    }
    const CDeviceInfo& device = *m_vec_sp_devices[iIndex];
    CRegisterMap& map = Map();
    SetTextBlock(map, kRegDeviceVendorName, kDescribedNameLength, device.m_str_vendor);
    SetTextBlock(map, kRegDeviceModelName, kDescribedNameLength, device.m_str_model);
    SetTextBlock(map, kRegDeviceID, kTextBlock, device.GetID());
    map.SetReg(kRegDeviceAccessStatus, 1);
    map.SetReg(kRegDeviceIsAccessible, 1);
}

void CInterface::ReselectDevice() {
    if (m_vec_sp_devices.empty()) {
        return;
    }
    uint32_t selector = Map().GetReg(kRegDeviceSelector);
    if (selector >= m_vec_sp_devices.size()) {
        selector = 0;
        Map().SetReg(kRegDeviceSelector, selector);
    }
    SelectDevice(selector);
}

PortInfoTexts CInterface::GetPortInfoTexts() {
    return {m_sp_info->ToString(),
            CTLInfo::GetVendorName(),
            CTLInfo::GetModelName(),
            CTLInfo::GetTLType(),
            "TLInterface",
            m_sp_tl->FormatVersion(m_sp_tl->GetTLVersion()),
            "InterfacePort"};
}

ICommonBase* CInterface::GetParent() { return m_sp_tl.get(); }

uint32_t CInterface::GetNumDevices() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    return static_cast<uint32_t>(m_vec_sp_devices.size());
}

void CInterface::GetDeviceID(uint32_t iIndex, std::string& sID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (iIndex >= m_vec_sp_devices.size()) {
        throw invalid_index_exception(MsgComposer("Error accessing DeviceID %d", static_cast<int>(iIndex)));
    }
    sID = m_vec_sp_devices[iIndex]->GetID();
}

std::vector<std::shared_ptr<CDeviceInfo>> CInterface::ReadComponentDevices() {
    std::vector<std::shared_ptr<CDeviceInfo>> fresh;
    uint32_t count = 0;
    if (m_p_component == nullptr || m_p_component->GetNumDevices(&count) < 0) {
        return fresh;
    }
    for (uint32_t index = 0; index < count; ++index) {
        const std::string id = ReadComponentText(
            [&](char* text, uint64_t* size) { return m_p_component->GetDeviceID(index, text, size); },
            Quibbon::kIdTextSize);
        Quibbon::IDevice* device = nullptr;
        if (m_p_component->OpenDevice(id.c_str(), &device) < 0 || device == nullptr) {
            continue;
        }
        const auto parameter = [&](int32_t number) {
            return ReadComponentText(
                [&](char* text, uint64_t* size) { return device->GetParameter(number, text, size); },
                Quibbon::kInfoTextSize);
        };
        const std::string vendor = parameter(Quibbon::kParamVendor);
        const std::string model = parameter(Quibbon::kParamModel);
        const std::string serial = parameter(Quibbon::kParamSerialNumber);
        const std::string userName = parameter(Quibbon::kParamUserName);
        device->Release();
        auto record = std::make_shared<CDeviceInfo>(id, vendor, model, serial);
        // A camera that names itself keeps its name; the record's default stands otherwise.
        if (!userName.empty()) {
            record->m_str_user_defined_name = userName;
        }
        fresh.push_back(std::move(record));
    }
    return fresh;
}

void CInterface::UpdateDeviceList(bool8_t* pbChanged, uint64_t /*iTimeout*/) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    m_b_list_updated = true;
    auto fresh = ReadComponentDevices();
    const bool changed =
        MergeRecords(m_vec_sp_devices, fresh, [](const auto& a, const auto& b) { return a->GetID() == b->GetID(); });
    if (changed && pbChanged != nullptr) {
        *pbChanged = true;
    }
    Map().SetReg(kRegDeviceCount, static_cast<uint32_t>(m_vec_sp_devices.size()));
    ReselectDevice();
}

std::weak_ptr<CInterfaceInfo> CInterface::GetInfo() { return m_sp_info; }

void CInterface::GetPointerToDeviceInfo(const std::string& sDeviceID, std::shared_ptr<CDeviceInfo>& info) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (!m_b_list_updated) {
        UpdateDeviceList(nullptr, kUpdateTimeout);
    }
    if (const auto open = FindOpenDevice(sDeviceID)) {
        info = open->GetDevInfo();
        return;
    }
    if (auto record = FindListedDevice(sDeviceID)) {
        info = std::move(record);
    }
}

std::shared_ptr<CDeviceInfo> CInterface::FindListedDevice(const std::string& sDeviceID) const {
    for (const auto& record : m_vec_sp_devices) {
        if (record->IsDevice(sDeviceID)) {
            return record;
        }
    }
    return nullptr;
}

std::shared_ptr<CDevice> CInterface::FindOpenDevice(const std::string& sDeviceID) const {
    for (const auto& device : m_vec_sp_open_devices) {
        if (device->GetDevInfo()->IsDevice(sDeviceID)) {
            return device;
        }
    }
    return nullptr;
}

std::shared_ptr<CDevice> CInterface::OpenDevice(const std::string& sDeviceID, int32_t iAccessFlags) {
    if (iAccessFlags > DEVICE_ACCESS_EXCLUSIVE) {
        throw access_exception("Device access denied");
    }
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (m_b_closed) {
        throw invalid_handle_exception("The interface module has been closed.");
    }
    if (FindOpenDevice(sDeviceID)) {
        throw resource_in_use_exception("Device already open");
    }
    std::shared_ptr<CDeviceInfo> record = FindListedDevice(sDeviceID);
    if (!record) {
        UpdateDeviceList(nullptr, kUpdateTimeout);
        record = FindListedDevice(sDeviceID);
    }
    if (!record) {
        throw std::runtime_error("Device not available");
    }
    const std::string id = record->GetID();
    auto copy = std::make_shared<CDeviceInfo>(*record);
    Quibbon::IDevice* component = nullptr;
    if (m_p_component == nullptr || m_p_component->OpenDevice(id.c_str(), &component) < 0 || component == nullptr) {
        throw runtime_error_with_input("Unable to open device ", id);
    }
    auto device = CDevice::Create(shared_from_this(), id, copy, component, iAccessFlags);
    m_vec_sp_open_devices.push_back(device);
    CHandleRegistry::Instance().Add(std::static_pointer_cast<ICommonBase>(device));
    CHandleRegistry::Instance().Add(AsModule(device->GetPort()));
    PublishDeviceCounts();
    return device;
}

void CInterface::PublishDeviceCounts() {
    Map().SetReg(kRegDeviceCount, static_cast<uint32_t>(m_vec_sp_devices.size()));
    Map().SetReg(kRegDevicesOpen, static_cast<uint32_t>(m_vec_sp_open_devices.size()));
}

void CInterface::ReleaseDevice(const std::string& sDeviceID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    const auto it = std::find_if(m_vec_sp_open_devices.begin(), m_vec_sp_open_devices.end(),
                                 [&sDeviceID](const auto& device) { return device->GetDevInfo()->GetID() == sDeviceID; });
    if (it != m_vec_sp_open_devices.end()) {
        m_vec_sp_open_devices.erase(it);
    }
}

void CInterface::ReleaseDevice(const std::weak_ptr<CDevice>& device) {
    const std::shared_ptr<CDevice> target = device.lock();
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    const auto it = std::find(m_vec_sp_open_devices.begin(), m_vec_sp_open_devices.end(), target);
    if (target && it != m_vec_sp_open_devices.end()) {
        m_vec_sp_open_devices.erase(it);
    }
}

int32_t CInterface::QueryAccessStatus(const std::string& sDeviceID) {
    Quibbon::DeviceStatus status{};
    if (m_p_component == nullptr || m_p_component->GetDeviceStatus(sDeviceID.c_str(), &status) < 0) {
        throw invalid_parameter_exception("Error retrieving device status ( wrong name ) ");
    }
    return status.accessible != 0 ? DEVICE_ACCESS_STATUS_READWRITE : DEVICE_ACCESS_STATUS_NOACCESS;
}

void CInterface::GetDeviceInfo(const std::string& sDeviceID, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                               void* pBuffer, size_t* piSize) {
    if (piSize == nullptr) {
        throw invalid_parameter_exception(MsgComposer("Specified iSize is invalid: iSize = 0x%p.", piSize));
    }
    std::shared_ptr<CDeviceInfo> record;
    GetPointerToDeviceInfo(sDeviceID, record);
    if (!record) {
        throw runtime_error_with_input("Unable to find device  ", sDeviceID);
    }
    switch (iInfoCmd) {
        case DEVICE_INFO_ID: SetReturnParam(pBuffer, piSize, piType, record->GetID()); break;
        case DEVICE_INFO_VENDOR: SetReturnParam(pBuffer, piSize, piType, record->m_str_vendor); break;
        case DEVICE_INFO_MODEL: SetReturnParam(pBuffer, piSize, piType, record->m_str_model); break;
        case DEVICE_INFO_TLTYPE: SetReturnParam(pBuffer, piSize, piType, std::string("Custom")); break;
        case DEVICE_INFO_DISPLAYNAME: SetReturnParam(pBuffer, piSize, piType, record->GetDisplayName()); break;
        case DEVICE_INFO_ACCESS_STATUS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<int>(QueryAccessStatus(record->GetID())));
            break;
        case DEVICE_INFO_USER_DEFINED_NAME:
            SetReturnParam(pBuffer, piSize, piType, record->m_str_user_defined_name);
            break;
        case DEVICE_INFO_SERIAL_NUMBER: SetReturnParam(pBuffer, piSize, piType, record->m_str_serial_number); break;
        case DEVICE_INFO_VERSION: SetReturnParam(pBuffer, piSize, piType, record->m_str_version); break;
        default:
            throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iInfoCmd));
    }
}

void CInterface::Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) {
    const bool hasParent = ICommonBase::FromHandleAs<CTL>(m_sp_tl.get()) != nullptr;
    switch (hasParent ? iEventID : -1) {
        case EVENT_FEATURE_INVALIDATE: RegisterEvent(m_sp_event_invalidate, phEvent); return;
        case EVENT_FEATURE_CHANGE: RegisterEvent(m_sp_event_change, phEvent); return;
        case EVENT_MODULE: RegisterEvent(m_sp_event_module, phEvent); return;
        default: throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
    }
}

void CInterface::Unregister(EVENT_TYPE iEventID) {
    switch (iEventID) {
        case EVENT_FEATURE_INVALIDATE: UnregisterEvent(m_sp_event_invalidate); return;
        case EVENT_FEATURE_CHANGE: UnregisterEvent(m_sp_event_change); return;
        case EVENT_MODULE: UnregisterEvent(m_sp_event_module); return;
        default: throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
    }
}

void CInterface::PushEventFeatureInvalidate(const std::string& sFeature) {
    m_sp_event_invalidate->Emplace(sFeature);
}

void CInterface::PushEventFeatureChange(const std::string& sFeature, const std::string& sValue) {
    m_sp_event_change->Emplace(sFeature, sValue);
}

void CInterface::PushEventModule(int64_t iEventID, const void* pData, uint64_t iSize) {
    m_sp_event_module->Emplace(iEventID, pData, iSize);
}

std::shared_ptr<CInterface> CInterface::CheckCI(void* hIface) {
    if (hIface == nullptr) {
        throw invalid_parameter_exception(" Invalid Interface Handle");
    }
    auto iface = ICommonBase::FromHandleAs<CInterface>(hIface);
    if (!iface) {
        throw invalid_parameter_exception(MsgComposer("Specified hI is not a nullptr but invalid: hI = 0x%p.", hIface));
    }
    return iface;
}

}  // namespace GenTL
