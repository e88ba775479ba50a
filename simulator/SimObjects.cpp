#include "simulator/SimObjects.h"

#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "simulator/CopyOut.h"

namespace Quibbon::Sim {

namespace {

// Runs body, turning any exception into kFailed: nothing may escape into the caller.
template <class Body>
int32_t Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return kFailed;
    }
}

const Board* FindBoard(const Rig& rig, const char* id) {
    for (const auto& board : rig.boards) {
        if (board->id == id) {
            return board.get();
        }
    }
    return nullptr;
}

// Index of the camera with that identifier on the board, or -1.
int FindCamera(const Board& board, const char* id) {
    for (size_t i = 0; i < board.cameras.size(); ++i) {
        if (board.cameras[i]->Identity().id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Why the last register access of this thread was refused.
thread_local std::string t_registerError;

// Keeps the text of a refused register access (the camera wrote it into t_registerError).
int32_t RecordRegisterError(int32_t result) {
    if (result >= 0) {
        t_registerError.clear();
    }
    return result;
}

}  // namespace

// System

SimSystem::SimSystem(std::shared_ptr<const Rig> rig) : m_rig(std::move(rig)) {}

int32_t SimSystem::GetNumInterfaces(uint32_t* count) {
    if (count == nullptr) {
        return kFailed;
    }
    *count = static_cast<uint32_t>(m_rig->boards.size());
    return kOk;
}

int32_t SimSystem::GetInterfaceID(uint32_t index, char* text, uint64_t* size) {
    return Guarded([&] {
        if (index >= m_rig->boards.size()) {
            return kFailed;
        }
        return CopyText(m_rig->boards[index]->id, text, size);
    });
}

int32_t SimSystem::OpenInterface(const char* id, IInterface** iface) {
    if (iface == nullptr) {
        return kFailed;
    }
    *iface = nullptr;
    if (id == nullptr) {
        return kFailed;
    }
    return Guarded([&] {
        const Board* board = FindBoard(*m_rig, id);
        if (board == nullptr) {
            return kFailed;
        }
        *iface = new SimInterface(m_rig, *board);
        return kOk;
    });
}

int32_t SimSystem::Reserved5() { return kFailed; }

int32_t SimSystem::Reserved6() { return kFailed; }

int32_t SimSystem::Release() {
    delete this;
    return kOk;
}

// Interface

SimInterface::SimInterface(std::shared_ptr<const Rig> rig, const Board& board) : m_rig(std::move(rig)), m_board(board) {}

int32_t SimInterface::GetNumDevices(uint32_t* count) {
    if (count == nullptr) {
        return kFailed;
    }
    *count = static_cast<uint32_t>(m_board.cameras.size());
    return kOk;
}

int32_t SimInterface::GetDeviceID(uint32_t index, char* text, uint64_t* size) {
    return Guarded([&] {
        if (index >= m_board.cameras.size()) {
            return kFailed;
        }
        return CopyText(m_board.cameras[index]->Identity().id, text, size);
    });
}

int32_t SimInterface::OpenDevice(const char* id, IDevice** device) {
    if (device == nullptr) {
        return kFailed;
    }
    *device = nullptr;
    if (id == nullptr) {
        return kFailed;
    }
    return Guarded([&] {
        const int index = FindCamera(m_board, id);
        if (index < 0) {
            return kFailed;
        }
        *device = new SimDevice(m_rig, *m_board.cameras[static_cast<size_t>(index)]);
        return kOk;
    });
}

int32_t SimInterface::Reserved5() { return kFailed; }

int32_t SimInterface::GetInfo(int32_t info, char* text, uint64_t* size) {
    return Guarded([&] {
        switch (info) {
            case kInterfaceInfoId:
                return CopyText(m_board.id, text, size);
            case kInterfaceInfoDisplayName:
                return CopyText(m_board.displayName, text, size);
            case kInterfaceInfoPrefix:
                return CopyText(m_board.prefix, text, size);
            default:
                return kFailed;
        }
    });
}

int32_t SimInterface::GetDeviceStatus(const char* id, DeviceStatus* status) {
    if (id == nullptr || status == nullptr) {
        return kFailed;
    }
    const int index = FindCamera(m_board, id);
    if (index < 0) {
        return kFailed;
    }
    *status = DeviceStatus{static_cast<uint64_t>(index), 1, {}};
    return kOk;
}

int32_t SimInterface::Reserved8() { return kFailed; }

int32_t SimInterface::Release() {
    delete this;
    return kOk;
}

// Device

SimDevice::SimDevice(std::shared_ptr<const Rig> rig, Camera& camera)
    : m_rig(std::move(rig)), m_camera(camera), m_resets(camera.Resets()) {
    m_camera.PrepareFrames();
}

int32_t SimDevice::GetNumDataStreams(uint32_t* count) {
    if (count == nullptr) {
        return kFailed;
    }
    *count = 1;
    return kOk;
}

int32_t SimDevice::OpenDataStream(uint32_t index, IDataStream** stream) {
    if (stream == nullptr) {
        return kFailed;
    }
    *stream = nullptr;
    if (index != 0) {
        return kFailed;
    }
    return Guarded([&] {
        *stream = new SimStream(m_rig, m_camera);
        return kOk;
    });
}

int32_t SimDevice::SetParameter(int32_t param, const void* value, uint64_t* /*size*/) {
    // Numeric parameters are 32-bit whatever size the caller states; texts are read-only.
    if (value == nullptr) {
        return kFailed;
    }
    int32_t number = 0;
    std::memcpy(&number, value, sizeof number);
    return m_camera.SetParameter(param, number);
}

int32_t SimDevice::GetParameter(int32_t param, void* value, uint64_t* size) {
    if (value == nullptr || size == nullptr) {
        return kFailed;
    }
    return Guarded([&] {
        if (param == kParamRegisterError && m_camera.Profile() == CameraProfile::Sfnc) {
            return CopyText(t_registerError, static_cast<char*>(value), size);
        }
        if (const auto number = m_camera.GetNumber(param)) {
            return CopyValue(&*number, sizeof *number, value, size);
        }
        if (const auto text = m_camera.GetText(param)) {
            return CopyText(*text, static_cast<char*>(value), size);
        }
        return kFailed;
    });
}

int32_t SimDevice::Release() {
    delete this;
    return kOk;
}

int32_t SimDevice::ReadRegisters(uint64_t address, void* data, uint64_t size) {
    return Guarded([&] {
        if (!StillConnected()) {
            return kDenied;
        }
        return RecordRegisterError(m_camera.ReadRegisters(address, data, size, t_registerError));
    });
}

int32_t SimDevice::WriteRegisters(uint64_t address, const void* data, uint64_t size) {
    return Guarded([&] {
        if (!StillConnected()) {
            return kDenied;
        }
        return RecordRegisterError(m_camera.WriteRegisters(address, data, size, t_registerError));
    });
}

int32_t SimDevice::TakeEvents(CameraEvent* events, uint64_t* count, uint64_t* dropped) {
    if (events == nullptr || count == nullptr || dropped == nullptr) {
        return kFailed;
    }
    return Guarded([&] { return m_camera.TakeEvents(events, *count, *dropped); });
}

// A camera that was reset drops the connections of every device object opened before: they
// answer like a lost device until the device is opened again.
bool SimDevice::StillConnected() const {
    if (m_camera.Resets() == m_resets) {
        return true;
    }
    t_registerError = "The camera has been reset: close the device and open it again.";
    return false;
}

// Data stream

SimStream::SimStream(std::shared_ptr<const Rig> rig, Camera& camera) : m_rig(std::move(rig)), m_camera(camera) {}

int32_t SimStream::StartAcquisition(int32_t flags, int64_t /*count*/) {
    if ((flags & kStreamOnly) != 0) {
        m_camera.ArmSession(m_session, true);
        return kOk;
    }
    return m_camera.StartAcquisition();
}

int32_t SimStream::StopAcquisition(int32_t flags, int32_t /*mode*/) {
    if ((flags & kStreamOnly) != 0) {
        m_camera.ArmSession(m_session, false);
        return kOk;
    }
    return m_camera.StopAcquisition();
}

int32_t SimStream::Fill(void* buffer, uint32_t timeoutMs) {
    return Guarded([&] {
        return m_camera.Grab(m_session, buffer, std::numeric_limits<uint64_t>::max(), timeoutMs, nullptr);
    });
}

int32_t SimStream::Reserved5() { return kFailed; }

int32_t SimStream::GetInfo(int32_t info, void* buffer, uint64_t* size) {
    switch (info) {
        case kStreamInfoNumStarted: {
            const uint64_t started = m_camera.NumStarted();
            return CopyValue(&started, sizeof started, buffer, size);
        }
        case kStreamInfoIsGrabbing: {
            const uint8_t grabbing = m_camera.IsGrabbing() ? 1 : 0;
            return CopyValue(&grabbing, sizeof grabbing, buffer, size);
        }
        case kStreamInfoGrabVersion:
        case kStreamInfoFrameRecord: {
            const uint32_t version = 1;
            return CopyValue(&version, sizeof version, buffer, size);
        }
        default:
            return kFailed;
    }
}

int32_t SimStream::Release() {
    m_camera.CloseSession(m_session);
    delete this;
    return kOk;
}

int32_t SimStream::Grab(void* buffer, uint64_t* size, uint32_t timeoutMs, FrameInfo* info) {
    if (size == nullptr) {
        return kFailed;
    }
    return Guarded([&] {
        FrameInfo taken{};
        FrameRecord record{};
        const int32_t result = m_camera.Grab(m_session, buffer, *size, timeoutMs, &taken, &record);
        if (result >= 0) {
            *size = taken.payloadSize;
            if (info != nullptr && info->reserved == sizeof(FrameRecord)) {
                record.info = taken;
                record.info.reserved = sizeof(FrameRecord);
                *reinterpret_cast<FrameRecord*>(info) = record;
            } else if (info != nullptr) {
                *info = taken;
            }
        }
        return result;
    });
}

ISystem* CreateSystem(std::shared_ptr<const Rig> rig) noexcept {
    if (!rig) {
        return nullptr;
    }
    return new (std::nothrow) SimSystem(std::move(rig));
}

namespace {

std::mutex g_errorMutex;
std::string g_error;

void RecordSharedSystemError(const char* text) noexcept {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    try {
        g_error = text;
    } catch (...) {
        g_error.clear();  // no room for the text: at least do not report a stale one
    }
}

}  // namespace

ISystem* CreateSharedSystem() noexcept {
    try {
        ISystem* system = CreateSystem(SharedRig());
        RecordSharedSystemError(system != nullptr ? "" : "out of memory");
        return system;
    } catch (const std::exception& problem) {
        RecordSharedSystemError(problem.what());
    } catch (...) {
        RecordSharedSystemError("the rig cannot be made");
    }
    return nullptr;
}

std::string SharedSystemError() {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    return g_error;
}

}  // namespace Quibbon::Sim
