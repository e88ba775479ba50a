#include "tests/simulator/TransformReference.h"

#include <algorithm>
#include <cmath>

#include "framegrabber/Quibbon.h"
#include "simulator/ImageReplay.h"

namespace sim_test {

namespace {

using namespace Quibbon::Sim;

ScenePixel SensorPixel(const FrameShape& shape, const ImageSet* images, uint32_t frame, uint32_t x, uint32_t y) {
    if (shape.sensor.pattern == Quibbon::kPatternImages) {
        const SourceImage& image = images->images[frame % images->images.size()];
        return ImagePixel(image, size_t{y} * image.width + x);
    }
    return SceneAt(shape.sensor.pattern, shape.sensor.width, x, y, frame);
}

uint16_t TransformedValue(const ValueTransform& values, uint16_t s) {
    const double a =
        std::min(65535.0, s * values.exposureScale * std::pow(10.0, values.gainDb / 20) + values.blackLevel * 256);
    // At gamma 1 the power is the identity; computing it would only add rounding errors.
    return static_cast<uint16_t>(std::lround(values.gamma == 1 ? a : 65535 * std::pow(a / 65535, values.gamma)));
}

// Binned pixel (u, v): the sensor pixels it covers, summed, divided by the averaging factors,
// clipped; then the value transform.
ScenePixel DeliveredPixel(const FrameShape& shape, const ImageSet* images, uint32_t frame, uint32_t u, uint32_t v) {
    const Geometry& g = shape.geometry;
    uint64_t sums[4] = {};
    for (uint32_t j = 0; j < g.binningY; ++j) {
        for (uint32_t i = 0; i < g.binningX; ++i) {
            const ScenePixel p = SensorPixel(shape, images, frame, u * g.binningX * g.decimationX + i,
                                             v * g.binningY * g.decimationY + j);
            sums[0] += p.r;
            sums[1] += p.g;
            sums[2] += p.b;
            sums[3] += p.mono;
        }
    }
    const uint64_t divisor = (g.averageX ? g.binningX : 1) * (g.averageY ? g.binningY : 1);
    uint16_t samples[4];
    for (int c = 0; c < 4; ++c) {
        samples[c] =
            TransformedValue(shape.values, static_cast<uint16_t>(std::min<uint64_t>(65535, sums[c] / divisor)));
    }
    return {samples[0], samples[1], samples[2], samples[3]};
}

}  // namespace

std::vector<uint8_t> RenderTransformedReference(const FrameShape& shape, const ImageSet* images, uint32_t frame) {
    const Geometry& g = shape.geometry;
    std::vector<ScenePixel> pixels;
    for (uint32_t y = 0; y < g.height; ++y) {
        for (uint32_t x = 0; x < g.width; ++x) {
            const uint32_t regionX = g.reverseX ? g.width - 1 - x : x;
            const uint32_t regionY = g.reverseY ? g.height - 1 - y : y;
            pixels.push_back(DeliveredPixel(shape, images, frame, g.offsetX + regionX, g.offsetY + regionY));
        }
    }
    return EncodeImage(*FindPixelFormat(shape.sensor.pixelFormat), g.width, g.height, pixels);
}

}  // namespace sim_test
