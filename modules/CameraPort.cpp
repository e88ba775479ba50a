#include "modules/CameraPort.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"
#include "modules/Device.h"
#include "modules/ModuleSupport.h"

namespace GenTL {

namespace {

constexpr char kScheme[] = "Local:";
constexpr size_t kSchemeLength = sizeof kScheme - 1;
// The versions the port reports for a camera's document: GenApi schema 1.1, file 1.1.0.
constexpr int32_t kSchemaMajor = 1;
constexpr int32_t kSchemaMinor = 1;
constexpr int32_t kFileMajor = 1;
constexpr int32_t kFileMinor = 1;
constexpr int32_t kFileSubminor = 0;

void* AsPointer(int64_t value) { return reinterpret_cast<void*>(static_cast<intptr_t>(value)); }

std::optional<uint64_t> ParseHex(const std::string& sText) {
    uint64_t value = 0;
    const char* end = sText.data() + sText.size();
    const auto [stop, error] = std::from_chars(sText.data(), end, value, 16);
    if (sText.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// "Local:<file name>;<address>;<size>", address and size in hexadecimal, the scheme in any case.
std::optional<URLInfoValues> ParseLocalURL(const std::string& sURL) {
    if (sURL.size() < kSchemeLength || strncasecmp(sURL.c_str(), kScheme, kSchemeLength) != 0) {
        return std::nullopt;
    }
    const size_t first = sURL.find(';', kSchemeLength);
    const size_t second = first == std::string::npos ? std::string::npos : sURL.find(';', first + 1);
    if (second == std::string::npos || first == kSchemeLength) {
        return std::nullopt;
    }
    const auto address = ParseHex(sURL.substr(first + 1, second - first - 1));
    const auto size = ParseHex(sURL.substr(second + 1));
    if (!address || !size) {
        return std::nullopt;
    }
    return URLInfoValues{sURL, sURL.substr(kSchemeLength, first - kSchemeLength), *address, *size, kSchemaMajor,
                         kSchemaMinor, kFileMajor, kFileMinor, kFileSubminor};
}

void CheckBuffer(const void* pBuffer) {
    if (pBuffer == nullptr) {
        throw invalid_parameter_exception(MsgComposer("Specified pBuffer is invalid: pBuffer = 0x%p.", pBuffer));
    }
}

// Why the camera refused the last register access of this thread; empty when it does not say.
std::string ReadRegisterError(Quibbon::IDevice& camera) {
    return ReadComponentText(
        [&](char* text, uint64_t* size) { return camera.GetParameter(Quibbon::kParamRegisterError, text, size); },
        Quibbon::kInfoTextSize);
}

// Raises the GenTL error of a refused register access, with the camera's reason or, when it
// gives none, one naming the access.
void CheckAccess(Quibbon::IDevice& camera, int32_t iResult, const char* sVerb, uint64_t iAddress, uint64_t iSize) {
    if (iResult >= 0) {
        return;
    }
    const std::string reason = ReadRegisterError(camera);
    const auto text = [&](const char* sWhy) {
        return reason.empty() ? MsgComposer("The camera refused to %s %llu bytes at address 0x%llx: %s.", sVerb,
                                            static_cast<unsigned long long>(iSize),
                                            static_cast<unsigned long long>(iAddress), sWhy)
                              : reason;
    };
    switch (iResult) {
        case Quibbon::kNoRegister: throw invalid_address_exception(text("no register covers that range"));
        case Quibbon::kDenied: throw access_denied_exception(text("access denied"));
        case Quibbon::kFailed: throw invalid_parameter_exception(text("argument or value refused"));
        default: throw error_exception(text(MsgComposer("result %d", static_cast<int>(iResult)).c_str()));
    }
}

// Whether the component's device object answers the parameter with the 32-bit 1.
bool AnswersOne(Quibbon::IDevice* pComponent, int32_t iParameter) {
    uint32_t answer = 0;
    uint64_t size = sizeof answer;
    return pComponent != nullptr && pComponent->GetParameter(iParameter, &answer, &size) >= 0 &&
           size == sizeof answer && answer == 1;
}

// Events taken from the camera at a time.
constexpr uint64_t kEventBatch = 64;

}  // namespace

bool CCameraPort::DescribesItself(Quibbon::IDevice* pComponent) {
    return AnswersOne(pComponent, Quibbon::kParamSelfDescribing);
}

CCameraPort::CCameraPort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote)
    : CRemotePort(spDevice, std::move(spEventRemote)),
      m_b_camera_events(AnswersOne(spDevice->GetComponent(), Quibbon::kParamCameraEvents)) {
    if (m_b_camera_events) {
        EventRemote().LimitTo(kEventCapacity);
    }
}

CCameraPort::~CCameraPort() = default;

ICommonBase* CCameraPort::GetParent() { return GetDevice(); }

void CCameraPort::Register(EVENT_TYPE iEventID, EVENT_HANDLE* /*phEvent*/) { RefuseEvent(iEventID); }

void CCameraPort::Unregister(EVENT_TYPE iEventID) { RefuseEvent(iEventID); }

uint32_t CCameraPort::GetPayloadSize() {
    uint32_t value = 0;
    uint64_t size = sizeof value;
    if (LockDevice()->GetComponent()->GetParameter(Quibbon::kParamPayloadSize, &value, &size) < 0) {
        throw not_available_exception("The camera does not tell its payload size.");
    }
    return value;
}

uint64_t CCameraPort::ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) {
    CheckBuffer(pBuffer);
    const std::shared_ptr<CDevice> device = LockDevice();
    Quibbon::IDevice& camera = *device->GetComponent();
    CheckAccess(camera, camera.ReadRegisters(iAddress, pBuffer, *piSize), "read", iAddress, *piSize);
    return *piSize;
}

uint64_t CCameraPort::WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) {
    CheckBuffer(pBuffer);
    const std::shared_ptr<CDevice> device = LockDevice();
    Quibbon::IDevice& camera = *device->GetComponent();
    const int32_t result = camera.WriteRegisters(iAddress, pBuffer, *piSize);
    // A write may raise events (AcquisitionStart, FrameTriggerMissed...), a refused one too.
    CollectEvents();
    CheckAccess(camera, result, "write", iAddress, *piSize);
    return *piSize;
}

// Each event's data is its time stamp and its frame ID, 8 bytes each, little-endian, as the
// camera's document addresses them.
void CCameraPort::CollectEvents() {
    if (!m_b_camera_events) {
        return;
    }
    const std::shared_ptr<CDevice> device = LockDevice();
    Quibbon::IDevice& camera = *device->GetComponent();
    std::lock_guard<std::mutex> lock(m_mutex_events);
    Quibbon::CameraEvent events[kEventBatch];
    uint64_t count = kEventBatch;
    while (count == kEventBatch) {
        uint64_t dropped = 0;
        count = kEventBatch;
        if (camera.TakeEvents(events, &count, &dropped) < 0) {
            return;
        }
        count = std::min(count, kEventBatch);
        EventRemote().CountDropped(dropped);
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t data[sizeof events[i].timestamp + sizeof events[i].frameId];
            std::memcpy(data, &events[i].timestamp, sizeof events[i].timestamp);
            std::memcpy(data + sizeof events[i].timestamp, &events[i].frameId, sizeof events[i].frameId);
            PushEventRemoteDevice(static_cast<int64_t>(events[i].id), data, sizeof data);
        }
    }
}

uint32_t CCameraPort::ReadReg(uint64_t iAddress, uint32_t& iValue) {
    uint64_t size = sizeof iValue;
    ReadData(iAddress, &iValue, &size);
    return iValue;
}

void CCameraPort::WriteReg(uint64_t iAddress, uint32_t iValue) {
    uint64_t size = sizeof iValue;
    WriteData(iAddress, &iValue, &size);
}

std::string CCameraPort::ReadCameraText(int32_t iParameter, uint64_t iBufferSize) const {
    const std::shared_ptr<CDevice> device = LockDevice();
    Quibbon::IDevice& camera = *device->GetComponent();
    return ReadComponentText(
        [&](char* text, uint64_t* size) { return camera.GetParameter(iParameter, text, size); }, iBufferSize);
}

URLInfoValues CCameraPort::GetURLInfoValues() const {
    const std::string url = ReadCameraText(Quibbon::kParamDescriptionURL, Quibbon::kIdTextSize);
    std::optional<URLInfoValues> values = ParseLocalURL(url);
    if (!values) {
        throw not_available_exception("The camera gives no valid description URL: \"" + url + "\".");
    }
    return *values;
}

void CCameraPort::GetURL(char* sURL, uint64_t* piSize) { WriteURLText(GetURLInfoValues().url, sURL, piSize); }

void CCameraPort::GetNumPortURLs(uint32_t* piNumURLs) { *piNumURLs = 1; }

void CCameraPort::GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                 size_t* piSize) {
    if (iURLIndex != 0) {
        throw invalid_parameter_exception(
            MsgComposer("Specified iURLIndex is invalid: iURLIndex = 0x%p.", AsPointer(iURLIndex)));
    }
    if (!WriteURLInfo(GetURLInfoValues(), iInfoCmd, piType, pBuffer, piSize)) {
        throw invalid_parameter_exception(MsgComposer("Specified iCmd is invalid: iCmd = 0x%p.", AsPointer(iInfoCmd)));
    }
}

void CCameraPort::GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    const PortInfoTexts texts{LockDevice()->GetName(),
                              ReadCameraText(Quibbon::kParamVendor, Quibbon::kInfoTextSize),
                              ReadCameraText(Quibbon::kParamModel, Quibbon::kInfoTextSize),
                              "Custom",
                              "Device",
                              "1.0",
                              "Device"};
    if (!WritePortInfo(texts, iInfoCmd, piType, pBuffer, piSize)) {
        throw invalid_parameter_exception(MsgComposer("Specified iCmd is invalid: iCmd = 0x%p.", AsPointer(iInfoCmd)));
    }
}

}  // namespace GenTL
