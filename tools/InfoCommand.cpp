#include "tools/InfoCommand.h"

#include <iostream>

#include "consumer/Device.h"
#include "consumer/InfoQuery.h"
#include "tools/Session.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

void Section(const std::string& title, const Table& table) {
    std::cout << title << "\n";
    table.Print(std::cout, "  ");
}

template <class Texts>
Table TextTable(std::initializer_list<std::pair<const char*, int32_t>> commands, Texts&& text) {
    Table table;
    for (const auto& [label, command] : commands) {
        table.Add({label, text(command)});
    }
    return table;
}

}  // namespace

InfoCommand::InfoCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "info", "Show what the producer, its System, the interface and the device report", global) {
    App().add_option("-d,--device", m_device, "Device ID (default: the first device of the first interface)");
}

void InfoCommand::Run() {
    Session session(Global().cti, SettingsStore(""));
    session.OpenDevice(m_device);
    const System& system = session.TransportLayer();
    Table producer = TextTable({{"File", -1}, {"ID", TL_INFO_ID}, {"Vendor", TL_INFO_VENDOR}, {"Model", TL_INFO_MODEL},
                                {"Version", TL_INFO_VERSION}, {"Type", TL_INFO_TLTYPE}, {"Display name", TL_INFO_DISPLAYNAME}},
                               [&](int32_t command) {
                                   return command < 0 ? session.Producer().Path() : system.ProducerText(command);
                               });
    producer.Add({"GenTL version", system.GenTLVersion()});
    Section("Producer", producer);
    Section("System", TextTable({{"ID", TL_INFO_ID}, {"Name", TL_INFO_NAME}, {"Path", TL_INFO_PATHNAME},
                                 {"Display name", TL_INFO_DISPLAYNAME}},
                                [&](int32_t command) { return system.Text(command); }));
    const Interface& iface = session.OpenedInterface();
    Section("Interface " + iface.ID(),
            TextTable({{"ID", INTERFACE_INFO_ID}, {"Display name", INTERFACE_INFO_DISPLAYNAME}, {"Type", INTERFACE_INFO_TLTYPE}},
                      [&](int32_t command) { return iface.Text(command); }));
    const Device& device = session.OpenedDevice();
    Table table = TextTable({{"ID", DEVICE_INFO_ID}, {"Vendor", DEVICE_INFO_VENDOR}, {"Model", DEVICE_INFO_MODEL},
                             {"Serial number", DEVICE_INFO_SERIAL_NUMBER}, {"Version", DEVICE_INFO_VERSION},
                             {"Type", DEVICE_INFO_TLTYPE}, {"Display name", DEVICE_INFO_DISPLAYNAME},
                             {"User-defined name", DEVICE_INFO_USER_DEFINED_NAME}},
                            [&](int32_t command) { return device.Text(command); });
    table.Add({"Access status", AccessStatusName(iface.DeviceAccessStatus(device.ID()))});
    std::string streams;
    for (const std::string& stream : device.StreamIDs()) {
        streams += (streams.empty() ? "" : ", ") + stream;
    }
    table.Add({"Data streams", streams});
    Section("Device " + device.ID(), table);
}

}  // namespace quarvo::tool
