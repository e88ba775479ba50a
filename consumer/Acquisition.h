// Image acquisition from one device, in the order a GenTL consumer follows: the stream's
// buffers announced and queued, the transport-layer parameters locked (TLParamsLocked), the
// stream started, then the camera (AcquisitionStart); stopping runs the other way. The camera
// features are used where the remote description has them.
#pragma once

#include <cstdint>
#include <optional>

#include "consumer/DataStream.h"
#include "consumer/GenApiPort.h"

namespace quarvo {

class Acquisition {
public:
    // Starts at once with `buffers` buffers (at least as many as the stream needs) of the
    // payload size; frames 0 acquires until stopped.
    Acquisition(const Device& device, GenApiPort& remote, size_t buffers, uint64_t frames);
    ~Acquisition();
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    size_t BufferCount() const { return m_bufferCount; }
    uint64_t PayloadSize() const { return m_payloadSize; }

    // The next filled buffer; nothing when none came within timeoutMs.
    std::optional<DeliveredBuffer> Next(uint64_t timeoutMs) { return m_stream.WaitForBuffer(timeoutMs); }
    // Gives a delivered buffer back to the stream to be filled again.
    void Requeue(const DeliveredBuffer& buffer) { m_stream.Queue(buffer.handle); }
    // Stops the camera and the stream; throws what the producer refuses. Idempotent.
    void Stop();

private:
    static std::string FirstStream(const Device& device);
    uint64_t ReadPayloadSize();
    void Lock(bool locked);
    void Command(const char* name);

    GenApiPort& m_remote;
    DataStream m_stream;
    uint64_t m_payloadSize = 0;
    size_t m_bufferCount = 0;
    bool m_running = false;
};

}  // namespace quarvo
