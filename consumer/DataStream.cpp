#include "consumer/DataStream.h"

#include <time.h>

#include "consumer/Errors.h"
#include "consumer/InfoQuery.h"

namespace quarvo {

namespace {

uint64_t RealTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

DataStream::DataStream(const Device& device, const std::string& id) : m_producer(device.Producer()) {
    m_producer.Check(m_producer.DevOpenDataStream(device.Handle(), id.c_str(), &m_handle), "DevOpenDataStream");
    const GC_ERROR registered = m_producer.GCRegisterEvent(m_handle, EVENT_NEW_BUFFER, &m_newBuffer);
    if (registered != GC_ERR_SUCCESS) {
        const std::string text = m_producer.LastErrorText();
        m_producer.DSClose(m_handle);
        throw GenTLError("GCRegisterEvent", registered, text);
    }
}

DataStream::~DataStream() {
    if (m_started) {
        m_producer.DSStopAcquisition(m_handle, ACQ_STOP_FLAGS_DEFAULT);
    }
    m_producer.GCUnregisterEvent(m_handle, EVENT_NEW_BUFFER);
    m_producer.DSFlushQueue(m_handle, ACQ_QUEUE_ALL_DISCARD);
    for (BUFFER_HANDLE buffer : m_buffers) {
        m_producer.DSRevokeBuffer(m_handle, buffer, nullptr, nullptr);
    }
    m_producer.DSClose(m_handle);
}

std::optional<uint64_t> DataStream::DefinedPayloadSize() const {
    auto query = [this](STREAM_INFO_CMD command) {
        return [this, command](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return m_producer.DSGetInfo(m_handle, command, type, buffer, size);
        };
    };
    const auto defines = OptionalInfoValue<bool8_t>(query(STREAM_INFO_DEFINES_PAYLOADSIZE));
    if (!defines || !*defines) {
        return std::nullopt;
    }
    const auto size = OptionalInfoValue<size_t>(query(STREAM_INFO_PAYLOAD_SIZE));
    return size ? std::optional<uint64_t>(*size) : std::nullopt;
}

size_t DataStream::MinimumBuffers() const {
    const auto minimum = OptionalInfoValue<size_t>([this](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.DSGetInfo(m_handle, STREAM_INFO_BUF_ANNOUNCE_MIN, type, buffer, size);
    });
    return minimum && *minimum > 0 ? *minimum : 1;
}

void DataStream::AnnounceAndQueue(size_t count, size_t size) {
    for (size_t i = 0; i < count; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        m_producer.Check(m_producer.DSAllocAndAnnounceBuffer(m_handle, size, nullptr, &buffer),
                         "DSAllocAndAnnounceBuffer");
        m_buffers.push_back(buffer);
        Queue(buffer);
    }
}

void DataStream::Queue(BUFFER_HANDLE buffer) { m_producer.Check(m_producer.DSQueueBuffer(m_handle, buffer), "DSQueueBuffer"); }

void DataStream::Start(uint64_t frames) {
    m_producer.Check(m_producer.DSStartAcquisition(m_handle, ACQ_START_FLAGS_DEFAULT, frames == 0 ? GENTL_INFINITE : frames),
                     "DSStartAcquisition");
    m_started = true;
}

void DataStream::Stop() {
    if (m_started) {
        m_started = false;
        m_producer.Check(m_producer.DSStopAcquisition(m_handle, ACQ_STOP_FLAGS_DEFAULT), "DSStopAcquisition");
    }
}

std::optional<DeliveredBuffer> DataStream::WaitForBuffer(uint64_t timeoutMs) {
    EVENT_NEW_BUFFER_DATA data{};
    size_t size = sizeof data;
    const GC_ERROR result = m_producer.EventGetData(m_newBuffer, &data, &size, timeoutMs);
    const uint64_t received = RealTimeNs();
    if (result == GC_ERR_TIMEOUT) {
        return std::nullopt;
    }
    m_producer.Check(result, "EventGetData");
    return Describe(data.BufferHandle, received);
}

template <class T>
std::optional<T> DataStream::BufferValue(BUFFER_HANDLE handle, BUFFER_INFO_CMD command) const {
    return OptionalInfoValue<T>([&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.DSGetBufferInfo(m_handle, handle, command, type, buffer, size);
    });
}

DeliveredBuffer DataStream::Describe(BUFFER_HANDLE handle, uint64_t receivedNs) const {
    DeliveredBuffer delivered;
    delivered.handle = handle;
    delivered.receivedNs = receivedNs;
    delivered.data = static_cast<const uint8_t*>(InfoValue<void*>(m_producer, "DSGetBufferInfo(BUFFER_INFO_BASE)",
        [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return m_producer.DSGetBufferInfo(m_handle, handle, BUFFER_INFO_BASE, type, buffer, size);
        }));
    delivered.filled = BufferValue<size_t>(handle, BUFFER_INFO_SIZE_FILLED)
                           .value_or(BufferValue<size_t>(handle, BUFFER_INFO_SIZE).value_or(0));
    delivered.imageOffset = BufferValue<size_t>(handle, BUFFER_INFO_IMAGEOFFSET).value_or(0);
    delivered.width = BufferValue<size_t>(handle, BUFFER_INFO_WIDTH).value_or(0);
    delivered.height = BufferValue<size_t>(handle, BUFFER_INFO_HEIGHT).value_or(0);
    delivered.xPadding = BufferValue<size_t>(handle, BUFFER_INFO_XPADDING).value_or(0);
    delivered.pixelFormat = BufferValue<uint64_t>(handle, BUFFER_INFO_PIXELFORMAT).value_or(0);
    delivered.frameID = BufferValue<uint64_t>(handle, BUFFER_INFO_FRAMEID);
    delivered.incomplete = BufferValue<bool8_t>(handle, BUFFER_INFO_IS_INCOMPLETE).value_or(false);
    delivered.timestampNs = BufferValue<uint64_t>(handle, BUFFER_INFO_TIMESTAMP_NS);
    return delivered;
}

}  // namespace quarvo
