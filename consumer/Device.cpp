#include "consumer/Device.h"

#include <utility>

#include "consumer/InfoQuery.h"

namespace quarvo {

Device::Device(const Interface& iface, std::string id) : m_producer(iface.Producer()), m_id(std::move(id)) {
    m_producer.Check(m_producer.IFOpenDevice(iface.Handle(), m_id.c_str(), DEVICE_ACCESS_CONTROL, &m_handle),
                     "IFOpenDevice");
}

Device::~Device() { m_producer.DevClose(m_handle); }

PORT_HANDLE Device::RemotePort() const {
    PORT_HANDLE port = nullptr;
    m_producer.Check(m_producer.DevGetPort(m_handle, &port), "DevGetPort");
    return port;
}

std::string Device::Text(DEVICE_INFO_CMD command) const {
    return InfoText(m_producer, "DevGetInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.DevGetInfo(m_handle, command, type, buffer, size);
    });
}

std::vector<std::string> Device::StreamIDs() const {
    uint32_t count = 0;
    m_producer.Check(m_producer.DevGetNumDataStreams(m_handle, &count), "DevGetNumDataStreams");
    std::vector<std::string> ids;
    for (uint32_t index = 0; index < count; ++index) {
        char id[1024] = {};
        size_t size = sizeof id;
        m_producer.Check(m_producer.DevGetDataStreamID(m_handle, index, id, &size), "DevGetDataStreamID");
        ids.emplace_back(id);
    }
    return ids;
}

}  // namespace quarvo
