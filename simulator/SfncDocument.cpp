#include "simulator/SfncDocument.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "SfncSkeleton.h"
#include "simulator/PixelFormats.h"
#include "simulator/SfncRegisters.h"

namespace Quibbon::Sim::Sfnc {

namespace {

constexpr Access RO = Access::RO, RW = Access::RW;
constexpr RegisterKind Int = RegisterKind::Int, Float = RegisterKind::Float, Text = RegisterKind::String;
constexpr Caching Cached = Caching::WriteThrough, NoCache = Caching::NoCache;

constexpr RegisterNode kRegisters[] = {
    // DeviceControl
    {"DeviceVendorNameReg", kDeviceVendorName, 32, RO, Text, Cached, {}},
    {"DeviceModelNameReg", kDeviceModelName, 32, RO, Text, Cached, {}},
    {"DeviceSerialNumberReg", kDeviceSerialNumber, 32, RO, Text, Cached, {}},
    {"DeviceFirmwareVersionReg", kDeviceFirmwareVersion, 32, RO, Text, Cached, {}},
    {"DeviceUserIDReg", kDeviceUserID, 64, RW, Text, Cached, {}},
    {"DeviceResetReg", kDeviceReset, 4, RW, Int, NoCache, {}},
    {"DeviceTemperatureReg", kDeviceTemperature, 8, RO, Float, NoCache, {}},

    // ImageFormatControl
    {"SensorWidthReg", kSensorWidth, 4, RO, Int, Cached, {}},
    {"SensorHeightReg", kSensorHeight, 4, RO, Int, Cached, {}},
    // Binning and decimation change the largest image and, since the camera shrinks the region to
    // fit it, the region.
    {"WidthMaxReg", kWidthMax, 4, RO, Int, Cached, {"BinningHorizontalReg", "DecimationHorizontalReg"}},
    {"HeightMaxReg", kHeightMax, 4, RO, Int, Cached, {"BinningVerticalReg", "DecimationVerticalReg"}},
    {"WidthReg", kWidth, 4, RW, Int, Cached, {"BinningHorizontalReg", "DecimationHorizontalReg"}},
    {"HeightReg", kHeight, 4, RW, Int, Cached, {"BinningVerticalReg", "DecimationVerticalReg"}},
    {"OffsetXReg", kOffsetX, 4, RW, Int, Cached, {"BinningHorizontalReg", "DecimationHorizontalReg"}},
    {"OffsetYReg", kOffsetY, 4, RW, Int, Cached, {"BinningVerticalReg", "DecimationVerticalReg"}},
    {"PixelFormatReg", kPixelFormat, 4, RW, Int, Cached, {}},
    {"ReverseXReg", kReverseX, 4, RW, Int, Cached, {}},
    {"ReverseYReg", kReverseY, 4, RW, Int, Cached, {}},
    {"BinningHorizontalReg", kBinningHorizontal, 4, RW, Int, Cached, {}},
    {"BinningVerticalReg", kBinningVertical, 4, RW, Int, Cached, {}},
    {"BinningHorizontalModeReg", kBinningHorizontalMode, 4, RW, Int, Cached, {}},
    {"BinningVerticalModeReg", kBinningVerticalMode, 4, RW, Int, Cached, {}},
    {"DecimationHorizontalReg", kDecimationHorizontal, 4, RW, Int, Cached, {}},
    {"DecimationVerticalReg", kDecimationVertical, 4, RW, Int, Cached, {}},
    {"TestPatternReg", kTestPattern, 4, RW, Int, Cached, {}},

    // AcquisitionControl. The trigger registers answer for the selected trigger.
    {"AcquisitionModeReg", kAcquisitionMode, 4, RW, Int, Cached, {}},
    {"AcquisitionStartReg", kAcquisitionStart, 4, RW, Int, NoCache, {}},
    {"AcquisitionStopReg", kAcquisitionStop, 4, RW, Int, NoCache, {}},
    {"AcquisitionFrameCountReg", kAcquisitionFrameCount, 4, RW, Int, Cached, {}},
    {"AcquisitionFrameRateEnableReg", kAcquisitionFrameRateEnable, 4, RW, Int, Cached, {}},
    {"AcquisitionFrameRateReg", kAcquisitionFrameRate, 8, RW, Float, Cached, {}},
    {"TriggerSelectorReg", kTriggerSelector, 4, RW, Int, Cached, {}},
    {"TriggerModeReg", kTriggerMode, 4, RW, Int, Cached, {"TriggerSelectorReg"}},
    {"TriggerSoftwareReg", kTriggerSoftware, 4, RW, Int, NoCache, {"TriggerSelectorReg"}},
    {"TriggerSourceReg", kTriggerSource, 4, RW, Int, Cached, {"TriggerSelectorReg"}},
    {"TriggerActivationReg", kTriggerActivation, 4, RW, Int, Cached, {"TriggerSelectorReg"}},
    {"TriggerDelayReg", kTriggerDelay, 8, RW, Float, Cached, {"TriggerSelectorReg"}},
    {"ExposureModeReg", kExposureMode, 4, RW, Int, Cached, {}},
    // The auto modes change the exposure time and the gain, and Once falls back to Off by itself.
    {"ExposureTimeReg", kExposureTime, 8, RW, Float, NoCache, {}},
    {"ExposureAutoReg", kExposureAuto, 4, RW, Int, NoCache, {}},
    // Follows the exposure time, which the auto mode changes.
    {"AcquisitionResultingFrameRateReg", kAcquisitionResultingFrameRate, 8, RO, Float, NoCache, {}},

    // AnalogControl
    {"GainSelectorReg", kGainSelector, 4, RW, Int, Cached, {}},
    {"GainReg", kGain, 8, RW, Float, NoCache, {"GainSelectorReg"}},
    {"GainAutoReg", kGainAuto, 4, RW, Int, NoCache, {}},
    {"BlackLevelReg", kBlackLevel, 8, RW, Float, Cached, {}},
    {"GammaReg", kGamma, 8, RW, Float, Cached, {}},

    // TransportLayerControl. The lock reads 1 while the camera acquires, which it stops on its
    // own after a single or multi-frame acquisition.
    {"PayloadSizeReg", kPayloadSize, 4, RO, Int, Cached,
     {"WidthReg", "HeightReg", "PixelFormatReg", "BinningHorizontalReg", "BinningVerticalReg",
      "DecimationHorizontalReg", "DecimationVerticalReg", "ChunkModeActiveReg", "ChunkEnableReg"}},
    {"TLParamsLockedReg", kTLParamsLocked, 4, RW, Int, NoCache, {}},

    // ChunkDataControl. ChunkEnable answers for the selected chunk. The chunk values are read from
    // the delivered buffer through the chunk ports, not from these registers.
    {"ChunkModeActiveReg", kChunkModeActive, 4, RW, Int, Cached, {}},
    {"ChunkSelectorReg", kChunkSelector, 4, RW, Int, Cached, {}},
    {"ChunkEnableReg", kChunkEnable, 4, RW, Int, Cached, {"ChunkSelectorReg"}},

    // EventControl. EventNotification answers for the selected event. The event data is read
    // from the delivered events through the event ports, not from these registers.
    {"EventSelectorReg", kEventSelector, 4, RW, Int, Cached, {}},
    {"EventNotificationReg", kEventNotification, 4, RW, Int, Cached, {"EventSelectorReg"}},

    // UserSetControl. The commands act on the selected set.
    {"UserSetSelectorReg", kUserSetSelector, 4, RW, Int, Cached, {}},
    {"UserSetLoadReg", kUserSetLoad, 4, RW, Int, NoCache, {}},
    {"UserSetSaveReg", kUserSetSave, 4, RW, Int, NoCache, {}},
    {"UserSetDefaultReg", kUserSetDefault, 4, RW, Int, Cached, {}},

    // The camera's clock (DeviceControl). The latched value changes only by the latch command.
    {"TimestampLatchReg", kTimestampLatch, 4, RW, Int, NoCache, {}},
    {"TimestampResetReg", kTimestampReset, 4, RW, Int, NoCache, {}},
    {"TimestampLatchValueReg", kTimestampLatchValue, 8, RO, Int, Cached, {"TimestampLatchReg"}},
    {"DeviceTimestampFrequencyReg", kDeviceTimestampFrequency, 8, RO, Int, Cached, {}},
};

constexpr bool InAddressOrder() {
    for (size_t i = 1; i < std::size(kRegisters); ++i) {
        if (kRegisters[i - 1].address + kRegisters[i - 1].length > kRegisters[i].address) {
            return false;
        }
    }
    return true;
}
static_assert(InAddressOrder(), "registers in increasing address order, none overlapping the next");

// Writes to these change every setting of the camera.
constexpr const char* kResetRegisters[] = {"DeviceResetReg", "UserSetLoadReg"};
constexpr const char* kPort = "Device";

const char* AccessText(Access access) {
    switch (access) {
        case Access::RO:
            return "RO";
        case Access::WO:
            return "WO";
        default:
            return "RW";
    }
}

const char* NodeType(RegisterKind kind) {
    switch (kind) {
        case RegisterKind::Int:
            return "IntReg";
        case RegisterKind::Float:
            return "FloatReg";
        default:
            return "StringReg";
    }
}

std::string Hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*" PRIX64, digits, value);
    return text;
}

void AppendElement(std::string& xml, const char* element, const std::string& value) {
    xml.append("    <").append(element).append(">").append(value).append("</").append(element).append(">\n");
}

std::string RegisterNodeXml(const RegisterNode& reg) {
    const char* type = NodeType(reg.kind);
    std::string xml = std::string("  <") + type + " Name=\"" + reg.name + "\">\n";
    AppendElement(xml, "Visibility", "Invisible");
    AppendElement(xml, "Address", Hex(reg.address, 4));
    AppendElement(xml, "Length", std::to_string(reg.length));
    AppendElement(xml, "AccessMode", AccessText(reg.access));
    AppendElement(xml, "pPort", kPort);
    AppendElement(xml, "Cachable", reg.caching == Caching::NoCache ? "NoCache" : "WriteThrough");
    for (const char* invalidator : reg.invalidators) {
        if (invalidator != nullptr) {
            AppendElement(xml, "pInvalidator", invalidator);
        }
    }
    if (reg.caching != Caching::NoCache) {
        for (const char* reset : kResetRegisters) {
            AppendElement(xml, "pInvalidator", reset);
        }
    }
    if (reg.kind == RegisterKind::Int) {
        AppendElement(xml, "Sign", "Unsigned");
    }
    if (reg.kind != RegisterKind::String) {
        AppendElement(xml, "Endianess", "LittleEndian");
    }
    return xml.append("  </").append(type).append(">\n");
}

std::string PixelFormatEntriesXml() {
    std::string xml;
    std::for_each(PixelFormatsBegin(), PixelFormatsBegin() + PixelFormatCount(), [&xml](const PixelFormatInfo& format) {
        xml.append("    <EnumEntry Name=\"").append(format.name).append("\" NameSpace=\"Standard\">\n");
        xml.append("      <Value>").append(Hex(format.code, 8)).append("</Value>\n");
        xml.append("    </EnumEntry>\n");
    });
    return xml;
}

// Replaces the whole line holding `marker` with `lines`.
void ReplaceLine(std::string& text, const std::string& marker, const std::string& lines) {
    const size_t at = text.find(marker);
    if (at == std::string::npos) {
        return;
    }
    const size_t start = text.rfind('\n', at) + 1;  // npos + 1 == 0 on the first line
    const size_t end = text.find('\n', at);
    text.replace(start, end == std::string::npos ? std::string::npos : end + 1 - start, lines);
}

std::string BuildDocument() {
    std::string document(reinterpret_cast<const char*>(g_res_QuarvoSfncCamera_xml),
                         sizeof g_res_QuarvoSfncCamera_xml);
    // PixelFormat and ChunkPixelFormat list the same entries.
    ReplaceLine(document, "<!-- PixelFormat entries -->", PixelFormatEntriesXml());
    ReplaceLine(document, "<!-- PixelFormat entries -->", PixelFormatEntriesXml());
    std::string registers;
    for (const RegisterNode& reg : kRegisters) {
        registers += RegisterNodeXml(reg);
    }
    ReplaceLine(document, "<!-- register nodes -->", registers);
    return document;
}

}  // namespace

RegisterTable SfncRegisterNodes() { return {std::begin(kRegisters), std::size(kRegisters)}; }

const RegisterNode* FindSfncRegister(uint64_t address) {
    const auto* found = std::lower_bound(std::begin(kRegisters), std::end(kRegisters), address,
                                         [](const RegisterNode& reg, uint64_t at) { return reg.address < at; });
    return found != std::end(kRegisters) && found->address == address ? found : nullptr;
}

std::optional<uint32_t> SfncEnumEntry(const std::string& feature, const std::string& entry) {
    const std::string& document = SfncDocument();
    const size_t begin = document.find("<Enumeration Name=\"" + feature + "\"");
    if (begin == std::string::npos) {
        return std::nullopt;
    }
    const size_t end = document.find("</Enumeration>", begin);
    const size_t at = document.find("<EnumEntry Name=\"" + entry + "\"", begin);
    if (at == std::string::npos || at > end) {
        return std::nullopt;
    }
    const size_t value = document.find("<Value>", at) + std::strlen("<Value>");
    return static_cast<uint32_t>(std::stoul(document.substr(value, document.find('<', value) - value), nullptr, 0));
}

const std::string& SfncDocument() {
    static const std::string document = BuildDocument();
    return document;
}

}  // namespace Quibbon::Sim::Sfnc
