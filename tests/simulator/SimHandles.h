// Test helpers: component objects released automatically, and one camera opened the way the
// producer opens it (system, board, device).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "simulator/SimObjects.h"

namespace sim_test {

using Quibbon::Sim::Handle;

constexpr uint32_t kGenerous = 10000;  // ms; a time-out that only a broken camera reaches

// A 4-byte parameter, or nothing when the device refuses to read it.
inline std::optional<int32_t> Param(Quibbon::IDevice& device, int32_t param) {
    int32_t value = 0;
    uint64_t size = sizeof value;
    return device.GetParameter(param, &value, &size) < 0 ? std::nullopt : std::optional<int32_t>(value);
}

inline Handle<Quibbon::IDevice> OpenDevice(Quibbon::ISystem& system, const char* board, const char* camera) {
    Quibbon::IInterface* iface = nullptr;
    system.OpenInterface(board, &iface);
    Handle<Quibbon::IInterface> held(iface);
    Quibbon::IDevice* device = nullptr;
    if (iface != nullptr) {
        iface->OpenDevice(camera, &device);
    }
    return Handle<Quibbon::IDevice>(device);
}

// The camera of that identifier on that board of the rig.
inline Quibbon::Sim::Camera& FindCamera(const Quibbon::Sim::Rig& rig, const std::string& board, const std::string& camera) {
    for (const auto& b : rig.boards) {
        for (const auto& c : b->cameras) {
            if (b->id == board && c->Identity().id == camera) {
                return *c;
            }
        }
    }
    throw std::invalid_argument("no camera " + board + "/" + camera);
}

struct OpenCamera {
    explicit OpenCamera(std::shared_ptr<const Quibbon::Sim::Rig> rig = Quibbon::Sim::MakeDefaultRig(),
                        const char* board = "Board0", const char* camera = "Cam00")
        : model(FindCamera(*rig, board, camera)),
          system(Quibbon::Sim::CreateSystem(std::move(rig))),
          device(OpenDevice(*system, board, camera)) {}

    Handle<Quibbon::IDataStream> Stream() {
        Quibbon::IDataStream* stream = nullptr;
        EXPECT_EQ(device->OpenDataStream(0, &stream), Quibbon::kOk);
        return Handle<Quibbon::IDataStream>(stream);
    }
    int32_t Set(int32_t param, int32_t value) {
        uint64_t size = 4;
        return device->SetParameter(param, &value, &size);
    }
    std::optional<int32_t> Get(int32_t param) { return Param(*device, param); }

    // The camera behind the device, for what the component's interfaces do not show.
    Quibbon::Sim::Camera& model;
    Handle<Quibbon::ISystem> system;
    Handle<Quibbon::IDevice> device;
};

// Waits until that many grabs wait on the camera: a grab started on another thread has reached
// its wait (and so is blocked, not merely slow to start).
inline void AwaitWaitingGrabs(const Quibbon::Sim::Camera& camera, uint32_t count) {
    while (camera.WaitingGrabs() < count) {
        std::this_thread::yield();
    }
}

// Fixture: the default camera made small (64 x 16) and unthrottled, with a stream object open.
class SmallFastCamera : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(camera.Set(Quibbon::kParamWidth, 64), Quibbon::kOk);
        ASSERT_EQ(camera.Set(Quibbon::kParamHeight, 16), Quibbon::kOk);
        ASSERT_EQ(camera.Set(Quibbon::kParamFrameRate, 0), Quibbon::kOk);
        stream = camera.Stream();
        payload = static_cast<size_t>(*camera.Get(Quibbon::kParamPayloadSize));
    }

    OpenCamera camera;
    Handle<Quibbon::IDataStream> stream;
    size_t payload = 0;
};

}  // namespace sim_test
