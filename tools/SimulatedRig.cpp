#include "tools/SimulatedRig.h"

#include <dlfcn.h>

#include <stdexcept>

namespace quarvo::tool {

namespace {

// Releases a component object when it goes out of scope.
template <class T>
struct Held {
    T* object = nullptr;
    ~Held() {
        if (object != nullptr) {
            object->Release();
        }
    }
};

}  // namespace

SimulatedRig::SimulatedRig() {
    // The producer loaded the component already; this only finds it.
    void* component = dlopen("libQuibbon.so", RTLD_NOW | RTLD_NOLOAD);
    if (component == nullptr) {
        throw std::runtime_error("the producer does not use Quarvo's simulated frame grabber (libQuibbon.so)");
    }
    auto getSystem = reinterpret_cast<void (*)(Quibbon::ISystem**)>(dlsym(component, "GetSystem"));
    dlclose(component);
    if (getSystem != nullptr) {
        getSystem(&m_p_system);
    }
    if (m_p_system == nullptr) {
        throw std::runtime_error("the simulated frame grabber offers no system");
    }
}

SimulatedRig::~SimulatedRig() { m_p_system->Release(); }

std::optional<int32_t> SimulatedRig::Parameter(const std::string& board, const std::string& camera,
                                               int32_t parameter) const {
    Held<Quibbon::IInterface> iface;
    Held<Quibbon::IDevice> device;
    if (m_p_system->OpenInterface(board.c_str(), &iface.object) < 0 || iface.object == nullptr ||
        iface.object->OpenDevice(camera.c_str(), &device.object) < 0 || device.object == nullptr) {
        return std::nullopt;
    }
    int32_t value = 0;
    uint64_t size = sizeof value;
    if (device.object->GetParameter(parameter, &value, &size) < 0) {
        return std::nullopt;
    }
    return value;
}

std::string SimulatedRig::BoardName(const std::string& board) const {
    Held<Quibbon::IInterface> iface;
    char name[Quibbon::kInfoTextSize] = {};
    uint64_t size = sizeof name;
    if (m_p_system->OpenInterface(board.c_str(), &iface.object) < 0 || iface.object == nullptr ||
        iface.object->GetInfo(Quibbon::kInterfaceInfoDisplayName, name, &size) < 0) {
        return std::string();
    }
    return name;
}

}  // namespace quarvo::tool
