// A camera of the default rig opened through the producer's exported functions down to its data
// stream, with buffers announced and queued, as a consumer's acquisition loop sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench/BenchProducer.h"

namespace quarvo_bench {

// Remote device registers of the simulated camera.
constexpr uint64_t kRegWidth = 0x104;
constexpr uint64_t kRegHeight = 0x108;
constexpr uint64_t kRegPayloadSize = 0x114;
constexpr uint64_t kRegFrameRate = 0x118;
// Plain read-only registers of the modules' ports: the System's GenTL major version, the
// interface's count of open devices, the device's stream count, the stream's announced count.
constexpr uint64_t kRegSystemVersionMajor = 0xDC;
constexpr uint64_t kRegInterfaceDevicesOpen = 0x590;
constexpr uint64_t kRegDeviceStreamCount = 0x4;
constexpr uint64_t kRegStreamAnnounced = 0x4;

// Devices of board 0 of the default rig.
enum class Camera : uint32_t { Mono8 = 0, RGB8 = 1 };

struct StreamSettings {
    Camera camera = Camera::Mono8;
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t frameRate = 0;  // frames per second, 0 = unthrottled
    size_t buffers = 16;
};

// The System of the process, opened on first use (TLOpen), with its interface list updated.
TL_HANDLE TheSystem();

class QuarvoStream {
public:
    // Opens board 0, the camera, applies the settings, opens DS0, allocates and queues the buffers
    // (of the payload size) and registers the new-buffer event.
    explicit QuarvoStream(const StreamSettings& settings);
    // The same for the device at that index of an interface the caller opened (and closes); the
    // settings' camera is not used.
    QuarvoStream(IF_HANDLE iface, uint32_t device, const StreamSettings& settings);
    ~QuarvoStream();
    QuarvoStream(const QuarvoStream&) = delete;
    QuarvoStream& operator=(const QuarvoStream&) = delete;

    void Start();
    void Stop();
    // The next filled buffer (EventGetData); throws when none came within the time-out.
    BUFFER_HANDLE Next(uint64_t timeoutMs = 2000);
    void Queue(BUFFER_HANDLE buffer);
    // The buffer's time stamp (nanoseconds of the real-time clock, taken when it was filled).
    uint64_t Timestamp(BUFFER_HANDLE buffer);

    size_t PayloadSize() const { return m_payload; }
    IF_HANDLE Interface() const { return m_interface; }
    DEV_HANDLE Device() const { return m_device; }
    DS_HANDLE Stream() const { return m_stream; }
    PORT_HANDLE RemotePort() const { return m_remote; }
    // Reads and writes a 32-bit register of the camera.
    uint32_t ReadRemote(uint64_t address);
    void WriteRemote(uint64_t address, uint32_t value);

private:
    void Open(uint32_t device, const StreamSettings& settings);

    Producer& m_producer;
    IF_HANDLE m_interface = nullptr;
    bool m_ownsInterface = false;
    DEV_HANDLE m_device = nullptr;
    PORT_HANDLE m_remote = nullptr;
    DS_HANDLE m_stream = nullptr;
    EVENT_HANDLE m_new_buffer = nullptr;
    size_t m_payload = 0;
    std::vector<BUFFER_HANDLE> m_buffers;
    bool m_started = false;
};

}  // namespace quarvo_bench
