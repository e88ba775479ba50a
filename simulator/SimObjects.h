// The component's object interfaces on top of the simulated rig. Each object is a handle that
// keeps the rig alive; the state it shows lives in the rig's boards and cameras. No operation
// throws or trusts a pointer: bad arguments give kFailed.
#pragma once

#include <memory>
#include <string>

#include "framegrabber/Quibbon.h"
#include "simulator/Rig.h"

namespace Quibbon::Sim {

class SimSystem final : public ISystem {
public:
    explicit SimSystem(std::shared_ptr<const Rig> rig);
    int32_t GetNumInterfaces(uint32_t* count) override;
    int32_t GetInterfaceID(uint32_t index, char* text, uint64_t* size) override;
    int32_t OpenInterface(const char* id, IInterface** iface) override;
    int32_t Reserved5() override;
    int32_t Reserved6() override;
    int32_t Release() override;

private:
    std::shared_ptr<const Rig> m_rig;
};

class SimInterface final : public IInterface {
public:
    SimInterface(std::shared_ptr<const Rig> rig, const Board& board);
    int32_t GetNumDevices(uint32_t* count) override;
    int32_t GetDeviceID(uint32_t index, char* text, uint64_t* size) override;
    int32_t OpenDevice(const char* id, IDevice** device) override;
    int32_t Reserved5() override;
    int32_t GetInfo(int32_t info, char* text, uint64_t* size) override;
    int32_t GetDeviceStatus(const char* id, DeviceStatus* status) override;
    int32_t Reserved8() override;
    int32_t Release() override;

private:
    std::shared_ptr<const Rig> m_rig;
    const Board& m_board;
};

class SimDevice final : public IDevice {
public:
    SimDevice(std::shared_ptr<const Rig> rig, Camera& camera);
    int32_t GetNumDataStreams(uint32_t* count) override;
    int32_t OpenDataStream(uint32_t index, IDataStream** stream) override;
    int32_t SetParameter(int32_t param, const void* value, uint64_t* size) override;
    int32_t GetParameter(int32_t param, void* value, uint64_t* size) override;
    int32_t Release() override;
    int32_t ReadRegisters(uint64_t address, void* data, uint64_t size) override;
    int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size) override;
    int32_t TakeEvents(CameraEvent* events, uint64_t* count, uint64_t* dropped) override;

private:
    bool StillConnected() const;

    std::shared_ptr<const Rig> m_rig;
    Camera& m_camera;
    const uint64_t m_resets;  // the camera's resets when the object was opened
};

class SimStream final : public IDataStream {
public:
    SimStream(std::shared_ptr<const Rig> rig, Camera& camera);
    int32_t StartAcquisition(int32_t flags, int64_t count) override;
    int32_t StopAcquisition(int32_t flags, int32_t mode) override;
    int32_t Fill(void* buffer, uint32_t timeoutMs) override;
    int32_t Reserved5() override;
    int32_t GetInfo(int32_t info, void* buffer, uint64_t* size) override;
    int32_t Release() override;
    int32_t Grab(void* buffer, uint64_t* size, uint32_t timeoutMs, FrameInfo* info) override;

private:
    std::shared_ptr<const Rig> m_rig;
    Camera& m_camera;
    GrabSession m_session;
};

// Owns a component object and gives it back through its Release.
struct Released {
    template <class T>
    void operator()(T* object) const {
        if (object != nullptr) {
            object->Release();
        }
    }
};
template <class T>
using Handle = std::unique_ptr<T, Released>;

// A system object on that rig, or null when it cannot be made.
ISystem* CreateSystem(std::shared_ptr<const Rig> rig) noexcept;
// A system object on the process-wide rig, or null; SharedSystemError then tells why.
ISystem* CreateSharedSystem() noexcept;
// Why the last CreateSharedSystem returned null; empty when it returned a system.
std::string SharedSystemError();

}  // namespace Quibbon::Sim
