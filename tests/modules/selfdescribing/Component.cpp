// A frame-grabber component for the tests of the self-describing camera's port: one board with one
// camera that owns a register space holding its GenApi document, a read-only vendor text, a
// read-write gain with a range and a width that is locked (the camera acquires). Refusals are
// deterministic; each tells its reason through kParamRegisterError, except an access outside the
// registers, for which the camera gives none. The camera has no data streams.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "framegrabber/Quibbon.h"
#include "tests/modules/selfdescribing/CameraLayout.h"

using namespace Quibbon;
using namespace self_describing;

namespace {

enum class Rights { ReadOnly, ReadWrite, Locked };

struct Register {
    const char* name;
    uint64_t address;
    uint64_t length;
    Rights rights;
};

constexpr Register kRegisters[] = {
    {"DeviceVendorName", kVendorAddress, kVendorLength, Rights::ReadOnly},
    {"Gain", kGainAddress, 4, Rights::ReadWrite},
    {"Width", kWidthAddress, 4, Rights::Locked},
};

std::once_flag g_once;
std::mutex g_mutex;
uint8_t g_space[kSpaceSize];
thread_local std::string t_error;

void InitSpace() {
    std::memcpy(g_space + kVendorAddress, kVendor, sizeof kVendor);
    std::memcpy(g_space + kGainAddress, &kGainInitial, 4);
    std::memcpy(g_space + kWidthAddress, &kWidth, 4);
    std::memcpy(g_space + kDocumentAddress, kDocument, sizeof kDocument - 1);
}

int32_t Copy(const void* value, uint64_t bytes, void* buffer, uint64_t* size) {
    if (buffer == nullptr || size == nullptr || *size < bytes) {
        return kFailed;
    }
    std::memcpy(buffer, value, bytes);
    *size = bytes;
    return kOk;
}

int32_t CopyText(const std::string& text, void* buffer, uint64_t* size) {
    return Copy(text.c_str(), text.size() + 1, buffer, size);
}

int32_t Refuse(int32_t result, std::string reason) {
    t_error = std::move(reason);
    return result;
}

// The register that is exactly this range, or null.
const Register* Find(uint64_t address, uint64_t size) {
    for (const Register& reg : kRegisters) {
        if (reg.address == address && reg.length == size) {
            return &reg;
        }
    }
    return nullptr;
}

// The document may be read in parts.
bool InDocument(uint64_t address, uint64_t size) {
    return address >= kDocumentAddress && size <= kDocumentLength &&
           address - kDocumentAddress <= kDocumentLength - size;
}

std::string DescriptionURL() {
    char url[64];
    std::snprintf(url, sizeof url, "Local:SelfCam.xml;%llX;%llX", static_cast<unsigned long long>(kDocumentAddress),
                  static_cast<unsigned long long>(kDocumentLength));
    return url;
}

class Device final : public IDevice {
public:
    int32_t GetNumDataStreams(uint32_t* count) override {
        const uint32_t none = 0;
        uint64_t size = sizeof none;
        return Copy(&none, sizeof none, count, &size);
    }
    int32_t OpenDataStream(uint32_t, IDataStream**) override { return kFailed; }
    int32_t SetParameter(int32_t, const void*, uint64_t*) override { return kFailed; }
    int32_t GetParameter(int32_t param, void* value, uint64_t* size) override {
        const uint32_t one = 1;
        switch (param) {
            case kParamSelfDescribing: return Copy(&one, sizeof one, value, size);
            case kParamPayloadSize: return Copy(&kPayloadSize, sizeof kPayloadSize, value, size);
            case kParamVendor: return CopyText(kVendor, value, size);
            case kParamModel: return CopyText(kModel, value, size);
            case kParamDescriptionURL: return CopyText(DescriptionURL(), value, size);
            case kParamRegisterError: return t_error.empty() ? kFailed : CopyText(t_error, value, size);
            default: return kFailed;
        }
    }
    int32_t Release() override {
        delete this;
        return kOk;
    }
    int32_t ReadRegisters(uint64_t address, void* data, uint64_t size) override {
        if (data == nullptr) {
            return Refuse(kFailed, "no buffer");
        }
        if (Find(address, size) == nullptr && !InDocument(address, size)) {
            return Refuse(kNoRegister, "");
        }
        std::lock_guard<std::mutex> lock(g_mutex);
        std::memcpy(data, g_space + address, size);
        return kOk;
    }
    int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size) override {
        const Register* reg = Find(address, size);
        if (data == nullptr) {
            return Refuse(kFailed, "no buffer");
        }
        if (reg == nullptr) {
            return Refuse(kNoRegister, "");
        }
        if (reg->rights != Rights::ReadWrite) {
            const char* why = reg->rights == Rights::ReadOnly ? "is read-only" : "is locked while the camera acquires";
            return Refuse(kDenied, std::string(reg->name) + " " + why);
        }
        uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        if (value > kGainMax) {
            return Refuse(kFailed, "Gain: " + std::to_string(value) + " is outside 0 .. " + std::to_string(kGainMax));
        }
        std::lock_guard<std::mutex> lock(g_mutex);
        std::memcpy(g_space + address, &value, sizeof value);
        return kOk;
    }
    // The camera raises no events (it does not answer kParamCameraEvents).
    int32_t TakeEvents(CameraEvent* /*events*/, uint64_t* /*count*/, uint64_t* /*dropped*/) override { return kFailed; }
};

class Interface final : public IInterface {
public:
    int32_t GetNumDevices(uint32_t* count) override { return count != nullptr ? (*count = 1, kOk) : kFailed; }
    int32_t GetDeviceID(uint32_t index, char* text, uint64_t* size) override {
        return index == 0 ? CopyText(kCameraID, text, size) : kFailed;
    }
    int32_t OpenDevice(const char* id, IDevice** device) override {
        if (id == nullptr || device == nullptr || std::strcmp(id, kCameraID) != 0) {
            return kFailed;
        }
        *device = new Device;
        return kOk;
    }
    int32_t Reserved5() override { return kFailed; }
    int32_t GetInfo(int32_t info, char* text, uint64_t* size) override {
        return info == kInterfaceInfoPrefix ? CopyText("SD", text, size) : CopyText(kBoardID, text, size);
    }
    int32_t GetDeviceStatus(const char* id, DeviceStatus* status) override {
        if (id == nullptr || status == nullptr || std::strcmp(id, kCameraID) != 0) {
            return kFailed;
        }
        *status = DeviceStatus{0, 1, {}};
        return kOk;
    }
    int32_t Reserved8() override { return kFailed; }
    int32_t Release() override {
        delete this;
        return kOk;
    }
};

class System final : public ISystem {
public:
    int32_t GetNumInterfaces(uint32_t* count) override { return count != nullptr ? (*count = 1, kOk) : kFailed; }
    int32_t GetInterfaceID(uint32_t index, char* text, uint64_t* size) override {
        return index == 0 ? CopyText(kBoardID, text, size) : kFailed;
    }
    int32_t OpenInterface(const char* id, IInterface** iface) override {
        if (id == nullptr || iface == nullptr || std::strcmp(id, kBoardID) != 0) {
            return kFailed;
        }
        *iface = new Interface;
        return kOk;
    }
    int32_t Reserved5() override { return kFailed; }
    int32_t Reserved6() override { return kFailed; }
    int32_t Release() override {
        delete this;
        return kOk;
    }
};

}  // namespace

extern "C" void GetSystem(ISystem** system) {
    std::call_once(g_once, InitSpace);
    if (system != nullptr) {
        *system = new System;
    }
}
