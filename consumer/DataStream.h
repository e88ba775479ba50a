// One open Data Stream module with its new-buffer event registered: announces and queues
// buffers, starts and stops the stream's acquisition and hands out filled buffers. Closing
// (destruction) stops a running acquisition, revokes the buffers and closes the stream.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "consumer/DeliveredBuffer.h"
#include "consumer/Device.h"

namespace quarvo {

class DataStream {
public:
    DataStream(const Device& device, const std::string& id);
    ~DataStream();
    DataStream(const DataStream&) = delete;
    DataStream& operator=(const DataStream&) = delete;

    DS_HANDLE Handle() const { return m_handle; }

    // The payload size the stream states, where it defines it.
    std::optional<uint64_t> DefinedPayloadSize() const;
    // The fewest buffers the stream needs announced to start (1 when it does not say).
    size_t MinimumBuffers() const;

    // Allocates count buffers of size bytes through the producer and queues them.
    void AnnounceAndQueue(size_t count, size_t size);
    void Queue(BUFFER_HANDLE buffer);
    // frames 0: until stopped.
    void Start(uint64_t frames);
    void Stop();
    // The next filled buffer; nothing when none came within timeoutMs.
    std::optional<DeliveredBuffer> WaitForBuffer(uint64_t timeoutMs);

private:
    DeliveredBuffer Describe(BUFFER_HANDLE handle, uint64_t receivedNs) const;
    template <class T>
    std::optional<T> BufferValue(BUFFER_HANDLE handle, BUFFER_INFO_CMD command) const;

    const ProducerLibrary& m_producer;
    DS_HANDLE m_handle = nullptr;
    EVENT_HANDLE m_newBuffer = nullptr;
    std::vector<BUFFER_HANDLE> m_buffers;
    bool m_started = false;
};

}  // namespace quarvo
