// The cameras of Quarvo's simulated frame grabber as the producer loaded it: reached through the
// component's GetSystem in this process, so their settings are the ones the producer sees,
// including what the GenTL ports do not show (test pattern, fault injection).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framegrabber/Quibbon.h"

namespace quarvo::tool {

class SimulatedRig {
public:
    // Throws GenTLError-like std::runtime_error when the producer has not loaded the simulated
    // frame grabber (another producer, or Quarvo without its component).
    SimulatedRig();
    ~SimulatedRig();
    SimulatedRig(const SimulatedRig&) = delete;
    SimulatedRig& operator=(const SimulatedRig&) = delete;

    // A numeric parameter of a camera (board and camera as the component names them); nothing
    // when the camera or the parameter is unknown.
    std::optional<int32_t> Parameter(const std::string& board, const std::string& camera, int32_t parameter) const;

    // The display name the component gives a board, or empty.
    std::string BoardName(const std::string& board) const;

private:
    Quibbon::ISystem* m_p_system = nullptr;
};

}  // namespace quarvo::tool
