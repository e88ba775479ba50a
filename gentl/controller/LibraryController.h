#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "gentl/GenTL.h"
#include "gentl/controller/CriticalSection.h"

namespace GenTL {

class CTL;
class CDevice;

struct S_Announced_Buffer_Information {
    void* h_buffer = nullptr;
    void* p_memory = nullptr;
    void* p_user = nullptr;
    size_t i_size = 0;
};

// The library-wide registry behind the exported functions: which handles the consumer holds and
// how they hang together (interface -> device -> data stream -> announced buffer, device -> remote
// device port). Each registry has its own recursive lock; the lock order is interfaces -> open
// devices -> data streams / ports. Interfaces, devices and streams are kept by their own handle,
// so the checks every buffer call makes are one hash lookup each, however many cameras are open.
class CLibraryController {
public:
    CLibraryController();
    CLibraryController(const CLibraryController&) = delete;
    CLibraryController& operator=(const CLibraryController&) = delete;
    // A consumer that unloads the library without GCCloseLib would leave acquisition threads
    // running in unmapped code: whatever is still open is closed first.
    ~CLibraryController();

    // Guards: record their failure and return its code, 0 when they pass.
    int Check_SetupInitialized();
    int Check_Setup_And_Transport_Initialized();
    int Check_Setup_And_Transport_Initialized_With_Open_Interface();

    // Sets the initialised flag; false when it was set already (exactly one of several
    // concurrent callers succeeds).
    bool InitLib();
    bool IsInitialized() const { return m_b_initialized; }
    // Makes an opened System the library's one System and lists its handle; false, leaving
    // everything as it was, when the library already has a System or is not initialised.
    bool PublishTransportLayer(const std::shared_ptr<CTL>& system);
    // The library's System, or null; also the only valid system handle.
    CTL* GetTransportLayer() const { return m_p_transport_layer; }

    size_t GetNumberOpenInterfaces();
    size_t GetNumberOpenDevices();
    size_t GetTotalNumberOpenStreams();
    size_t GetNumberAnnouncedBuffers();

    int AddInterface(const std::string& id, void** phIface);
    bool FindInterface(void* hIface);
    void RemoveInterface(void* hIface);

    void AddOpenDevice(void* hIface, std::weak_ptr<CDevice>& device);
    bool FindOpenDeviceHandle(void* hDevice, void** phIface);
    // Whether the interface has an open device whose identifier is exactly sName.
    bool FindOpenDeviceName(void* hIface, const std::string& sName);
    // Drops the registry entries of the device (its own, its streams' and its ports') and hands
    // the device back for closing, which the caller does outside the registry locks; null when
    // the device is not registered.
    std::shared_ptr<CDevice> RemoveOpenDevice(void* hDevice);

    void AddPort(void* hDevice, void* hPort);

    void AddDataStream(void* hDevice, void* hDataStream);
    bool FindDataStreamHandle(void* hDataStream, void** phDevice);
    void RemoveDataStream(void* hDataStream);

    void AddAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info);
    bool FindAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info);
    void RemoveAnnouncedBuffer(void* hDataStream, S_Announced_Buffer_Information& info);
    void RemoveAllAnnouncedBuffers(void* hDataStream);

    int CheckReadOnlyMode(void* hPort);
    int Handle_Runtime_Error(const std::runtime_error& error);

    // The one teardown of the module tree: takes the System out of the library, clears every
    // registry and closes the System with everything under it. No registry lock is held while
    // modules close (closing joins acquisition threads).
    void CloseSystem();
    // Clears the initialised flag, so that no new call starts, then closes the System.
    void CloseLib();

private:
    void ClearRegistries();
    // The device a remote device port was handed out for (DevGetPort).
    bool FindPortOwner(void* hPort, void** phDevice);
    // Drops the entries of the device's streams, of their announced buffers and of its ports.
    void ForgetDeviceEntries(void* hDevice);

    // Read by every guard without a lock, so kept atomic; changed under m_mutex_system.
    std::atomic<bool> m_b_initialized{false};
    std::atomic<CTL*> m_p_transport_layer{nullptr};
    std::mutex m_mutex_system;
    std::shared_ptr<CTL> m_sp_transport_layer;

    // Each registry's element count, kept beside it so that the guards and counts read it
    // without taking the registry's lock.
    std::atomic<size_t> m_i_interfaces{0};
    std::atomic<size_t> m_i_open_devices{0};
    std::atomic<size_t> m_i_ports{0};
    std::atomic<size_t> m_i_data_streams{0};
    std::atomic<size_t> m_i_announced_buffers{0};

    // Interface handle -> the interface's identifier.
    std::unordered_map<void*, std::string> m_map_interfaces;
    CCriticalSection m_cs_interfaces;
    // Device handle -> the interface it was opened on and a weak reference, so that the entries
    // under a device can be dropped also once the device itself is gone.
    struct S_Open_Device {
        void* h_iface;
        std::weak_ptr<CDevice> device;
    };
    std::unordered_map<void*, S_Open_Device> m_map_open_devices;
    CCriticalSection m_cs_open_devices;
    std::multimap<void*, void*> m_map_ports;
    CCriticalSection m_cs_ports;
    // Data stream handle -> its device's handle.
    std::unordered_map<void*, void*> m_map_data_streams;
    CCriticalSection m_cs_data_streams;
    std::multimap<void*, S_Announced_Buffer_Information> m_map_announced_buffers;
    CCriticalSection m_cs_announced_buffers;
};

extern CLibraryController g_Controller;

}  // namespace GenTL
