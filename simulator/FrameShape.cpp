#include "simulator/FrameShape.h"

namespace Quibbon::Sim {

bool operator==(const Geometry& a, const Geometry& b) {
    return a.width == b.width && a.height == b.height && a.offsetX == b.offsetX && a.offsetY == b.offsetY &&
           a.binningX == b.binningX && a.binningY == b.binningY && a.averageX == b.averageX &&
           a.averageY == b.averageY && a.decimationX == b.decimationX && a.decimationY == b.decimationY &&
           a.reverseX == b.reverseX && a.reverseY == b.reverseY;
}

bool operator==(const ValueTransform& a, const ValueTransform& b) {
    return a.exposureScale == b.exposureScale && a.gainDb == b.gainDb && a.blackLevel == b.blackLevel &&
           a.gamma == b.gamma;
}

bool operator==(const FrameShape& a, const FrameShape& b) {
    return a.sensor == b.sensor && a.geometry == b.geometry && a.values == b.values;
}

FrameShape PlainShape(const ImageSetup& sensor) { return {sensor, Geometry{sensor.width, sensor.height}, {}}; }

bool IsNeutral(const Geometry& geometry, const ImageSetup& sensor) {
    return geometry.width == sensor.width && geometry.height == sensor.height && geometry.offsetX == 0 &&
           geometry.offsetY == 0 && geometry.binningX == 1 && geometry.binningY == 1 && geometry.decimationX == 1 &&
           geometry.decimationY == 1 && !geometry.reverseX && !geometry.reverseY;
}

bool IsNeutral(const ValueTransform& values) { return values == ValueTransform{}; }

}  // namespace Quibbon::Sim
