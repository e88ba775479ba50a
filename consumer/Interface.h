// One open Interface module with its device list updated. Closing (destruction) closes it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "consumer/System.h"

namespace quarvo {

class Interface {
public:
    Interface(const System& system, std::string id);
    ~Interface();
    Interface(const Interface&) = delete;
    Interface& operator=(const Interface&) = delete;

    const ProducerLibrary& Producer() const { return m_producer; }
    IF_HANDLE Handle() const { return m_handle; }
    const std::string& ID() const { return m_id; }

    // Texts about the interface and about a listed device; throw GenTLError when the producer
    // does not tell.
    std::string Text(INTERFACE_INFO_CMD command) const;
    std::vector<std::string> DeviceIDs() const;
    std::string DeviceText(const std::string& deviceID, DEVICE_INFO_CMD command) const;
    std::optional<int32_t> DeviceAccessStatus(const std::string& deviceID) const;

private:
    const ProducerLibrary& m_producer;
    std::string m_id;
    IF_HANDLE m_handle = nullptr;
};

// "ReadWrite", "Busy", ... for a DEVICE_ACCESS_STATUS value.
std::string AccessStatusName(std::optional<int32_t> status);

}  // namespace quarvo
