#include "simulator/CameraModel.h"

namespace Quibbon::Sim {

// A model without a register space of its own: the producer reaches it through parameters only.
int32_t CameraModel::ReadRegisters(uint64_t /*address*/, void* /*data*/, uint64_t /*size*/, std::string& error) {
    error = "The camera has no register space of its own.";
    return kFailed;
}

int32_t CameraModel::WriteRegisters(uint64_t /*address*/, const void* /*data*/, uint64_t /*size*/,
                                    CameraControl& /*control*/, std::string& error) {
    error = "The camera has no register space of its own.";
    return kFailed;
}

}  // namespace Quibbon::Sim
