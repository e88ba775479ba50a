// libFuzzer target for the SFNC camera's register space: whatever a consumer writes to it, in any
// order and with any bytes, the camera refuses what it cannot take (with a reason) and keeps
// delivering frames of exactly the payload size it announces. The input picks the sensor size and
// pixel format, then a sequence of register accesses (the register picked from the camera's table,
// so most accesses reach a real register; now and then an address or size beside it), each
// followed by a grab with the settings it left. The camera runs at its shortest exposure without a
// frame-rate limit, and the registers that only pace or gate frames are left out, so that every
// grab must deliver at once.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "simulator/Camera.h"
#include "simulator/SfncDocument.h"
#include "simulator/SfncRegisters.h"

namespace {

using namespace Quibbon;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "==sfnc_fuzz== %s: %s\n", what, detail.c_str());
    std::abort();
}

Sim::Camera MakeCamera(uint8_t sensor, uint8_t format) {
    Sim::CameraConfig config;
    config.identity = {"Fuzz", "Quarvo", "QS-FUZZ", "FUZZ0001", "Fuzz", 0};
    const size_t formats = Sim::PixelFormatCount();
    config.identity.pixelFormat = Sim::PixelFormatsBegin()[format % formats].code;
    config.profile = Sim::CameraProfile::Sfnc;
    config.width = 8 + 4 * (sensor % 16);
    config.height = 8 + (sensor / 16) * 4;
    config.frameRate = 0;
    return Sim::Camera(config);
}

// Reads the camera's payload size and grabs one frame into a buffer of exactly that size: the
// frame must come, fill the buffer and say so.
void GrabAndCheck(Sim::Camera& camera, Sim::GrabSession& session, std::vector<uint8_t>& buffer) {
    const auto payload = camera.GetNumber(kParamPayloadSize);
    if (!payload || *payload <= 0) {
        Fail("no payload size", std::to_string(payload.value_or(-1)));
    }
    buffer.assign(static_cast<size_t>(*payload) + 16, 0xA5);
    FrameInfo info{};
    const int32_t result = camera.Grab(session, buffer.data(), static_cast<uint64_t>(*payload), 1000, &info);
    if (result != kOk || info.payloadSize != static_cast<uint32_t>(*payload) || info.filledSize != info.payloadSize) {
        Fail("grab", std::to_string(result) + " payload " + std::to_string(info.payloadSize));
    }
    for (size_t i = static_cast<size_t>(*payload); i < buffer.size(); ++i) {
        if (buffer[i] != 0xA5) {
            Fail("written past the payload", std::to_string(i));
        }
    }
}

// Registers that pace frames or hold them back (triggers, acquisition modes, exposure and its
// automatic, a reset or a user set load back to the 10 ms exposure): their effect is waiting,
// which the camera tests check.
bool PacesFrames(uint64_t address) {
    using namespace Sim::Sfnc;
    switch (address) {
        case kDeviceReset:
        case kUserSetLoad:
        case kAcquisitionMode:
        case kAcquisitionStop:
        case kAcquisitionFrameRateEnable:
        case kAcquisitionFrameRate:
        case kTriggerMode:
        case kTriggerSource:
        case kTriggerDelay:
        case kExposureTime:
        case kExposureAuto:
            return true;
        default:
            return false;
    }
}

std::vector<const Sim::Sfnc::RegisterNode*> FuzzedRegisters() {
    std::vector<const Sim::Sfnc::RegisterNode*> registers;
    for (const Sim::Sfnc::RegisterNode& reg : Sim::Sfnc::SfncRegisterNodes()) {
        if (!PacesFrames(reg.address)) {
            registers.push_back(&reg);
        }
    }
    return registers;
}

template <class T>
void Write(Sim::Camera& camera, uint64_t address, T value) {
    std::string error;
    if (camera.WriteRegisters(address, &value, sizeof value, error) != kOk) {
        Fail("set-up", error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    Sim::Camera camera = MakeCamera(data[0], data[1]);
    Sim::GrabSession session;
    std::vector<uint8_t> buffer;
    std::string error;
    static const std::vector<const Sim::Sfnc::RegisterNode*> registers = FuzzedRegisters();
    Write(camera, Sim::Sfnc::kAcquisitionFrameRateEnable, uint32_t{0});
    Write(camera, Sim::Sfnc::kExposureTime, 1.0);
    Write(camera, Sim::Sfnc::kAcquisitionStart, uint32_t{1});
    // Each access: register index, a flags byte (bit 0 read, bit 1 nudge the address, bit 2 odd
    // size), then the value bytes the register takes.
    size_t at = 2;
    for (int accesses = 0; at + 2 <= size && accesses < 64; ++accesses) {
        const Sim::Sfnc::RegisterNode& reg = *registers[data[at] % registers.size()];
        const uint8_t flags = data[at + 1];
        at += 2;
        const uint64_t address = reg.address + ((flags & 2) != 0 ? 1 : 0);
        const uint64_t length = reg.length + ((flags & 4) != 0 ? 1 : 0);
        std::vector<uint8_t> value(length, 0);
        const size_t available = std::min<size_t>(length, size - at);
        std::memcpy(value.data(), data + at, available);
        at += available;
        const int32_t result = (flags & 1) != 0 ? camera.ReadRegisters(address, value.data(), length, error)
                                                : camera.WriteRegisters(address, value.data(), length, error);
        if (result != kOk && error.empty()) {
            Fail("a refusal without a reason", std::to_string(address));
        }
        error.clear();
        GrabAndCheck(camera, session, buffer);
    }
    camera.CloseSession(session);
    return 0;
}
