#include "bench/QuarvoCamera.h"

#include <stdexcept>
#include <string>

namespace quarvo_bench {

TL_HANDLE TheSystem() {
    static TL_HANDLE system = [] {
        Producer& producer = TheProducer();
        TL_HANDLE opened = nullptr;
        QUARVO_CHECK(producer, TLOpen(&opened));
        bool8_t changed = 0;
        QUARVO_CHECK(producer, TLUpdateInterfaceList(opened, &changed, 1000));
        return opened;
    }();
    return system;
}

QuarvoStream::QuarvoStream(const StreamSettings& settings) : m_producer(TheProducer()) {
    Producer& p = m_producer;
    TL_HANDLE system = TheSystem();
    char id[256] = {};
    size_t size = sizeof id;
    QUARVO_CHECK(p, TLGetInterfaceID(system, 0, id, &size));
    QUARVO_CHECK(p, TLOpenInterface(system, id, &m_interface));
    m_ownsInterface = true;
    bool8_t changed = 0;
    QUARVO_CHECK(p, IFUpdateDeviceList(m_interface, &changed, 1000));
    Open(static_cast<uint32_t>(settings.camera), settings);
}

QuarvoStream::QuarvoStream(IF_HANDLE iface, uint32_t device, const StreamSettings& settings)
    : m_producer(TheProducer()), m_interface(iface) {
    Open(device, settings);
}

void QuarvoStream::Open(uint32_t device, const StreamSettings& settings) {
    Producer& p = m_producer;
    char id[256] = {};
    size_t size = sizeof id;
    QUARVO_CHECK(p, IFGetDeviceID(m_interface, device, id, &size));
    QUARVO_CHECK(p, IFOpenDevice(m_interface, id, DEVICE_ACCESS_CONTROL, &m_device));
    QUARVO_CHECK(p, DevGetPort(m_device, &m_remote));
    WriteRemote(kRegWidth, settings.width);
    WriteRemote(kRegHeight, settings.height);
    WriteRemote(kRegFrameRate, settings.frameRate);
    if (ReadRemote(kRegWidth) != settings.width || ReadRemote(kRegHeight) != settings.height ||
        ReadRemote(kRegFrameRate) != settings.frameRate) {
        throw std::runtime_error("the camera refused the size or the frame rate");
    }
    m_payload = ReadRemote(kRegPayloadSize);
    QUARVO_CHECK(p, DevOpenDataStream(m_device, "DS0", &m_stream));
    for (size_t i = 0; i < settings.buffers; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        QUARVO_CHECK(p, DSAllocAndAnnounceBuffer(m_stream, m_payload, nullptr, &buffer));
        QUARVO_CHECK(p, DSQueueBuffer(m_stream, buffer));
        m_buffers.push_back(buffer);
    }
    QUARVO_CHECK(p, GCRegisterEvent(m_stream, EVENT_NEW_BUFFER, &m_new_buffer));
}

QuarvoStream::~QuarvoStream() {
    Producer& p = m_producer;
    if (m_started) {
        p.DSStopAcquisition(m_stream, ACQ_STOP_FLAGS_DEFAULT);
    }
    if (m_stream != nullptr) {
        p.GCUnregisterEvent(m_stream, EVENT_NEW_BUFFER);
        p.DSFlushQueue(m_stream, ACQ_QUEUE_ALL_DISCARD);
        for (BUFFER_HANDLE buffer : m_buffers) {
            p.DSRevokeBuffer(m_stream, buffer, nullptr, nullptr);
        }
        p.DSClose(m_stream);
    }
    if (m_device != nullptr) {
        p.DevClose(m_device);
    }
    if (m_ownsInterface) {
        p.IFClose(m_interface);
    }
}

void QuarvoStream::Start() {
    QUARVO_CHECK(m_producer, DSStartAcquisition(m_stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    m_started = true;
}

void QuarvoStream::Stop() {
    if (m_started) {
        m_started = false;
        QUARVO_CHECK(m_producer, DSStopAcquisition(m_stream, ACQ_STOP_FLAGS_DEFAULT));
    }
}

BUFFER_HANDLE QuarvoStream::Next(uint64_t timeoutMs) {
    EVENT_NEW_BUFFER_DATA data{};
    size_t size = sizeof data;
    QUARVO_CHECK(m_producer, EventGetData(m_new_buffer, &data, &size, timeoutMs));
    return data.BufferHandle;
}

void QuarvoStream::Queue(BUFFER_HANDLE buffer) { QUARVO_CHECK(m_producer, DSQueueBuffer(m_stream, buffer)); }

uint64_t QuarvoStream::Timestamp(BUFFER_HANDLE buffer) {
    uint64_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    QUARVO_CHECK(m_producer, DSGetBufferInfo(m_stream, buffer, BUFFER_INFO_TIMESTAMP_NS, &type, &value, &size));
    return value;
}

uint32_t QuarvoStream::ReadRemote(uint64_t address) {
    uint32_t value = 0;
    size_t size = sizeof value;
    QUARVO_CHECK(m_producer, GCReadPort(m_remote, address, &value, &size));
    return value;
}

void QuarvoStream::WriteRemote(uint64_t address, uint32_t value) {
    size_t size = sizeof value;
    QUARVO_CHECK(m_producer, GCWritePort(m_remote, address, &value, &size));
}

}  // namespace quarvo_bench
