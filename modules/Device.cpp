#include "modules/Device.h"

#include <algorithm>

#include "events/EventRegistration.h"
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"
#include "gentl/controller/HandleRegistry.h"
#include "modules/CameraPort.h"
#include "modules/DataStream.h"
#include "modules/DevicePort.h"
#include "modules/Interface.h"
#include "modules/TL.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CDevice::m_str_file_name = "KVDEVTL.xml";

namespace {

const PortProfile kDevicePort{kFileNameDevice,
                           kResourceDevice,
                           kResourceTypeDevice,
                           kDescriptionAddressDevice,
                           4,
                           URLCopy::Writer,
                           {nullptr, nullptr},
                           false,
                           "Specified i_url_index is invalid: i_url_index = 0x%p.",
                           "Specified i_info_cmd is invalid: i_info_cmd = 0x%p."};

enum DeviceRegister : uint64_t {
    kRegStreamCount = 0x004,
    kRegStreamSelector = 0x008,
    kRegStreamID = 0x080,
    kRegDeviceID = 0x100,
    kRegVendorName = 0x140,
    kRegModelName = 0x180,
    kRegTLType = 0x1C0,
    kRegSerialNumber = 0x280,
    kRegUserDefinedName = 0x2C0,
    kRegDisplayName = 0x300,
    kRegStreamDisplayName = 0x400,
};

constexpr char kStreamID[] = "StreamID";

}  // namespace

std::shared_ptr<CDevice> CDevice::Create(std::shared_ptr<CInterface> spInterface, const std::string& sID,
                                         std::shared_ptr<CDeviceInfo> spInfo, Quibbon::IDevice* pComponent,
                                         int32_t iAccessFlags) {
    std::shared_ptr<CDevice> device(
        new CDevice(std::move(spInterface), sID, std::move(spInfo), pComponent, iAccessFlags));
    if (CCameraPort::DescribesItself(pComponent)) {
        device->m_sp_port = std::make_shared<CCameraPort>(device, device->m_sp_event_remote);
    } else {
        device->m_sp_port = std::make_shared<CDevicePort>(device, device->m_sp_event_remote);
    }
    return device;
}

CDevice::CDevice(std::shared_ptr<CInterface> spInterface, const std::string& sID, std::shared_ptr<CDeviceInfo> spInfo,
                 Quibbon::IDevice* pComponent, int32_t iAccessFlags)
    : CPortModule(kDevicePort),
      m_str_id(sID),
      m_sp_interface(std::move(spInterface)),
      m_sp_info(std::move(spInfo)),
      m_p_component(pComponent),
      m_i_access_flags(iAccessFlags),
      m_sp_event_error(std::make_shared<CEventError>()),
      m_sp_event_remote(std::make_shared<CEventGenApiEvent>()) {
    InitPort();
}

CDevice::~CDevice() {
    if (m_p_component != nullptr) {
        m_p_component->Release();
    }
}

void CDevice::InitPort() {
    CRegisterMap& map = Map();
    map.AddRegs(kRegDeviceID, CRegisterMap::RO, m_sp_info->GetID().c_str(), 64);
    map.AddRegs(kRegVendorName, CRegisterMap::RO, m_sp_info->m_str_vendor.c_str(), 64);
    map.AddRegs(kRegModelName, CRegisterMap::RO, m_sp_info->m_str_model.c_str(), 64);
    map.AddRegs(kRegTLType, CRegisterMap::RO, CTLInfo::GetTLType().c_str(), 64);
    map.AddRegs(kRegSerialNumber, CRegisterMap::RO, m_sp_info->m_str_serial_number.c_str(), 64);
    map.AddRegs(kRegUserDefinedName, CRegisterMap::RO, m_sp_info->m_str_user_defined_name.c_str(), 64);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, m_sp_info->GetDisplayName().c_str(), 256);
    map.AddReg(kRegStreamCount, CRegisterMap::RO, 1);
    map.AddReg(kRegStreamSelector, CRegisterMap::RW, 0);
    map.AddRegs(kRegStreamID, CRegisterMap::RO, kStreamID, 128);
    map.AddRegs(kRegStreamDisplayName, CRegisterMap::RO, kStreamID, 256);
    AddDescription();
}

void CDevice::Close() noexcept {
    std::vector<std::shared_ptr<CDataStream>> streams;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
        if (m_b_closed) {
            return;
        }
        m_b_closed = true;
        streams = m_vec_sp_streams;
    }
    // The streams go first, outside the lock: closing one joins its acquisition thread.
    for (const auto& stream : streams) {
        stream->Close();
    }
    ShutdownEvent(*m_sp_event_error);
    ShutdownEvent(*m_sp_event_remote);
    CHandleRegistry::Instance().Remove(m_sp_port->Handle());
    CHandleRegistry::Instance().Remove(Handle());
    m_sp_interface->ReleaseDevice(m_str_id);
}

PortInfoTexts CDevice::GetPortInfoTexts() {
    CTL& system = m_sp_interface->GetTL();
    return {"TLDEV::" + m_str_id,
            CTLInfo::GetVendorName(),
            CTLInfo::GetModelName(),
            CTLInfo::GetTLType(),
            "TLDevice",
            system.FormatVersion(system.GetTLVersion()),
            "DevicePort"};
}

ICommonBase* CDevice::GetParent() { return m_sp_interface.get(); }

std::shared_ptr<CDeviceInfo> CDevice::GetDevInfo() { return m_sp_info; }

std::shared_ptr<CRemotePort> CDevice::GetPort() { return m_sp_port; }

void CDevice::GetInfo(DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t& iSize) {
    const CDeviceInfo& info = *m_sp_info;
    switch (iInfoCmd) {
        case DEVICE_INFO_ID: SetReturnParam(pBuffer, &iSize, piType, info.GetID()); break;
        case DEVICE_INFO_VENDOR: SetReturnParam(pBuffer, &iSize, piType, info.m_str_vendor); break;
        case DEVICE_INFO_MODEL: SetReturnParam(pBuffer, &iSize, piType, info.m_str_model); break;
        case DEVICE_INFO_TLTYPE: SetReturnParam(pBuffer, &iSize, piType, std::string("Custom")); break;
        case DEVICE_INFO_DISPLAYNAME: SetReturnParam(pBuffer, &iSize, piType, info.GetDisplayName()); break;
        case DEVICE_INFO_ACCESS_STATUS: SetReturnParam(pBuffer, &iSize, piType, static_cast<int>(m_i_access_flags)); break;
        case DEVICE_INFO_USER_DEFINED_NAME: SetReturnParam(pBuffer, &iSize, piType, info.m_str_user_defined_name); break;
        case DEVICE_INFO_SERIAL_NUMBER: SetReturnParam(pBuffer, &iSize, piType, info.m_str_serial_number); break;
        case DEVICE_INFO_VERSION: SetReturnParam(pBuffer, &iSize, piType, info.m_str_version); break;
        default:
            throw implementation_exception(
                MsgComposer("Requested info_cmd is not implemented; info_cmd = %d.", iInfoCmd));
    }
}

uint32_t CDevice::GetNumDataStreams() {
    uint32_t count = 0;
    if (m_p_component != nullptr && m_p_component->GetNumDataStreams(&count) >= 0) {
        m_i_num_data_streams = count;
    }
    return m_i_num_data_streams;
}

void CDevice::GetDataStreamID(uint32_t iIndex, char* sDataStreamID, size_t* piSize) {
    if (iIndex != 0) {
        throw invalid_index_exception(MsgComposer("Invalid data stream index %d.", static_cast<int>(iIndex)));
    }
    SetReturnParam(sDataStreamID, piSize, nullptr, std::string("DS0"));
}

std::shared_ptr<CDataStream> CDevice::CreateDataStream(const std::string& sID) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    if (m_b_closed) {
        throw invalid_handle_exception("The device module has been closed.");
    }
    // Identifiers naming the same stream number ("DS0", "DS00") name the same stream.
    const std::string normalised = "DS" + std::to_string(CDataStream::ParseStreamNumber(sID));
    for (const auto& open : m_vec_sp_streams) {
        if (open->GetID() == normalised) {
            throw resource_in_use_exception("Data stream already open");
        }
    }
    auto stream = CDataStream::Create(sID, shared_from_this());
    m_vec_sp_streams.push_back(stream);
    CHandleRegistry::Instance().Add(std::static_pointer_cast<ICommonBase>(stream));
    Map().SetReg(kRegStreamCount, static_cast<uint32_t>(m_vec_sp_streams.size()));
    return stream;
}

std::shared_ptr<CDataStream> CDevice::GetDS(uint32_t iIndex) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    return iIndex < m_vec_sp_streams.size() ? m_vec_sp_streams[iIndex] : nullptr;
}

void CDevice::ReleaseDS(uint32_t iIndex) {
    std::shared_ptr<CDataStream> stream;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
        if (iIndex >= m_vec_sp_streams.size()) {
            throw invalid_parameter_exception(MsgComposer("Specified i_index is invalid: i_index = 0x%p.",
                                                          reinterpret_cast<void*>(static_cast<uintptr_t>(iIndex))));
        }
        stream = m_vec_sp_streams[iIndex];
        m_vec_sp_streams.erase(m_vec_sp_streams.begin() + iIndex);
    }
    try {
        stream->DSStopAcquisition(ACQ_STOP_FLAGS_DEFAULT);
    } catch (const std::exception&) {
        // A stream that does not acquire has nothing to stop.
    }
}

void CDevice::ReleaseDS(const CDataStream* pStream) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex_state);
    const auto it = std::find_if(m_vec_sp_streams.begin(), m_vec_sp_streams.end(),
                                 [pStream](const auto& stream) { return stream.get() == pStream; });
    if (it != m_vec_sp_streams.end()) {
        m_vec_sp_streams.erase(it);
    }
}

void CDevice::PushEventRemoteDevice(int64_t iEventID, const void* pData, uint64_t iSize) {
    m_sp_event_remote->Emplace(iEventID, pData, iSize);
}

void CDevice::Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) {
    switch (iEventID) {
        case EVENT_ERROR: RegisterEvent(m_sp_event_error, phEvent); return;
        case EVENT_REMOTE_DEVICE: RegisterEvent(m_sp_event_remote, phEvent); return;
        default:
            throw implementation_exception(
                MsgComposer("Requested i_event_id is not implemented; i_event_id = %d.", iEventID));
    }
}

void CDevice::Unregister(EVENT_TYPE iEventID) {
    switch (iEventID) {
        case EVENT_ERROR: UnregisterEvent(m_sp_event_error); return;
        case EVENT_REMOTE_DEVICE: UnregisterEvent(m_sp_event_remote); return;
        default:
            throw implementation_exception(
                MsgComposer("Requested i_event_id is not implemented; i_event_id = %d.", iEventID));
    }
}

std::shared_ptr<CDevice> CDevice::CheckCDevice(void* hDevice) {
    if (hDevice == nullptr) {
        return nullptr;
    }
    auto device = ICommonBase::FromHandleAs<CDevice>(hDevice);
    if (!device) {
        throw invalid_parameter_exception(
            MsgComposer("Specified h_device is not a nullptr but invalid: h_device = 0x%p.", hDevice));
    }
    return device;
}

}  // namespace GenTL
