#include "tools/FailureLog.h"

#include <iostream>

namespace quarvo::tool {

void FailureLog::Add(const std::string& what, const std::string& reason) {
    std::cerr << "quarvo: " << (what.empty() ? "" : what + ": ") << reason << "\n";
    ++m_count;
}

std::string FailureLog::DeviceText(const Interface& iface, const std::string& deviceID, DEVICE_INFO_CMD command,
                                   const char* what) {
    return Text("device " + deviceID + " " + what, [&] { return iface.DeviceText(deviceID, command); });
}

void FailureLog::Conclude() const {
    if (m_count > 0) {
        throw std::runtime_error(std::to_string(m_count) + (m_count == 1 ? " failure" : " failures") +
                                 " reported above");
    }
}

}  // namespace quarvo::tool
