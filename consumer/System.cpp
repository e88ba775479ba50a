#include "consumer/System.h"

#include "consumer/Errors.h"
#include "consumer/InfoQuery.h"

namespace quarvo {

namespace {

// Time given to the producer to discover its interfaces.
constexpr uint64_t kUpdateTimeoutMs = 1000;

}  // namespace

System::System(const ProducerLibrary& producer) : m_producer(producer) {
    producer.Check(producer.GCInitLib(), "GCInitLib");
    const GC_ERROR opened = producer.TLOpen(&m_handle);
    if (opened != GC_ERR_SUCCESS) {
        const std::string text = producer.LastErrorText();
        producer.GCCloseLib();
        throw GenTLError("TLOpen", opened, text);
    }
    const GC_ERROR updated = producer.TLUpdateInterfaceList(m_handle, nullptr, kUpdateTimeoutMs);
    if (updated != GC_ERR_SUCCESS) {
        const std::string text = producer.LastErrorText();
        producer.TLClose(m_handle);
        producer.GCCloseLib();
        throw GenTLError("TLUpdateInterfaceList", updated, text);
    }
}

System::~System() {
    m_producer.TLClose(m_handle);
    m_producer.GCCloseLib();
}

std::string System::ProducerText(TL_INFO_CMD command) const {
    return InfoText(m_producer, "GCGetInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.GCGetInfo(command, type, buffer, size);
    });
}

std::string System::Text(TL_INFO_CMD command) const {
    return InfoText(m_producer, "TLGetInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.TLGetInfo(m_handle, command, type, buffer, size);
    });
}

std::string System::GenTLVersion() const {
    auto number = [this](TL_INFO_CMD command) {
        const auto value = OptionalInfoValue<uint32_t>([&](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return m_producer.GCGetInfo(command, type, buffer, size);
        });
        return value ? std::to_string(*value) : std::string("?");
    };
    return number(TL_INFO_GENTL_VER_MAJOR) + "." + number(TL_INFO_GENTL_VER_MINOR);
}

std::vector<std::string> System::InterfaceIDs() const {
    uint32_t count = 0;
    m_producer.Check(m_producer.TLGetNumInterfaces(m_handle, &count), "TLGetNumInterfaces");
    std::vector<std::string> ids;
    for (uint32_t index = 0; index < count; ++index) {
        char id[1024] = {};
        size_t size = sizeof id;
        m_producer.Check(m_producer.TLGetInterfaceID(m_handle, index, id, &size), "TLGetInterfaceID");
        ids.emplace_back(id);
    }
    return ids;
}

std::string System::InterfaceText(const std::string& id, INTERFACE_INFO_CMD command) const {
    return InfoText(m_producer, "TLGetInterfaceInfo", [&](INFO_DATATYPE* type, void* buffer, size_t* size) {
        return m_producer.TLGetInterfaceInfo(m_handle, id.c_str(), command, type, buffer, size);
    });
}

}  // namespace quarvo
