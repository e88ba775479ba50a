#include "tools/ListCommand.h"

#include <iostream>

#include "tools/Session.h"
#include "tools/Table.h"

namespace quarvo::tool {

ListCommand::ListCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "list", "List the interfaces and their devices: ID, vendor, model, serial number, display name, access status",
              global) {}

void ListCommand::Run() {
    Session session(Global().cti, SettingsStore(""));
    const System& system = session.TransportLayer();
    std::cout << "Producer " << session.Producer().Path() << "\n";
    for (const std::string& interfaceID : system.InterfaceIDs()) {
        const Interface iface(system, interfaceID);
        std::cout << "Interface " << interfaceID << "  " << system.InterfaceText(interfaceID, INTERFACE_INFO_DISPLAYNAME)
                  << "\n";
        Table devices;
        devices.Add({"ID", "VENDOR", "MODEL", "SERIAL", "DISPLAY NAME", "ACCESS"});
        for (const std::string& deviceID : iface.DeviceIDs()) {
            devices.Add({deviceID, iface.DeviceText(deviceID, DEVICE_INFO_VENDOR),
                         iface.DeviceText(deviceID, DEVICE_INFO_MODEL),
                         iface.DeviceText(deviceID, DEVICE_INFO_SERIAL_NUMBER),
                         iface.DeviceText(deviceID, DEVICE_INFO_DISPLAYNAME),
                         AccessStatusName(iface.DeviceAccessStatus(deviceID))});
        }
        devices.Print(std::cout, "  ");
    }
}

}  // namespace quarvo::tool
