// The transformed image computed pixel by pixel from the definition in FrameShape.h, without the
// prepared rows, column lists or value table of TransformedSource.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/FrameShape.h"
#include "simulator/ImageFolder.h"

namespace sim_test {

// images: the replayed images when the sensor shows kPatternImages, else unused. Expects a shape
// that TransformedSource renders.
std::vector<uint8_t> RenderTransformedReference(const Quibbon::Sim::FrameShape& shape,
                                                const Quibbon::Sim::ImageSet* images, uint32_t frame);

}  // namespace sim_test
