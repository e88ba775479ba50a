#include "gentl/controller/LibraryController.h"

#include <cstring>

#include "gentl/Exceptions.h"
#include "gentl/TLIError.h"
#include "gentl/controller/HandleRegistry.h"
#include "modules/Device.h"
#include "modules/DevicePort.h"
#include "modules/TL.h"

namespace GenTL {

CLibraryController g_Controller;

namespace {

// Ordered substrings of runtime-error texts and the codes they stand for.
struct RuntimeErrorRule {
    const char* substring;
    int code;
};

constexpr RuntimeErrorRule kRuntimeErrorRules[] = {
    {"Invalid", GC_ERR_INVALID_HANDLE},
    {"not implemented", GC_ERR_NOT_IMPLEMENTED},
    {"Unable to find", GC_ERR_INVALID_ID},
    {"Device already open", GC_ERR_RESOURCE_IN_USE},
    {"Device not available", GC_ERR_NOT_AVAILABLE},
    {"Device access denied", GC_ERR_ACCESS_DENIED},
    {"Data stream already open", GC_ERR_RESOURCE_IN_USE},
};

template <typename Map>
void ClearLocked(CCriticalSection& section, Map& map, std::atomic<size_t>& count) {
    CAutoLock lock(section);
    map.clear();
    count = 0;
}

}  // namespace

CLibraryController::CLibraryController() {
    // The registry must outlive the controller, whose destructor may still close modules.
    CHandleRegistry::Instance();
}

CLibraryController::~CLibraryController() { CloseLib(); }

int CLibraryController::Check_SetupInitialized() {
    if (!m_b_initialized) {
        return GetErrorCode(GC_ERR_NOT_INITIALIZED, "GC_ERR_NOT_INITIALIZED");
    }
    return GC_ERR_SUCCESS;
}

int CLibraryController::Check_Setup_And_Transport_Initialized() {
    if (const int code = Check_SetupInitialized()) {
        return code;
    }
    if (m_p_transport_layer.load() == nullptr) {
        return GetErrorCode(GC_ERR_INVALID_HANDLE, "GC_ERR_INVALID_HANDLE");
    }
    return GC_ERR_SUCCESS;
}

int CLibraryController::Check_Setup_And_Transport_Initialized_With_Open_Interface() {
    if (const int code = Check_SetupInitialized()) {
        return code;
    }
    if (m_p_transport_layer.load() == nullptr || GetNumberOpenInterfaces() == 0) {
        return GetErrorCode(GC_ERR_INVALID_HANDLE, "GC_ERR_INVALID_HANDLE");
    }
    return GC_ERR_SUCCESS;
}

bool CLibraryController::InitLib() {
    std::lock_guard<std::mutex> lock(m_mutex_system);
    bool expected = false;
    return m_b_initialized.compare_exchange_strong(expected, true);
}

bool CLibraryController::PublishTransportLayer(const std::shared_ptr<CTL>& system) {
    std::lock_guard<std::mutex> lock(m_mutex_system);
    if (!m_b_initialized || m_sp_transport_layer) {
        return false;
    }
    m_sp_transport_layer = system;
    m_p_transport_layer = system.get();
    CHandleRegistry::Instance().Add(std::static_pointer_cast<ICommonBase>(system));
    return true;
}

size_t CLibraryController::GetNumberOpenInterfaces() { return m_i_interfaces; }

size_t CLibraryController::GetNumberOpenDevices() { return m_i_open_devices; }

size_t CLibraryController::GetTotalNumberOpenStreams() { return m_i_data_streams; }

size_t CLibraryController::GetNumberAnnouncedBuffers() { return m_i_announced_buffers; }

int CLibraryController::AddInterface(const std::string& id, void** phIface) {
    CAutoLock lock(m_cs_interfaces);
    for (const auto& [handle, name] : m_map_interfaces) {
        if (name == id) {
            *phIface = handle;
            return GC_ERR_RESOURCE_IN_USE;
        }
    }
    m_map_interfaces.emplace(*phIface, id);
    m_i_interfaces = m_map_interfaces.size();
    return GC_ERR_SUCCESS;
}

bool CLibraryController::FindInterface(void* hIface) {
    CAutoLock lock(m_cs_interfaces);
    return m_map_interfaces.count(hIface) != 0;
}

void CLibraryController::RemoveInterface(void* hIface) {
    CAutoLock lock(m_cs_interfaces);
    if (m_map_interfaces.erase(hIface) == 0) {
        return;
    }
    m_i_interfaces = m_map_interfaces.size();
    CAutoLock devices(m_cs_open_devices);
    for (auto it = m_map_open_devices.begin(); it != m_map_open_devices.end();) {
        if (it->second.h_iface == hIface) {
            ForgetDeviceEntries(it->first);
            it = m_map_open_devices.erase(it);
        } else {
            ++it;
        }
    }
    m_i_open_devices = m_map_open_devices.size();
}

void CLibraryController::AddOpenDevice(void* hIface, std::weak_ptr<CDevice>& device) {
    const std::shared_ptr<CDevice> live = device.lock();
    if (!live) {
        return;
    }
    CAutoLock lock(m_cs_open_devices);
    m_map_open_devices.insert_or_assign(live->Handle(), S_Open_Device{hIface, device});
    m_i_open_devices = m_map_open_devices.size();
}

bool CLibraryController::FindOpenDeviceHandle(void* hDevice, void** phIface) {
    CAutoLock lock(m_cs_open_devices);
    const auto it = m_map_open_devices.find(hDevice);
    if (it == m_map_open_devices.end() || it->second.device.expired()) {
        return false;
    }
    if (phIface != nullptr) {
        *phIface = it->second.h_iface;
    }
    return true;
}

bool CLibraryController::FindOpenDeviceName(void* hIface, const std::string& sName) {
    CAutoLock lock(m_cs_open_devices);
    for (const auto& entry : m_map_open_devices) {
        const std::shared_ptr<CDevice> device =
            entry.second.h_iface == hIface ? entry.second.device.lock() : nullptr;
        if (device && device->GetName() == sName) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<CDevice> CLibraryController::RemoveOpenDevice(void* hDevice) {
    CAutoLock lock(m_cs_open_devices);
    const auto it = m_map_open_devices.find(hDevice);
    std::shared_ptr<CDevice> device = it != m_map_open_devices.end() ? it->second.device.lock() : nullptr;
    if (!device) {
        return nullptr;
    }
    ForgetDeviceEntries(hDevice);
    m_map_open_devices.erase(it);
    m_i_open_devices = m_map_open_devices.size();
    return device;
}

void CLibraryController::ForgetDeviceEntries(void* hDevice) {
    {
        CAutoLock streams(m_cs_data_streams);
        for (auto it = m_map_data_streams.begin(); it != m_map_data_streams.end();) {
            if (it->second == hDevice) {
                RemoveAllAnnouncedBuffers(it->first);
                it = m_map_data_streams.erase(it);
            } else {
                ++it;
            }
        }
        m_i_data_streams = m_map_data_streams.size();
    }
    CAutoLock ports(m_cs_ports);
    m_map_ports.erase(hDevice);
    m_i_ports = m_map_ports.size();
}

void CLibraryController::AddPort(void* hDevice, void* hPort) {
    CAutoLock lock(m_cs_ports);
    m_map_ports.emplace(hDevice, hPort);
    m_i_ports = m_map_ports.size();
}

void CLibraryController::AddDataStream(void* hDevice, void* hDataStream) {
    CAutoLock lock(m_cs_data_streams);
    m_map_data_streams.insert_or_assign(hDataStream, hDevice);
    m_i_data_streams = m_map_data_streams.size();
}

bool CLibraryController::FindDataStreamHandle(void* hDataStream, void** phDevice) {
    CAutoLock lock(m_cs_data_streams);
    const auto it = m_map_data_streams.find(hDataStream);
    if (it == m_map_data_streams.end()) {
        return false;
    }
    if (phDevice != nullptr) {
        *phDevice = it->second;
    }
    return true;
}

void CLibraryController::RemoveDataStream(void* hDataStream) {
    CAutoLock lock(m_cs_data_streams);
    m_map_data_streams.erase(hDataStream);
    m_i_data_streams = m_map_data_streams.size();
}

void CLibraryController::AddAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info) {
    CAutoLock lock(m_cs_announced_buffers);
    m_map_announced_buffers.emplace(hDataStream, info);
    m_i_announced_buffers = m_map_announced_buffers.size();
}

bool CLibraryController::FindAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info) {
    CAutoLock lock(m_cs_announced_buffers);
    const auto range = m_map_announced_buffers.equal_range(hDataStream);
    for (auto it = range.first; it != range.second; ++it) {
        const S_Announced_Buffer_Information& entry = it->second;
        if (entry.p_memory != nullptr && entry.p_memory == info.p_memory && entry.h_buffer == info.h_buffer &&
            entry.i_size == info.i_size) {
            return true;
        }
    }
    return false;
}

void CLibraryController::RemoveAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info) {
    CAutoLock lock(m_cs_announced_buffers);
    const auto range = m_map_announced_buffers.equal_range(hDataStream);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.h_buffer == info.h_buffer && it->second.p_memory == info.p_memory) {
            m_map_announced_buffers.erase(it);
            m_i_announced_buffers = m_map_announced_buffers.size();
            return;
        }
    }
}

void CLibraryController::RemoveAllAnnouncedBuffers(void* hDataStream) {
    CAutoLock lock(m_cs_announced_buffers);
    m_map_announced_buffers.erase(hDataStream);
    m_i_announced_buffers = m_map_announced_buffers.size();
}

int CLibraryController::CheckReadOnlyMode(void* hPort) {
    if (hPort == nullptr) {
        throw invalid_handle_exception("Invalid Handle");
    }
    const std::shared_ptr<ICommonBase> module = ICommonBase::FromHandle(hPort);
    std::shared_ptr<CDevice> device = ICommonBase::FromHandleAs<CDevice>(hPort);
    if (!device && module && module->Kind() == ModuleKind::RemoteDevice) {
        void* hDevice = nullptr;
        if (!FindPortOwner(hPort, &hDevice)) {
            return GetErrorCode(GC_ERR_INVALID_HANDLE, "GC_ERR_INVALID_HANDLE");
        }
        device = ICommonBase::FromHandleAs<CDevice>(hDevice);
        if (!device) {
            throw invalid_handle_exception("Invalid Handle");
        }
    }
    if (!device) {
        return GC_ERR_SUCCESS;
    }
    int32_t status = 0;
    size_t size = sizeof status;
    INFO_DATATYPE type = 0;
    device->GetInfo(DEVICE_INFO_ACCESS_STATUS, &type, &status, size);
    if (status == DEVICE_ACCESS_STATUS_READONLY) {
        return GetErrorCode(GC_ERR_ACCESS_DENIED, "GC_ERR_ACCESS_DENIED");
    }
    return GC_ERR_SUCCESS;
}

bool CLibraryController::FindPortOwner(void* hPort, void** phDevice) {
    CAutoLock lock(m_cs_ports);
    for (const auto& entry : m_map_ports) {
        if (entry.second == hPort) {
            *phDevice = entry.first;
            return true;
        }
    }
    return false;
}

int CLibraryController::Handle_Runtime_Error(const std::runtime_error& error) {
    const char* text = error.what();
    // Only the library's own wording decides the code, never an identifier it quotes.
    const auto* quoting = dynamic_cast<const runtime_error_with_input*>(&error);
    const char* wording = quoting != nullptr ? quoting->Wording().c_str() : text;
    int code = GC_ERR_ERROR;
    for (const RuntimeErrorRule& rule : kRuntimeErrorRules) {
        if (std::strstr(wording, rule.substring) != nullptr) {
            code = rule.code;
            break;
        }
    }
    return GetErrorCode(code, text);
}

void CLibraryController::CloseSystem() {
    std::shared_ptr<CTL> system;
    {
        std::lock_guard<std::mutex> lock(m_mutex_system);
        system.swap(m_sp_transport_layer);
        m_p_transport_layer = nullptr;
    }
    ClearRegistries();
    if (system) {
        system->Close();
    }
}

void CLibraryController::CloseLib() {
    {
        std::lock_guard<std::mutex> lock(m_mutex_system);
        m_b_initialized = false;
    }
    CloseSystem();
}

void CLibraryController::ClearRegistries() {
    ClearLocked(m_cs_announced_buffers, m_map_announced_buffers, m_i_announced_buffers);
    ClearLocked(m_cs_data_streams, m_map_data_streams, m_i_data_streams);
    ClearLocked(m_cs_ports, m_map_ports, m_i_ports);
    ClearLocked(m_cs_open_devices, m_map_open_devices, m_i_open_devices);
    ClearLocked(m_cs_interfaces, m_map_interfaces, m_i_interfaces);
}

}  // namespace GenTL
