// What a quarvo command works on: the producer found and loaded, its System open, and on demand
// one device (with its interface) and the GenApi ports of its modules; and the failures the
// command carried on past.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "consumer/DataStream.h"
#include "consumer/GenApiPort.h"
#include "consumer/Interface.h"
#include "consumer/ProducerLibrary.h"
#include "consumer/System.h"
#include "tools/FailureLog.h"

namespace quarvo::tool {

enum class Module { System, Interface, Device, Remote, Stream };

// "system" -> Module::System, ...; throws UsageError for other names.
Module ParseModule(const std::string& name);

class Session {
public:
    explicit Session(const std::string& cti);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const ProducerLibrary& Producer() const { return *m_producer; }
    const System& TransportLayer() const { return *m_system; }
    FailureLog& Failures() { return m_failures; }

    // Opens the device of that ID (empty: the first device of the first interface that has one).
    // An interface that cannot be searched is reported to Failures and skipped.
    void OpenDevice(const std::string& id);

    struct SearchedInterface {
        std::unique_ptr<Interface> iface;
        std::vector<std::string> devices;  // the IDs it lists
    };
    // The interface of that ID opened, with its devices; nothing, reported to Failures as skipped,
    // when it cannot be opened or searched.
    std::optional<SearchedInterface> SearchInterface(const std::string& interfaceID);
    // Throws the error for a device ID not among those listed (id empty: the producer lists none).
    [[noreturn]] void NoDevice(const std::string& id, const std::vector<std::string>& listed) const;
    const Interface& OpenedInterface() const { return *m_interface; }
    const Device& OpenedDevice() const { return *m_device; }

    // The GenApi port of a module of the opened device.
    GenApiPort& Port(Module module);

private:
    std::unique_ptr<GenApiPort> MakePort(Module module);

    FailureLog m_failures;
    std::unique_ptr<ProducerLibrary> m_producer;
    std::unique_ptr<System> m_system;
    std::unique_ptr<Interface> m_interface;
    std::unique_ptr<Device> m_device;
    std::unique_ptr<DataStream> m_stream;
    std::map<Module, std::unique_ptr<GenApiPort>> m_ports;
};

}  // namespace quarvo::tool
