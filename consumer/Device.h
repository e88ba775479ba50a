// One open Device module, opened for control. Closing (destruction) closes it.
#pragma once

#include <string>
#include <vector>

#include "consumer/Interface.h"

namespace quarvo {

class Device {
public:
    Device(const Interface& iface, std::string id);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const ProducerLibrary& Producer() const { return m_producer; }
    DEV_HANDLE Handle() const { return m_handle; }
    const std::string& ID() const { return m_id; }
    // The port of the camera itself.
    PORT_HANDLE RemotePort() const;

    // Throws GenTLError when the producer does not tell.
    std::string Text(DEVICE_INFO_CMD command) const;
    std::vector<std::string> StreamIDs() const;

private:
    const ProducerLibrary& m_producer;
    std::string m_id;
    DEV_HANDLE m_handle = nullptr;
};

}  // namespace quarvo
