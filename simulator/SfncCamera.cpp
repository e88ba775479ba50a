#include "simulator/SfncCamera.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <vector>
#include <stdexcept>

#include "simulator/ImageReplay.h"
#include "simulator/SfncDocument.h"
#include "simulator/SfncRegisters.h"

namespace Quibbon::Sim {

using namespace Sfnc;

namespace {

constexpr uint32_t kWidthStep = 4;
constexpr uint32_t kMaxFactor = 4;
constexpr uint32_t kMaxFrameCount = 65535;
constexpr double kMinFrameRate = 0.1;
constexpr double kMaxFrameRate = 100000.0;
constexpr double kMinExposureUs = 1.0;
constexpr double kMaxExposureUs = 1000000.0;
constexpr double kMaxGainDb = 48.0;
constexpr double kMaxBlackLevel = 255.0;
constexpr double kMinGamma = 0.25;
constexpr double kMaxGamma = 4.0;
constexpr double kMaxTriggerDelayUs = 1000000.0;
constexpr double kIdleTemperature = 35.0;
constexpr double kAcquiringTemperature = 45.0;
constexpr double kTemperatureSeconds = 30.0;  // time constant of warming and cooling
constexpr double kAutoTarget = 0.5 * 65535.0;  // the mean grey the auto functions aim at
constexpr char kFirmwareVersion[] = "2.1.0";
constexpr uint64_t kClockFrequency = 1000000000;  // ticks of the camera's clock a second: nanoseconds
constexpr const char* kUserSetNames[kUserSetCount] = {"Default", "UserSet1", "UserSet2", "UserSet3"};
constexpr char kDocumentFileName[] = "QuarvoSfncCamera.xml";
// The registers a real camera locks while it acquires (the document's pIsLocked features).
constexpr uint64_t kLockedRegisters[] = {kWidth,           kHeight,          kPixelFormat,
                                         kBinningHorizontal, kBinningVertical, kDecimationHorizontal,
                                         kDecimationVertical, kAcquisitionMode, kAcquisitionFrameCount,
                                         kChunkModeActive,   kChunkEnable};
constexpr const char* kAxisNames[2][4] = {{"Width", "OffsetX", "BinningHorizontal", "DecimationHorizontal"},
                                          {"Height", "OffsetY", "BinningVertical", "DecimationVertical"}};

std::string Number(double value) {
    std::ostringstream text;
    text << std::setprecision(12) << value;
    return text.str();
}

// A refused register write: the result and the text naming the feature and the value.
struct Refusal {
    int32_t result;
    std::string text;
};

[[noreturn]] void Refuse(const char* feature, double value, const std::string& why) {
    throw Refusal{kFailed, std::string(feature) + ": " + Number(value) + " " + why};
}

bool IsLocked(uint64_t address) {
    return std::find(std::begin(kLockedRegisters), std::end(kLockedRegisters), address) != std::end(kLockedRegisters);
}

// The feature a register node serves: its name without the "Reg" ending.
std::string FeatureOf(const RegisterNode& reg) {
    const std::string name = reg.name;
    return name.substr(0, name.size() - 3);
}

// Bytes of each chunk's data (ChunkSelectorValue order).
constexpr uint32_t kChunkLengths[kChunkCount] = {8, 8, 8, 8, 4, 4, 4};
// Bytes of a chunk's ID and length after its data.
constexpr uint32_t kChunkTrailer = 8;

void AppendBigEndian(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

template <typename T>
void AppendChunk(std::vector<uint8_t>& bytes, uint32_t selector, T value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "chunk values of 4 or 8 bytes");
    const size_t at = bytes.size();
    bytes.resize(at + sizeof value);
    std::memcpy(bytes.data() + at, &value, sizeof value);  // little-endian like the registers
    AppendBigEndian(bytes, kChunkIdFirst + selector);
    AppendBigEndian(bytes, sizeof value);
}

std::string NoRegisterText(uint64_t address, uint64_t size) {
    std::ostringstream text;
    text << "No register of the camera covers " << size << " bytes at address 0x" << std::hex << address << '.';
    return text.str();
}

}  // namespace

SfncCamera::SfncCamera(const CameraConfig& config)
    : m_identity(config.identity),
      m_images(config.images),
      m_sensorWidth(config.width),
      m_sensorHeight(config.height),
      m_scenePattern(config.pattern),
      m_origin(CameraClock::now()),
      m_defaults([&] {
          Settings settings{};
          settings.width = config.width;
          settings.height = config.height;
          settings.pixelFormat = config.identity.pixelFormat;
          settings.frameRateEnable = config.frameRate != 0 ? 1 : 0;
          settings.frameRate = config.frameRate != 0 ? config.frameRate : 60.0;
          return settings;
      }()),
      m_settings(m_defaults),
      m_userID(config.identity.userName),
      m_temperature(kIdleTemperature),
      m_temperatureTime(m_origin),
      m_clockOrigin(m_origin) {
    ApplyUserSets(config);
}

// The rig's user sets, each written feature by feature over the Default set as a consumer would,
// so that they hold only what the camera accepts; then the camera starts from its default set.
void SfncCamera::ApplyUserSets(const CameraConfig& config) {
    m_userSets[kUserSetDefaultSet] = m_defaults;
    for (const UserSetConfig& set : config.userSets) {
        if (set.set == kUserSetDefaultSet || set.set >= kUserSetCount) {
            throw std::invalid_argument("user sets are UserSet1 to UserSet3");
        }
        m_settings = m_defaults;
        for (const UserSetFeature& feature : set.features) {
            ApplyFeature(feature);
        }
        m_userSets[set.set] = m_settings;
    }
    if (config.userSetDefault >= kUserSetCount || !m_userSets[config.userSetDefault]) {
        throw std::invalid_argument("the default user set is not one the camera is given");
    }
    m_userSetDefault = config.userSetDefault;
    m_userSetSelector = m_userSetDefault;
    m_settings = *m_userSets[m_userSetDefault];
}

namespace {

// Settings written while the camera is made: there is no acquisition to start, stop or trigger.
class NoControl final : public CameraControl {
public:
    void AddTrigger(CameraClock::time_point /*when*/) override {}
    void ClearTriggers() override {}
    int32_t Start() override { return kFailed; }
    int32_t Stop() override { return kFailed; }
    bool Grabbing() const override { return false; }
    bool TriggerPending() const override { return false; }
};

// The features a user set may give: the writable settings, not commands, texts, the user set
// features themselves or the transport layer's lock.
constexpr uint64_t kNotInUserSets[] = {kDeviceUserID,   kDeviceReset,     kAcquisitionStart, kAcquisitionStop,
                                       kTriggerSoftware, kTLParamsLocked,  kUserSetSelector,  kUserSetLoad,
                                       kUserSetSave,     kUserSetDefault,  kTimestampLatch,   kTimestampReset};

const RegisterNode* FindUserSetRegister(const std::string& feature) {
    const RegisterTable table = SfncRegisterNodes();
    const auto* found = std::find_if(table.begin(), table.end(), [&feature](const RegisterNode& reg) {
        return reg.access != Access::RO && FeatureOf(reg) == feature &&
               std::find(std::begin(kNotInUserSets), std::end(kNotInUserSets), reg.address) == std::end(kNotInUserSets);
    });
    return found != table.end() ? found : nullptr;
}

}  // namespace

void SfncCamera::ApplyFeature(const UserSetFeature& feature) {
    const RegisterNode* reg = FindUserSetRegister(feature.feature);
    if (reg == nullptr) {
        throw UserSetError("'" + feature.feature + "' is not a setting of the camera a user set can hold", feature.line);
    }
    uint8_t bytes[8] = {};
    if (feature.entry) {
        const std::optional<uint32_t> value = SfncEnumEntry(feature.feature, *feature.entry);
        if (!value) {
            throw UserSetError("'" + *feature.entry + "' is not an entry of " + feature.feature, feature.line);
        }
        std::memcpy(bytes, &*value, sizeof *value);
    } else if (reg->kind == RegisterKind::Float) {
        std::memcpy(bytes, &feature.number, sizeof feature.number);
    } else {
        if (!(feature.number >= 0.0 && feature.number <= 4294967295.0) || feature.number != std::floor(feature.number)) {
            throw UserSetError(feature.feature + ": " + Number(feature.number) + " is not a whole number from 0 to 4294967295",
                               feature.line);
        }
        const auto value = static_cast<uint32_t>(feature.number);
        std::memcpy(bytes, &value, sizeof value);
    }
    NoControl control;
    try {
        Write(reg->address, bytes, reg->length, control);
    } catch (const Refusal& refusal) {
        throw UserSetError(refusal.text, feature.line);
    }
}

// Numbered parameters: what the producer asks of every camera (identity, size, format and
// payload of the next frame), read-only here; the camera's settings are its registers.
int32_t SfncCamera::SetParameter(int32_t /*param*/, int32_t /*value*/, CameraControl& /*control*/) { return kFailed; }

std::optional<int32_t> SfncCamera::GetNumber(int32_t param) const {
    switch (param) {
        case kParamSelfDescribing:
        case kParamCameraEvents:
            return 1;
        case kParamWidth:
            return static_cast<int32_t>(m_settings.width);
        case kParamHeight:
            return static_cast<int32_t>(m_settings.height);
        case kParamPixelFormat:
            return static_cast<int32_t>(m_settings.pixelFormat);
        case kParamPayloadSize:
            return static_cast<int32_t>(PayloadSize());
        case kParamChunkMode:
            return 0;
        case kParamMaxChunks:
            return static_cast<int32_t>(1 + kChunkCount);
        case kParamFrameRate:
            return m_settings.frameRateEnable != 0 ? static_cast<int32_t>(std::lround(m_settings.frameRate)) : 0;
        case kParamTestPattern:
            return static_cast<int32_t>(ScenePattern());
        default:
            return std::nullopt;
    }
}

std::optional<std::string> SfncCamera::GetText(int32_t param) const {
    if (param == kParamDescriptionURL) {
        std::ostringstream url;
        url << "Local:" << kDocumentFileName << ';' << std::hex << kDescription << ';' << SfncDocument().size();
        return url.str();
    }
    if (param == kParamUserName) {
        return m_userID;
    }
    return IdentityText(m_identity, param);
}

// Reading

int32_t SfncCamera::ReadRegisters(uint64_t address, void* data, uint64_t size, std::string& error) {
    if (data == nullptr) {
        error = "No buffer to read into.";
        return kFailed;
    }
    auto* bytes = static_cast<uint8_t*>(data);
    const std::string& document = SfncDocument();
    if (address >= kDescription && size <= document.size() && address - kDescription <= document.size() - size) {
        std::memcpy(bytes, document.data() + (address - kDescription), size);
        return kOk;
    }
    const RegisterNode* reg = FindSfncRegister(address);
    if (reg == nullptr || reg->length != size) {
        error = NoRegisterText(address, size);
        return kNoRegister;
    }
    std::memset(bytes, 0, size);
    if (reg->kind == RegisterKind::String) {
        const std::string text = TextAt(address);
        std::memcpy(bytes, text.data(), std::min<uint64_t>(text.size(), size - 1));
    } else if (reg->kind == RegisterKind::Float) {
        const double value = FloatAt(address);
        std::memcpy(bytes, &value, sizeof value);
    } else {
        // Little-endian: the low bytes of the value, 4 or 8 of them.
        const uint64_t value = NumberAt(address);
        std::memcpy(bytes, &value, size);
    }
    return kOk;
}

std::string SfncCamera::TextAt(uint64_t address) const {
    switch (address) {
        case kDeviceVendorName: return m_identity.vendor;
        case kDeviceModelName: return m_identity.model;
        case kDeviceSerialNumber: return m_identity.serialNumber;
        case kDeviceFirmwareVersion: return kFirmwareVersion;
        default: return m_userID;
    }
}

uint64_t SfncCamera::NumberAt(uint64_t address) const {
    const Settings& s = m_settings;
    const Trigger& trigger = s.triggers[s.triggerSelector];
    switch (address) {
        case kSensorWidth: return m_sensorWidth;
        case kSensorHeight: return m_sensorHeight;
        case kWidthMax: return Max(0);
        case kHeightMax: return Max(1);
        case kWidth: return s.width;
        case kHeight: return s.height;
        case kOffsetX: return s.offsetX;
        case kOffsetY: return s.offsetY;
        case kPixelFormat: return s.pixelFormat;
        case kReverseX: return s.reverseX;
        case kReverseY: return s.reverseY;
        case kBinningHorizontal: return s.binning[0];
        case kBinningVertical: return s.binning[1];
        case kBinningHorizontalMode: return s.binningMode[0];
        case kBinningVerticalMode: return s.binningMode[1];
        case kDecimationHorizontal: return s.decimation[0];
        case kDecimationVertical: return s.decimation[1];
        case kTestPattern: return s.testPattern;
        case kAcquisitionMode: return s.acquisitionMode;
        case kAcquisitionFrameCount: return s.frameCount;
        case kAcquisitionFrameRateEnable: return s.frameRateEnable;
        case kTriggerSelector: return s.triggerSelector;
        case kTriggerMode: return trigger.mode;
        case kTriggerSource: return trigger.source;
        case kTriggerActivation: return trigger.activation;
        case kExposureMode: return 1;
        case kExposureAuto: return s.exposureAuto;
        case kGainSelector: return 0;
        case kGainAuto: return s.gainAuto;
        case kPayloadSize: return PayloadSize();
        case kTLParamsLocked: return (s.paramsLocked != 0 || m_grabbing) ? 1 : 0;
        case kChunkModeActive: return s.chunkModeActive;
        case kChunkSelector: return s.chunkSelector;
        case kChunkEnable: return (s.chunkEnable >> s.chunkSelector) & 1u;
        case kEventSelector: return s.eventSelector;
        case kEventNotification: return (s.eventNotification >> (s.eventSelector - kEventFirst)) & 1u;
        case kUserSetSelector: return m_userSetSelector;
        case kUserSetDefault: return m_userSetDefault;
        case kTimestampLatchValue: return m_latchedNs;
        case kDeviceTimestampFrequency: return kClockFrequency;
        default: return 0;  // commands read 0: done
    }
}

double SfncCamera::FloatAt(uint64_t address) const {
    const Settings& s = m_settings;
    switch (address) {
        case kDeviceTemperature: return Temperature(CameraClock::now());
        case kAcquisitionFrameRate: return s.frameRate;
        case kTriggerDelay: return s.triggers[s.triggerSelector].delayUs;
        case kExposureTime: return s.exposureUs;
        case kAcquisitionResultingFrameRate:
            return 1e9 / static_cast<double>(std::chrono::nanoseconds(Interval()).count());
        case kGain: return s.gainDb;
        case kBlackLevel: return s.blackLevel;
        case kGamma: return s.gamma;
        default: return 0.0;
    }
}

// Writing

int32_t SfncCamera::WriteRegisters(uint64_t address, const void* data, uint64_t size, CameraControl& control,
                                   std::string& error) {
    if (data == nullptr) {
        error = "No data to write.";
        return kFailed;
    }
    const RegisterNode* reg = FindSfncRegister(address);
    if (reg == nullptr || reg->length != size) {
        error = NoRegisterText(address, size);
        return kNoRegister;
    }
    if (reg->access == Access::RO) {
        error = FeatureOf(*reg) + " is read-only.";
        return kDenied;
    }
    const Settings before = m_settings;
    try {
        Write(address, static_cast<const uint8_t*>(data), size, control);
        return kOk;
    } catch (const Refusal& refusal) {
        m_settings = before;
        error = refusal.text;
        return refusal.result;
    }
}

void SfncCamera::Write(uint64_t address, const uint8_t* data, uint64_t size, CameraControl& control) {
    const RegisterNode& reg = *FindSfncRegister(address);
    if (reg.kind == RegisterKind::String) {
        // Only DeviceUserID is a writable text: up to the terminator or the end of the block.
        const auto* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
        m_userID.assign(reinterpret_cast<const char*>(data), end != nullptr ? end - data : size - 1);
        return;
    }
    if (reg.kind == RegisterKind::Float) {
        double value = 0.0;
        std::memcpy(&value, data, sizeof value);
        if (!std::isfinite(value)) {
            Refuse(FeatureOf(reg).c_str(), value, "is not a number.");
        }
        WriteFloat(address, value);
        return;
    }
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    if (IsLocked(address)) {
        RequireUnlocked(FeatureOf(reg).c_str(), value);
    }
    WriteNumber(address, value, control);
}

void SfncCamera::RequireUnlocked(const char* feature, double value) const {
    if (m_grabbing || m_settings.paramsLocked != 0) {
        throw Refusal{kDenied, std::string(feature) + ": " + Number(value) +
                                   " cannot be written while the camera acquires (TLParamsLocked is 1)."};
    }
}

namespace {

void RequireRange(const char* feature, double value, double low, double high) {
    if (!(value >= low && value <= high)) {
        Refuse(feature, value, "is out of range (" + Number(low) + " to " + Number(high) + ").");
    }
}

void RequireEntry(const char* feature, uint32_t value, uint32_t entries) {
    if (value >= entries) {
        Refuse(feature, value, "is not an entry of the enumeration.");
    }
}

}  // namespace

void SfncCamera::WriteNumber(uint64_t address, uint32_t value, CameraControl& control) {
    Settings& s = m_settings;
    switch (address) {
        case kDeviceReset:
            if (value == 1) {
                Reset(control);
            }
            return;
        case kWidth: WriteSize(0, value); return;
        case kHeight: WriteSize(1, value); return;
        case kOffsetX: WriteOffset(0, value); return;
        case kOffsetY: WriteOffset(1, value); return;
        case kPixelFormat:
            if (FindPixelFormat(value) == nullptr) {
                Refuse("PixelFormat", value, "is not a pixel format of this camera.");
            }
            s.pixelFormat = value;
            return;
        case kReverseX: RequireEntry("ReverseX", value, 2); s.reverseX = value; return;
        case kReverseY: RequireEntry("ReverseY", value, 2); s.reverseY = value; return;
        case kBinningHorizontal: WriteFactor(s.binning, 0, value); return;
        case kBinningVertical: WriteFactor(s.binning, 1, value); return;
        case kDecimationHorizontal: WriteFactor(s.decimation, 0, value); return;
        case kDecimationVertical: WriteFactor(s.decimation, 1, value); return;
        case kBinningHorizontalMode: RequireEntry("BinningHorizontalMode", value, 2); s.binningMode[0] = value; return;
        case kBinningVerticalMode: RequireEntry("BinningVerticalMode", value, 2); s.binningMode[1] = value; return;
        case kTestPattern: RequireEntry("TestPattern", value, kTestPatternColorBar + 1); s.testPattern = value; return;
        case kAcquisitionMode: RequireEntry("AcquisitionMode", value, kMultiFrame + 1); s.acquisitionMode = value; return;
        case kAcquisitionStart:
            if (value == 1) {
                StartCommand(control);
            }
            return;
        case kAcquisitionStop:
            if (value == 1) {
                control.Stop();
            }
            return;
        case kAcquisitionFrameCount:
            RequireRange("AcquisitionFrameCount", value, 1, kMaxFrameCount);
            s.frameCount = value;
            return;
        case kAcquisitionFrameRateEnable: RequireEntry("AcquisitionFrameRateEnable", value, 2); s.frameRateEnable = value; return;
        case kTriggerSelector: RequireEntry("TriggerSelector", value, 2); s.triggerSelector = value; return;
        case kTriggerMode:
        case kTriggerSource:
        case kTriggerActivation:
        case kTriggerSoftware: WriteTriggerSetting(address, value, control); return;
        case kExposureMode: RequireRange("ExposureMode", value, 1, 1); return;
        case kExposureAuto: RequireEntry("ExposureAuto", value, kAutoContinuous + 1); s.exposureAuto = value; return;
        case kGainSelector: RequireRange("GainSelector", value, 0, 0); return;
        case kGainAuto: RequireEntry("GainAuto", value, kAutoContinuous + 1); s.gainAuto = value; return;
        case kTLParamsLocked: RequireEntry("TLParamsLocked", value, 2); s.paramsLocked = value; return;
        case kChunkModeActive: RequireEntry("ChunkModeActive", value, 2); s.chunkModeActive = value; return;
        case kChunkSelector: RequireEntry("ChunkSelector", value, kChunkCount); s.chunkSelector = value; return;
        case kChunkEnable:
            RequireEntry("ChunkEnable", value, 2);
            s.chunkEnable = (s.chunkEnable & ~(1u << s.chunkSelector)) | (value << s.chunkSelector);
            return;
        case kEventSelector:
            if (value < kEventFirst || value >= kEventFirst + kEventCount) {
                Refuse("EventSelector", value, "is not an event of this camera.");
            }
            s.eventSelector = value;
            return;
        case kEventNotification: {
            RequireEntry("EventNotification", value, 2);
            const uint32_t bit = 1u << (s.eventSelector - kEventFirst);
            s.eventNotification = value != 0 ? s.eventNotification | bit : s.eventNotification & ~bit;
            return;
        }
        case kUserSetSelector: RequireEntry("UserSetSelector", value, kUserSetCount); m_userSetSelector = value; return;
        case kUserSetLoad:
            if (value == 1) {
                LoadUserSet(control);
            }
            return;
        case kUserSetSave:
            if (value == 1) {
                SaveUserSet();
            }
            return;
        case kUserSetDefault: WriteUserSetDefault(value); return;
        case kTimestampLatch:
            if (value == 1) {
                m_latchedNs = ClockNs(CameraClock::now());
            }
            return;
        case kTimestampReset:
            if (value == 1) {
                m_clockOrigin = CameraClock::now();
            }
            return;
        default: return;
    }
}

void SfncCamera::WriteFloat(uint64_t address, double value) {
    Settings& s = m_settings;
    switch (address) {
        case kAcquisitionFrameRate:
            RequireRange("AcquisitionFrameRate", value, kMinFrameRate, kMaxFrameRate);
            s.frameRate = value;
            return;
        case kTriggerDelay:
            RequireRange("TriggerDelay", value, 0.0, kMaxTriggerDelayUs);
            s.triggers[s.triggerSelector].delayUs = value;
            return;
        case kExposureTime:
            RequireRange("ExposureTime", value, kMinExposureUs, kMaxExposureUs);
            s.exposureUs = value;
            return;
        case kGain: RequireRange("Gain", value, 0.0, kMaxGainDb); s.gainDb = value; return;
        case kBlackLevel: RequireRange("BlackLevel", value, 0.0, kMaxBlackLevel); s.blackLevel = value; return;
        case kGamma: RequireRange("Gamma", value, kMinGamma, kMaxGamma); s.gamma = value; return;
        default: return;
    }
}

// The region: a size in steps (4 pixels wide, 1 row high) that fits beside the offset.
void SfncCamera::WriteSize(uint32_t axis, uint32_t value) {
    const char* feature = kAxisNames[axis][0];
    const uint32_t step = axis == 0 ? kWidthStep : 1;
    const uint32_t offset = axis == 0 ? m_settings.offsetX : m_settings.offsetY;
    const uint32_t room = Max(axis) - offset;
    if (value < step || value > room || value % step != 0) {
        Refuse(feature, value,
               "is out of range (" + std::to_string(step) + " to " + std::to_string(room) + " in steps of " +
                   std::to_string(step) + ", with " + kAxisNames[axis][1] + " " + std::to_string(offset) + ").");
    }
    (axis == 0 ? m_settings.width : m_settings.height) = value;
}

void SfncCamera::WriteOffset(uint32_t axis, uint32_t value) {
    const uint32_t size = axis == 0 ? m_settings.width : m_settings.height;
    const uint32_t room = Max(axis) - size;
    if (value > room) {
        Refuse(kAxisNames[axis][1], value,
               "is out of range (0 to " + std::to_string(room) + ", with " + kAxisNames[axis][0] + " " +
                   std::to_string(size) + ").");
    }
    (axis == 0 ? m_settings.offsetX : m_settings.offsetY) = value;
}

// Binning and decimation scale the region with the pixels: it keeps showing the same part of the
// sensor, as far as the new size steps allow.
void SfncCamera::WriteFactor(uint32_t (&factors)[2], uint32_t axis, uint32_t value) {
    const char* feature = kAxisNames[axis][&factors == &m_settings.binning ? 2 : 3];
    RequireRange(feature, value, 1, kMaxFactor);
    const uint32_t oldFactor = m_settings.binning[axis] * m_settings.decimation[axis];
    factors[axis] = value;
    const uint32_t newFactor = m_settings.binning[axis] * m_settings.decimation[axis];
    const uint32_t step = axis == 0 ? kWidthStep : 1;
    const uint32_t max = Max(axis);
    if (max < step) {
        Refuse(feature, value, "leaves no image of the sensor.");
    }
    uint32_t& size = axis == 0 ? m_settings.width : m_settings.height;
    uint32_t& offset = axis == 0 ? m_settings.offsetX : m_settings.offsetY;
    const uint64_t scaled = static_cast<uint64_t>(size) * oldFactor / newFactor;
    size = std::clamp<uint32_t>(static_cast<uint32_t>(scaled / step * step), step, max);
    offset = std::min<uint32_t>(static_cast<uint32_t>(static_cast<uint64_t>(offset) * oldFactor / newFactor), max - size);
}

void SfncCamera::WriteTriggerSetting(uint64_t address, uint32_t value, CameraControl& control) {
    Trigger& trigger = m_settings.triggers[m_settings.triggerSelector];
    const bool frameStart = m_settings.triggerSelector == kFrameStart;
    switch (address) {
        case kTriggerMode:
            RequireEntry("TriggerMode", value, 2);
            if (trigger.mode != value && frameStart) {
                control.ClearTriggers();
            }
            trigger.mode = value;
            return;
        case kTriggerSource:
            RequireEntry("TriggerSource", value, kSourceLine0 + 1);
            if (trigger.source != value && frameStart) {
                control.ClearTriggers();
            }
            trigger.source = value;
            return;
        case kTriggerActivation:
            RequireEntry("TriggerActivation", value, 2);
            trigger.activation = value;
            return;
        default:
            if (value == 1) {
                TriggerSoftware(control);
            }
            return;
    }
}

// A software trigger counts only for a trigger that is on and listens to software; others, like
// a real camera's, ignore it. The camera is busy while a frame start trigger waits for its frame:
// another one then is missed (FrameTriggerMissed).
void SfncCamera::TriggerSoftware(CameraControl& control) {
    const Trigger& trigger = m_settings.triggers[m_settings.triggerSelector];
    if (trigger.mode == 0 || trigger.source != kSourceSoftware) {
        return;
    }
    const CameraClock::time_point now = CameraClock::now();
    if (m_settings.triggerSelector == kFrameStart && control.TriggerPending()) {
        Raise(kEventFrameTriggerMissed, ClockNs(now), 0);
    } else if (m_settings.triggerSelector == kFrameStart) {
        control.AddTrigger(now);
    } else if (m_waitingForStart) {
        m_waitingForStart = false;
        m_startTriggered = now;
    }
}

// AcquisitionStart starts the camera's acquisition, or, when the acquisition is started already,
// starts a new run of frames (single- and multi-frame acquisition end by themselves).
void SfncCamera::StartCommand(CameraControl& control) {
    if (control.Start() != kOk) {
        AcquisitionChanged(true, CameraClock::now());
    }
}

// A reset is a restart: the camera starts from its default user set and its clock from 0; the
// saved sets and the choice of the default set stay, as in a camera's non-volatile memory.
void SfncCamera::Reset(CameraControl& control) {
    control.Stop();
    control.ClearTriggers();
    m_settings = *m_userSets[m_userSetDefault];
    m_userSetSelector = m_userSetDefault;
    m_clockOrigin = CameraClock::now();
    m_latchedNs = 0;
    ++m_resets;
}

// User sets

void SfncCamera::RequireSaved(const char* feature, uint32_t set) const {
    if (!m_userSets[set]) {
        throw Refusal{kDenied, std::string(feature) + ": " + kUserSetNames[set] +
                                   " holds no settings; save it first (UserSetSave)."};
    }
}

// Loading changes every setting, the locked ones too: refused while the camera acquires, as a
// write of a locked feature is. The loaded triggers replace the pending ones.
void SfncCamera::LoadUserSet(CameraControl& control) {
    const char* name = kUserSetNames[m_userSetSelector];
    if (m_grabbing || m_settings.paramsLocked != 0) {
        throw Refusal{kDenied, std::string("UserSetLoad: ") + name +
                                   " cannot be loaded while the camera acquires (TLParamsLocked is 1)."};
    }
    RequireSaved("UserSetLoad", m_userSetSelector);
    const uint32_t locked = m_settings.paramsLocked;
    m_settings = *m_userSets[m_userSetSelector];
    m_settings.paramsLocked = locked;
    control.ClearTriggers();
}

void SfncCamera::SaveUserSet() {
    if (m_userSetSelector == kUserSetDefaultSet) {
        throw Refusal{kDenied, "UserSetSave: Default holds the factory settings and cannot be overwritten; select "
                               "UserSet1, UserSet2 or UserSet3."};
    }
    // The lock belongs to the transport layer's session, not to the configuration.
    m_userSets[m_userSetSelector] = m_settings;
    m_userSets[m_userSetSelector]->paramsLocked = 0;
}

void SfncCamera::WriteUserSetDefault(uint32_t value) {
    RequireEntry("UserSetDefault", value, kUserSetCount);
    RequireSaved("UserSetDefault", value);
    m_userSetDefault = value;
}

// The clock

uint64_t SfncCamera::ClockNs(CameraClock::time_point when) const {
    return when > m_clockOrigin ? static_cast<uint64_t>(std::chrono::nanoseconds(when - m_clockOrigin).count()) : 0;
}

uint64_t SfncCamera::Timestamp(CameraClock::time_point when) const { return ClockNs(when); }

// Acquisition

// Starting raises AcquisitionStart; stopping raises AcquisitionEnd unless the run ended already.
void SfncCamera::AcquisitionChanged(bool grabbing, CameraClock::time_point when) {
    if (grabbing) {
        Raise(kEventAcquisitionStart, ClockNs(when), 0);
        m_runEnded = false;
    } else if (!m_runEnded) {
        EndRun(ClockNs(when));
    }
    m_temperature = Temperature(when);
    m_temperatureTime = when;
    m_grabbing = grabbing;
    m_framesLeft = m_settings.acquisitionMode == kSingleFrame   ? 1
                   : m_settings.acquisitionMode == kMultiFrame ? m_settings.frameCount
                                                                : 0;
    const Trigger& start = AcquisitionStartTrigger();
    m_waitingForStart = grabbing && start.mode != 0 && start.source == kSourceSoftware;
    m_startTriggered = when;
}

// Frames flow only while the camera acquires (AcquisitionStart), as on a real camera.
bool SfncCamera::MayDeliver() const {
    return m_grabbing && !m_waitingForStart && (m_settings.acquisitionMode == kContinuous || m_framesLeft > 0);
}

CameraClock::time_point SfncCamera::EarliestFrame() const {
    const Trigger& start = AcquisitionStartTrigger();
    if (start.mode == 0) {
        return CameraClock::time_point::min();
    }
    const CameraClock::time_point triggered =
        start.source == kSourceLine0 ? NextLineEdge(m_startTriggered) : m_startTriggered;
    return triggered + std::chrono::duration_cast<CameraClock::duration>(std::chrono::duration<double, std::micro>(start.delayUs));
}

void SfncCamera::FrameTaken(CameraClock::time_point /*when*/) {
    if (m_framesLeft > 0) {
        --m_framesLeft;
    }
    RunAutoFunctions();
}

// A frame starts at its stamp and its exposure ends an exposure time later, as it is read out. The
// last frame of a single- or multi-frame run ends the run.
void SfncCamera::FrameDelivered(uint32_t frameNumber, uint64_t timestamp) {
    const uint64_t exposureEnd = timestamp + static_cast<uint64_t>(std::llround(m_settings.exposureUs * 1000.0));
    Raise(kEventFrameStart, timestamp, frameNumber);
    Raise(kEventExposureEnd, exposureEnd, frameNumber);
    Raise(kEventFrameEnd, exposureEnd, frameNumber);
    if (m_settings.acquisitionMode != kContinuous && m_framesLeft == 0 && !m_runEnded) {
        EndRun(exposureEnd);
    }
}

void SfncCamera::EndRun(uint64_t timestamp) {
    Raise(kEventAcquisitionEnd, timestamp, 0);
    m_runEnded = true;
}

void SfncCamera::Raise(uint32_t event, uint64_t timestamp, uint64_t frameId) {
    if (((m_settings.eventNotification >> (event - kEventFirst)) & 1u) != 0) {
        m_events.Raise({event, timestamp, frameId});
    }
}

CameraClock::duration SfncCamera::Interval() const {
    double seconds = m_settings.exposureUs * 1e-6;
    if (m_settings.frameRateEnable != 0) {
        seconds = std::max(seconds, 1.0 / m_settings.frameRate);
    }
    return std::chrono::duration_cast<CameraClock::duration>(std::chrono::duration<double>(seconds));
}

FrameTiming SfncCamera::Timing() const {
    const Trigger& trigger = FrameStartTrigger();
    return {Interval(), trigger.mode != 0, trigger.source == kSourceLine0,
            std::chrono::duration_cast<CameraClock::duration>(std::chrono::duration<double, std::micro>(trigger.delayUs))};
}

// Line0 carries a square wave of kLinePeriod: rising edges at whole periods from the camera's
// origin, falling edges half a period later.
CameraClock::time_point SfncCamera::NextLineEdge(CameraClock::time_point after) const {
    const CameraClock::duration phase = FrameStartTrigger().activation == 0 ? CameraClock::duration::zero() : kLinePeriod / 2;
    const CameraClock::time_point first = m_origin + phase;
    if (after < first) {
        return first;
    }
    const auto periods = (after - first) / kLinePeriod + 1;
    return first + periods * kLinePeriod;
}

// Images

uint32_t SfncCamera::Max(uint32_t axis) const {
    const uint32_t sensor = axis == 0 ? m_sensorWidth : m_sensorHeight;
    const uint32_t pixels = sensor / (m_settings.binning[axis] * m_settings.decimation[axis]);
    return axis == 0 ? pixels / kWidthStep * kWidthStep : pixels;
}

uint32_t SfncCamera::PayloadSize() const {
    return ImageSize() + ChunksSize();
}

uint32_t SfncCamera::ImageSize() const {
    return static_cast<uint32_t>(Sim::PayloadSize(*FindPixelFormat(m_settings.pixelFormat), m_settings.width, m_settings.height));
}

// Chunks

bool SfncCamera::ChunkOn(uint32_t selector) const {
    return m_settings.chunkModeActive != 0 && ((m_settings.chunkEnable >> selector) & 1u) != 0;
}

uint32_t SfncCamera::ChunksSize() const {
    if (m_settings.chunkModeActive == 0) {
        return 0;
    }
    uint32_t size = kChunkTrailer;  // the image's own ID and length
    for (uint32_t selector = 0; selector < kChunkCount; ++selector) {
        size += ChunkOn(selector) ? kChunkLengths[selector] + kChunkTrailer : 0;
    }
    return size;
}

// With chunks on the image is itself the first chunk; the enabled chunks follow it in selector
// order. The layout changes with the set of enabled chunks and with nothing else.
FrameChunks SfncCamera::Chunks(uint32_t frameNumber, uint64_t timestamp, uint32_t imageSize) const {
    FrameChunks chunks;
    const Settings& s = m_settings;
    if (s.chunkModeActive == 0) {
        return chunks;
    }
    chunks.layoutId = 1 + (s.chunkEnable & ((1u << kChunkCount) - 1));
    std::vector<uint8_t>& bytes = chunks.trailer;
    bytes.reserve(ChunksSize());
    AppendBigEndian(bytes, kChunkIdImage);
    AppendBigEndian(bytes, imageSize);
    const auto add = [&](uint32_t selector, auto value) {
        if (ChunkOn(selector)) {
            AppendChunk(bytes, selector, value);
        }
    };
    add(kChunkTimestamp, timestamp);
    add(kChunkFrameID, static_cast<uint64_t>(frameNumber));
    add(kChunkExposureTime, s.exposureUs);
    add(kChunkGain, s.gainDb);
    add(kChunkWidth, s.width);
    add(kChunkHeight, s.height);
    add(kChunkPixelFormat, s.pixelFormat);
    return chunks;
}

uint32_t SfncCamera::ScenePattern() const {
    switch (m_settings.testPattern) {
        case kTestPatternGreyDiagonalRampMoving: return kPatternMovingRamp;
        case kTestPatternGreyDiagonalRamp: return kPatternStillRamp;
        case kTestPatternCheckerboard: return kPatternCheckerboard;
        case kTestPatternColorBar: return kPatternColourBars;
        default: return m_scenePattern;
    }
}

FrameShape SfncCamera::Shape() const {
    const Settings& s = m_settings;
    FrameShape shape{};
    shape.sensor = {s.pixelFormat, m_sensorWidth, m_sensorHeight, ScenePattern()};
    Geometry& g = shape.geometry;
    g.width = s.width;
    g.height = s.height;
    g.offsetX = s.offsetX;
    g.offsetY = s.offsetY;
    g.binningX = s.binning[0];
    g.binningY = s.binning[1];
    g.averageX = s.binningMode[0] == kBinningAverage;
    g.averageY = s.binningMode[1] == kBinningAverage;
    g.decimationX = s.decimation[0];
    g.decimationY = s.decimation[1];
    g.reverseX = s.reverseX != 0;
    g.reverseY = s.reverseY != 0;
    shape.values.exposureScale = s.exposureUs / kReferenceExposureUs;
    shape.values.gainDb = s.gainDb;
    shape.values.blackLevel = s.blackLevel;
    shape.values.gamma = s.gamma;
    return shape;
}

// The camera warms toward a higher temperature while it acquires and cools back when it stops.
double SfncCamera::Temperature(CameraClock::time_point now) const {
    const double target = m_grabbing ? kAcquiringTemperature : kIdleTemperature;
    const double seconds = std::chrono::duration<double>(now - m_temperatureTime).count();
    return target + (m_temperature - target) * std::exp(-std::max(seconds, 0.0) / kTemperatureSeconds);
}

// The mean grey of the scene's first frame, from a grid of its pixels, in 16-bit samples.
double SfncCamera::SceneMean() const {
    if (m_sceneMean >= 0.0) {
        return m_sceneMean;
    }
    constexpr uint32_t kGrid = 32;
    double sum = 0.0;
    for (uint32_t j = 0; j < kGrid; ++j) {
        for (uint32_t i = 0; i < kGrid; ++i) {
            const uint32_t x = i * m_sensorWidth / kGrid;
            const uint32_t y = j * m_sensorHeight / kGrid;
            sum += m_scenePattern == kPatternImages ? ImagePixel(m_images->images.front(), static_cast<size_t>(y) * m_sensorWidth + x).mono
                                                    : SceneAt(m_scenePattern, m_sensorWidth, x, y, 0).mono;
        }
    }
    m_sceneMean = std::max(sum / (kGrid * kGrid), 1.0);
    return m_sceneMean;
}

// Auto exposure and auto gain drive the mean grey of the scene toward mid grey: exposure first
// (within its range), gain for what remains. Once sets the value at the next frame and turns
// itself off; Continuous goes half the way (in ratio) each frame.
void SfncCamera::RunAutoFunctions() {
    Settings& s = m_settings;
    if (s.exposureAuto == kAutoOff && s.gainAuto == kAutoOff) {
        return;
    }
    const double needed = kAutoTarget / SceneMean();  // the overall scale that reaches the target
    if (s.exposureAuto != kAutoOff) {
        const double gain = std::pow(10.0, s.gainDb / 20.0);
        const double target = std::clamp(needed / gain * kReferenceExposureUs, kMinExposureUs, kMaxExposureUs);
        s.exposureUs = s.exposureAuto == kAutoOnce ? target : std::sqrt(s.exposureUs * target);
        if (s.exposureAuto == kAutoOnce) {
            s.exposureAuto = kAutoOff;
        }
    }
    if (s.gainAuto != kAutoOff) {
        const double remaining = needed / (s.exposureUs / kReferenceExposureUs);
        const double target = std::clamp(20.0 * std::log10(remaining), 0.0, kMaxGainDb);
        s.gainDb = s.gainAuto == kAutoOnce ? target : 0.5 * (s.gainDb + target);
        if (s.gainAuto == kAutoOnce) {
            s.gainAuto = kAutoOff;
        }
    }
}

}  // namespace Quibbon::Sim
