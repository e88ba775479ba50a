// What a camera renders its frames from: a test pattern generator, a set of replayed images or a
// replayed video, made for one image description and then used by any number of grabs at once.
#pragma once

#include <cstdint>

namespace Quibbon::Sim {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual uint64_t PayloadSize() const = 0;
    // Writes the first min(bytes, PayloadSize()) bytes of the image of that frame, nothing more.
    // False when the image is not whole: a replayed video frame that could not be decoded.
    virtual bool RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const = 0;
};

}  // namespace Quibbon::Sim
