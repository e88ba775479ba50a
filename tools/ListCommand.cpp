#include "tools/ListCommand.h"

#include <iostream>

#include "tools/Session.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

// The device table of one interface; throws GenTLError when the interface cannot be opened or
// does not list its devices.
Table Devices(const System& system, const std::string& interfaceID, FailureLog& failures) {
    const Interface iface(system, interfaceID);
    Table devices;
    devices.Add({"ID", "VENDOR", "MODEL", "SERIAL", "DISPLAY NAME", "ACCESS"});
    for (const std::string& deviceID : iface.DeviceIDs()) {
        const auto text = [&](DEVICE_INFO_CMD command, const char* what) {
            return failures.DeviceText(iface, deviceID, command, what);
        };
        devices.Add({deviceID, text(DEVICE_INFO_VENDOR, "vendor"), text(DEVICE_INFO_MODEL, "model"),
                     text(DEVICE_INFO_SERIAL_NUMBER, "serial number"), text(DEVICE_INFO_DISPLAYNAME, "display name"),
                     AccessStatusName(iface.DeviceAccessStatus(deviceID))});
    }
    return devices;
}

}  // namespace

ListCommand::ListCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "list",
              "List the interfaces and their devices: ID, vendor, model, serial number, display name, access status. "
              "An interface that fails is reported and the others are listed.",
              global) {}

void ListCommand::Run() {
    Session session(Global().cti);
    const System& system = session.TransportLayer();
    FailureLog& failures = session.Failures();
    std::cout << "Producer " << session.Producer().Path() << "\n";
    for (const std::string& interfaceID : system.InterfaceIDs()) {
        std::cout << "Interface " << interfaceID << "  "
                  << failures.Text("interface " + interfaceID + " display name",
                                   [&] { return system.InterfaceText(interfaceID, INTERFACE_INFO_DISPLAYNAME); })
                  << "\n";
        try {
            Devices(system, interfaceID, failures).Print(std::cout, "  ");
        } catch (const GenTLError& error) {
            std::cout << "  (cannot be listed)\n";
            failures.Add("interface " + interfaceID, error.what());
        }
    }
    failures.Conclude();
}

}  // namespace quarvo::tool
