// Everything a frame's bytes depend on except the frame number: the full sensor image (pattern or
// replayed images, at the sensor's size) and the transformations that make the delivered image of
// it. At the neutral transformation the delivered image is the sensor image itself.
//
// The delivered image, for a width W and height H, in the order the stages apply:
//   1. Binning and decimation. With factors bx, by (binning) and dx, dy (decimation), binned pixel
//      (u, v) combines the sensor pixels (u * bx * dx + i, v * by * dy + j) for i < bx, j < by,
//      sample by sample: their sum divided by bx where averageX and by by where averageY, rounded
//      down and clipped to 65535 (so their sum, clipped, or their average, rounded down). The binned
//      image has sensorWidth / (bx * dx) columns and sensorHeight / (by * dy) rows (rounded down).
//   2. Region: pixel (x, y) of the region is binned pixel (offsetX + x, offsetY + y). The region
//      lies within the binned image.
//   3. Reverse: with reverseX, pixel x shows region pixel W - 1 - x; reverseY likewise for rows.
//   4. Values: every 16-bit sample s (red, green, blue and grey alike) becomes
//        a = min(65535, s * exposureScale * 10^(gainDb / 20) + blackLevel * 256)
//        out = round(65535 * (a / 65535)^gamma)
//      computed once per sample value into a table.
//   5. Pixel format: the samples are encoded as the format encodes the scene (PixelEncoding.h).
#pragma once

#include <cstdint>

#include "simulator/PatternGenerator.h"

namespace Quibbon::Sim {

struct Geometry {
    uint32_t width;  // of the delivered image
    uint32_t height;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
    uint32_t binningX = 1;
    uint32_t binningY = 1;
    bool averageX = false;  // binning averages instead of summing
    bool averageY = false;
    uint32_t decimationX = 1;
    uint32_t decimationY = 1;
    bool reverseX = false;
    bool reverseY = false;
};

struct ValueTransform {
    double exposureScale = 1.0;
    double gainDb = 0.0;
    double blackLevel = 0.0;
    double gamma = 1.0;
};

struct FrameShape {
    ImageSetup sensor;  // pixel format, sensor width and height, pattern (kPatternImages: replay)
    Geometry geometry;
    ValueTransform values;
};

bool operator==(const Geometry& a, const Geometry& b);
bool operator==(const ValueTransform& a, const ValueTransform& b);
bool operator==(const FrameShape& a, const FrameShape& b);

// The shape of an untransformed image: the sensor image as it is.
FrameShape PlainShape(const ImageSetup& sensor);
// Whether the geometry delivers the sensor image unchanged: the whole sensor, no binning or
// decimation, no reverse (the averaging flags do not matter then).
bool IsNeutral(const Geometry& geometry, const ImageSetup& sensor);
// Whether the values are the neutral ones (exposure scale 1, gain 0 dB, black level 0, gamma 1),
// which keep every sample value as it is (the value table is the identity).
bool IsNeutral(const ValueTransform& values);

}  // namespace Quibbon::Sim
