#include "tools/RigCommand.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "consumer/Interface.h"
#include "consumer/PixelFormat.h"
#include "tools/Session.h"
#include "tools/SimulatedRig.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

// The component's name of an interface: the identifier after its prefix.
std::string BareID(const std::string& interfaceID) {
    const size_t separator = interfaceID.find("::");
    return separator == std::string::npos ? interfaceID : interfaceID.substr(separator + 2);
}

std::string PatternName(std::optional<int32_t> pattern) {
    static const char* const kNames[] = {"moving-ramp", "still-ramp", "checkerboard", "colour-bars", "images"};
    if (!pattern || *pattern < 0 || *pattern >= static_cast<int32_t>(std::size(kNames))) {
        return "?";
    }
    return kNames[*pattern];
}

std::string FormatName(std::optional<int32_t> code) {
    const PixelFormat* format = code ? FindPixelFormat(static_cast<uint32_t>(*code)) : nullptr;
    return format != nullptr ? format->name : "?";
}

std::string Number(std::optional<int32_t> value) { return value ? std::to_string(*value) : "?"; }

std::string FrameRate(std::optional<int32_t> rate) {
    if (!rate) {
        return "?";
    }
    return *rate == 0 ? "unlimited" : std::to_string(*rate) + " fps";
}

// The fault knobs that are on, or "none".
std::string Faults(const SimulatedRig& rig, const std::string& board, const std::string& camera) {
    const struct {
        int32_t parameter;
        const char* before;
        const char* after;
    } kKnobs[] = {{Quibbon::kParamFaultDropEvery, "drop every ", ""},
                  {Quibbon::kParamFaultIncompleteEvery, "incomplete every ", ""},
                  {Quibbon::kParamFaultFailEvery, "fail every ", ""},
                  {Quibbon::kParamFaultTimeoutEvery, "time-out every ", ""},
                  {Quibbon::kParamFaultDelayMs, "delay ", " ms"}};
    std::string faults;
    for (const auto& knob : kKnobs) {
        const std::optional<int32_t> value = rig.Parameter(board, camera, knob.parameter);
        if (value && *value != 0) {
            faults += (faults.empty() ? "" : ", ") + std::string(knob.before) + std::to_string(*value) + knob.after;
        }
    }
    return faults.empty() ? "none" : faults;
}

std::string Source() {
    const char* file = std::getenv("QUARVO_RIG");
    return file != nullptr && *file != '\0' ? std::string(file) + " (named by QUARVO_RIG)"
                                            : std::string("the built-in rig (QUARVO_RIG is not set)");
}

}  // namespace

RigCommand::RigCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "rig",
              "Show Quarvo's simulated rig in effect: boards, cameras, profiles, sizes, formats, frame rates, patterns, "
              "faults, and where it came from",
              global) {}

void RigCommand::Run() {
    Session session(Global().cti);
    const SimulatedRig rig;
    const System& system = session.TransportLayer();
    std::cout << "Rig from " << Source() << "\n";
    for (const std::string& interfaceID : system.InterfaceIDs()) {
        const Interface iface(system, interfaceID);
        const std::string board = BareID(interfaceID);
        std::cout << "Interface " << interfaceID << "  " << rig.BoardName(board) << "\n";
        Table cameras;
        cameras.Add({"ID", "PROFILE", "MODEL", "SERIAL", "USER NAME", "SIZE", "FORMAT", "RATE", "PATTERN", "FAULTS"});
        for (const std::string& camera : iface.DeviceIDs()) {
            const auto parameter = [&](int32_t number) { return rig.Parameter(board, camera, number); };
            const bool sfnc = parameter(Quibbon::kParamSelfDescribing) == 1;
            const auto text = [&](DEVICE_INFO_CMD command, const char* what) {
                return session.Failures().DeviceText(iface, camera, command, what);
            };
            cameras.Add({camera, sfnc ? "sfnc" : "basic", text(DEVICE_INFO_MODEL, "model"),
                         text(DEVICE_INFO_SERIAL_NUMBER, "serial number"),
                         text(DEVICE_INFO_USER_DEFINED_NAME, "user-defined name"),
                         Number(parameter(Quibbon::kParamWidth)) + "x" + Number(parameter(Quibbon::kParamHeight)),
                         FormatName(parameter(Quibbon::kParamPixelFormat)), FrameRate(parameter(Quibbon::kParamFrameRate)),
                         PatternName(parameter(Quibbon::kParamTestPattern)), Faults(rig, board, camera)});
        }
        cameras.Print(std::cout, "  ");
    }
    session.Failures().Conclude();
}

}  // namespace quarvo::tool
