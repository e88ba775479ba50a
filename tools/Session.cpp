#include "tools/Session.h"

#include "consumer/Device.h"
#include "consumer/FeatureAccess.h"
#include "consumer/ProducerLocator.h"

namespace quarvo::tool {

Module ParseModule(const std::string& name) {
    static const std::map<std::string, Module> kModules = {{"system", Module::System},
                                                           {"interface", Module::Interface},
                                                           {"device", Module::Device},
                                                           {"remote", Module::Remote},
                                                           {"stream", Module::Stream}};
    const auto found = kModules.find(name);
    if (found == kModules.end()) {
        throw UsageError("unknown module '" + name + "': system, interface, device, remote or stream");
    }
    return found->second;
}

Session::Session(const std::string& cti) {
    m_producer = std::make_unique<ProducerLibrary>(ProducerLocator::ForThisProgram(cti).Find());
    m_system = std::make_unique<System>(*m_producer);
}

// Ports first, then the modules from the bottom up.
Session::~Session() {
    m_ports.clear();
    m_stream.reset();
    m_device.reset();
    m_interface.reset();
    m_system.reset();
}

void Session::OpenDevice(const std::string& id) {
    std::vector<std::string> listed;
    for (const std::string& interfaceID : m_system->InterfaceIDs()) {
        std::optional<SearchedInterface> searched = SearchInterface(interfaceID);
        if (!searched) {
            continue;
        }
        for (const std::string& deviceID : searched->devices) {
            if (id.empty() || deviceID == id) {
                m_interface = std::move(searched->iface);
                m_device = std::make_unique<Device>(*m_interface, deviceID);
                return;
            }
            listed.push_back(deviceID);
        }
    }
    NoDevice(id, listed);
}

std::optional<Session::SearchedInterface> Session::SearchInterface(const std::string& interfaceID) {
    try {
        auto iface = std::make_unique<Interface>(*m_system, interfaceID);
        std::vector<std::string> devices = iface->DeviceIDs();
        return SearchedInterface{std::move(iface), std::move(devices)};
    } catch (const GenTLError& error) {
        m_failures.Add("interface " + interfaceID + " skipped", error.what());
        return std::nullopt;
    }
}

void Session::NoDevice(const std::string& id, const std::vector<std::string>& listed) const {
    if (id.empty()) {
        throw std::runtime_error("the producer " + m_producer->Path() + " lists no device");
    }
    throw std::runtime_error("no device '" + id + "'; the producer lists " + (listed.empty() ? "none" : Join(listed)));
}

GenApiPort& Session::Port(Module module) {
    auto& port = m_ports[module];
    if (!port) {
        port = MakePort(module);
    }
    return *port;
}

std::unique_ptr<GenApiPort> Session::MakePort(Module module) {
    switch (module) {
        case Module::System:
            return std::make_unique<GenApiPort>(*m_producer, m_system->Handle());
        case Module::Interface:
            return std::make_unique<GenApiPort>(*m_producer, m_interface->Handle());
        case Module::Device:
            return std::make_unique<GenApiPort>(*m_producer, m_device->Handle());
        case Module::Remote:
            return std::make_unique<GenApiPort>(*m_producer, m_device->RemotePort());
        case Module::Stream:
            if (!m_stream) {
                const auto streams = m_device->StreamIDs();
                if (streams.empty()) {
                    throw std::runtime_error("device " + m_device->ID() + " has no data stream");
                }
                m_stream = std::make_unique<DataStream>(*m_device, streams.front());
            }
            return std::make_unique<GenApiPort>(*m_producer, m_stream->Handle());
    }
    throw UsageError("unknown module");
}

}  // namespace quarvo::tool
