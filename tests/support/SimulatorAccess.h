// Reaches the cameras of the simulated frame grabber that a loaded producer is using, the way a
// test bench would: through the component's GetSystem in the same process. Lets tests observe and
// set what the producer does not show (the camera's acquisition state, test settings).
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "framegrabber/Quibbon.h"
#include "support/ProducerLib.h"

namespace quarvo_test {

class SimulatedCamera {
public:
    // The camera on that board of the component the producer loaded (it must be loaded already).
    SimulatedCamera(const ProducerLib& lib, const std::string& board, const std::string& camera) {
        void* component = dlopen((lib.Directory() + "/libQuibbon.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (component == nullptr) {
            throw std::runtime_error("the producer has not loaded its frame grabber");
        }
        auto getSystem = reinterpret_cast<void (*)(Quibbon::ISystem**)>(dlsym(component, "GetSystem"));
        dlclose(component);  // the producer keeps it loaded
        getSystem(&m_p_system);
        if (m_p_system == nullptr || m_p_system->OpenInterface(board.c_str(), &m_p_interface) < 0 ||
            m_p_interface->OpenDevice(camera.c_str(), &m_p_device) < 0 || m_p_device->OpenDataStream(0, &m_p_stream) < 0) {
            Release();
            throw std::runtime_error("cannot open " + board + "/" + camera);
        }
    }
    ~SimulatedCamera() { Release(); }
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    int32_t Get(int32_t parameter) const {
        int32_t value = 0;
        uint64_t size = sizeof value;
        m_p_device->GetParameter(parameter, &value, &size);
        return value;
    }
    void Set(int32_t parameter, int32_t value) {
        uint64_t size = sizeof value;
        m_p_device->SetParameter(parameter, &value, &size);
    }
    // As Set, telling whether the camera took the value.
    bool TrySet(int32_t parameter, int32_t value) {
        uint64_t size = sizeof value;
        return m_p_device->SetParameter(parameter, &value, &size) >= 0;
    }
    bool IsGrabbing() const {
        uint8_t grabbing = 0;
        uint64_t size = sizeof grabbing;
        m_p_stream->GetInfo(Quibbon::kStreamInfoIsGrabbing, &grabbing, &size);
        return grabbing != 0;
    }

private:
    void Release() {
        if (m_p_stream != nullptr) m_p_stream->Release();
        if (m_p_device != nullptr) m_p_device->Release();
        if (m_p_interface != nullptr) m_p_interface->Release();
        if (m_p_system != nullptr) m_p_system->Release();
        m_p_stream = nullptr;
        m_p_device = nullptr;
        m_p_interface = nullptr;
        m_p_system = nullptr;
    }

    Quibbon::ISystem* m_p_system = nullptr;
    Quibbon::IInterface* m_p_interface = nullptr;
    Quibbon::IDevice* m_p_device = nullptr;
    Quibbon::IDataStream* m_p_stream = nullptr;
};

}  // namespace quarvo_test
