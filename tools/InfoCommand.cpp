#include "tools/InfoCommand.h"

#include <iostream>

#include "consumer/Device.h"
#include "consumer/FeatureAccess.h"
#include "consumer/InfoQuery.h"
#include "tools/Session.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

void Section(const std::string& title, const Table& table) {
    std::cout << title << "\n";
    table.Print(std::cout, "  ");
}

// One row per command: its label and the text the module gives, or how the query failed.
template <class Texts>
Table TextTable(Table table, std::initializer_list<std::pair<const char*, int32_t>> commands, FailureLog& failures,
                const std::string& module, Texts&& text) {
    for (const auto& [label, command] : commands) {
        table.Add({label, failures.Text(module + " " + label, [&, command = command] { return text(command); })});
    }
    return table;
}

}  // namespace

InfoCommand::InfoCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "info",
              "Show what the producer, its System, the interface and the device report; a query that fails is "
              "shown as (failed) and reported",
              global) {
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
}

void InfoCommand::Run() {
    Session session(Global().cti);
    session.OpenDevice(m_device);
    FailureLog& failures = session.Failures();
    const System& system = session.TransportLayer();
    Table file;
    file.Add({"File", session.Producer().Path()});
    Table producer = TextTable(file,
                               {{"ID", TL_INFO_ID}, {"Vendor", TL_INFO_VENDOR}, {"Model", TL_INFO_MODEL},
                                {"Version", TL_INFO_VERSION}, {"Type", TL_INFO_TLTYPE},
                                {"Display name", TL_INFO_DISPLAYNAME}},
                               failures, "producer", [&](int32_t command) { return system.ProducerText(command); });
    producer.Add({"GenTL version", system.GenTLVersion()});
    Section("Producer", producer);
    Section("System", TextTable({},
                                {{"ID", TL_INFO_ID}, {"Name", TL_INFO_NAME}, {"Path", TL_INFO_PATHNAME},
                                 {"Display name", TL_INFO_DISPLAYNAME}},
                                failures, "system", [&](int32_t command) { return system.Text(command); }));
    const Interface& iface = session.OpenedInterface();
    Section("Interface " + iface.ID(),
            TextTable({},
                      {{"ID", INTERFACE_INFO_ID}, {"Display name", INTERFACE_INFO_DISPLAYNAME},
                       {"Type", INTERFACE_INFO_TLTYPE}},
                      failures, "interface " + iface.ID(), [&](int32_t command) { return iface.Text(command); }));
    const Device& device = session.OpenedDevice();
    Table table = TextTable({},
                            {{"ID", DEVICE_INFO_ID}, {"Vendor", DEVICE_INFO_VENDOR}, {"Model", DEVICE_INFO_MODEL},
                             {"Serial number", DEVICE_INFO_SERIAL_NUMBER}, {"Version", DEVICE_INFO_VERSION},
                             {"Type", DEVICE_INFO_TLTYPE}, {"Display name", DEVICE_INFO_DISPLAYNAME},
                             {"User-defined name", DEVICE_INFO_USER_DEFINED_NAME}},
                            failures, "device " + device.ID(), [&](int32_t command) { return device.Text(command); });
    table.Add({"Access status", AccessStatusName(iface.DeviceAccessStatus(device.ID()))});
    table.Add({"Data streams", failures.Text("device " + device.ID() + " data streams",
                                             [&] { return Join(device.StreamIDs()); })});
    Section("Device " + device.ID(), table);
    failures.Conclude();
}

}  // namespace quarvo::tool
