#include "consumer/Interface.h"

#include <iterator>
#include <utility>

#include "consumer/Errors.h"
#include "consumer/InfoQuery.h"

namespace quarvo {

namespace {

// Time given to the producer to discover the devices of an interface.
constexpr uint64_t kUpdateTimeoutMs = 1000;

}  // namespace

Interface::Interface(const System& system, std::string id) : m_producer(system.Producer()), m_id(std::move(id)) {
    m_producer.Check(m_producer.TLOpenInterface(system.Handle(), m_id.c_str(), &m_handle), "TLOpenInterface");
    const GC_ERROR updated = m_producer.IFUpdateDeviceList(m_handle, nullptr, kUpdateTimeoutMs);
    if (updated != GC_ERR_SUCCESS) {
        const std::string text = m_producer.LastErrorText();
        m_producer.IFClose(m_handle);
        throw GenTLError("IFUpdateDeviceList", updated, text);
    }
}

Interface::~Interface() { m_producer.IFClose(m_handle); }

std::string Interface::Text(INTERFACE_INFO_CMD command) const {
    return InfoText(m_producer, "IFGetInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.IFGetInfo(m_handle, command, type, buffer, size);
    });
}

std::vector<std::string> Interface::DeviceIDs() const {
    uint32_t count = 0;
    m_producer.Check(m_producer.IFGetNumDevices(m_handle, &count), "IFGetNumDevices");
    std::vector<std::string> ids;
    for (uint32_t index = 0; index < count; ++index) {
        char id[1024] = {};
        size_t size = sizeof id;
        m_producer.Check(m_producer.IFGetDeviceID(m_handle, index, id, &size), "IFGetDeviceID");
        ids.emplace_back(id);
    }
    return ids;
}

std::string Interface::DeviceText(const std::string& deviceID, DEVICE_INFO_CMD command) const {
    return InfoText(m_producer, "IFGetDeviceInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.IFGetDeviceInfo(m_handle, deviceID.c_str(), command, type, buffer, size);
    });
}

std::optional<int32_t> Interface::DeviceAccessStatus(const std::string& deviceID) const {
    return OptionalInfoValue<int32_t>([&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.IFGetDeviceInfo(m_handle, deviceID.c_str(), DEVICE_INFO_ACCESS_STATUS, type, buffer, size);
    });
}

std::string AccessStatusName(std::optional<int32_t> status) {
    static const char* const kNames[] = {"Unknown", "ReadWrite", "ReadOnly", "NoAccess",
                                         "Busy",    "OpenReadWrite", "OpenReadOnly"};
    if (!status) {
        return "-";
    }
    if (*status < 0 || *status >= static_cast<int32_t>(std::size(kNames))) {
        return "Status " + std::to_string(*status);
    }
    return kNames[*status];
}

}  // namespace quarvo
