#include "simulator/TransformedSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "framegrabber/Quibbon.h"
#include "simulator/FrameCopy.h"
#include "simulator/ImageReplay.h"

namespace Quibbon::Sim {

namespace {

constexpr uint32_t kMaxSample = 0xFFFF;

const PixelFormatInfo& CheckedSensor(const ImageSetup& sensor, const ImageSet* images) {
    if (sensor.pattern != kPatternImages) {
        if (!IsValidSetup(sensor)) {
            throw std::invalid_argument("sensor image cannot be generated");
        }
    } else if (images == nullptr || images->images.empty()) {
        throw std::invalid_argument("no image to replay");
    } else if (images->width != sensor.width || images->height != sensor.height) {
        throw std::invalid_argument("images are not of the sensor's size");
    }
    const PixelFormatInfo* format = FindPixelFormat(sensor.pixelFormat);
    if (format == nullptr) {
        throw std::invalid_argument("unknown pixel format");
    }
    return *format;
}

// Whether count binned pixels from offset on lie within the binned image of a sensor of size
// pixels.
bool FitsSensor(uint32_t offset, uint32_t count, uint32_t binning, uint32_t decimation, uint32_t size) {
    return uint64_t{offset} + count <= size / (uint64_t{binning} * decimation);
}

void CheckGeometry(const Geometry& geometry, const ImageSetup& sensor, const PixelFormatInfo& format) {
    for (uint32_t factor : {geometry.binningX, geometry.binningY}) {
        if (factor == 0 || factor > kMaxBinning) {
            throw std::invalid_argument("binning factor out of range");
        }
    }
    if (geometry.decimationX == 0 || geometry.decimationY == 0) {
        throw std::invalid_argument("decimation factor of 0");
    }
    if (geometry.width == 0 || geometry.height == 0 || geometry.width % GroupPixels(format) != 0) {
        throw std::invalid_argument("region size does not suit the pixel format");
    }
    if (!FitsSensor(geometry.offsetX, geometry.width, geometry.binningX, geometry.decimationX, sensor.width) ||
        !FitsSensor(geometry.offsetY, geometry.height, geometry.binningY, geometry.decimationY, sensor.height)) {
        throw std::invalid_argument("region beyond the binned sensor image");
    }
}

void CheckValues(const ValueTransform& values) {
    if (!std::isfinite(values.exposureScale) || values.exposureScale < 0 || !std::isfinite(values.gainDb) ||
        !std::isfinite(values.blackLevel) || values.blackLevel < 0 || !std::isfinite(values.gamma) ||
        values.gamma <= 0) {
        throw std::invalid_argument("sample value transform out of range");
    }
}

const PixelFormatInfo& CheckedShape(const FrameShape& shape, const ImageSet* images) {
    const PixelFormatInfo& format = CheckedSensor(shape.sensor, images);
    CheckGeometry(shape.geometry, shape.sensor, format);
    CheckValues(shape.values);
    return format;
}

// What every 16-bit sample value becomes; the gamma stage is left out at its neutral value,
// where it would change nothing but the rounding of a.
std::vector<uint16_t> ValueTable(const ValueTransform& values) {
    std::vector<uint16_t> table(kMaxSample + 1);
    const double gain = std::pow(10.0, values.gainDb / 20);
    for (uint32_t s = 0; s <= kMaxSample; ++s) {
        const double a = std::min<double>(kMaxSample, s * values.exposureScale * gain + values.blackLevel * 256);
        const double out = values.gamma == 1 ? a : kMaxSample * std::pow(a / kMaxSample, values.gamma);
        table[s] = static_cast<uint16_t>(std::lround(out));
    }
    return table;
}

// sum / divisor rounded down, clipped to a sample, for reciprocal = ceil(2^32 / divisor). Exact
// for sums of up to kMaxBinning^2 samples and divisors up to kMaxBinning^2: the error of the
// reciprocal, below divisor, times the sum stays below 2^32.
uint16_t Combined(uint32_t sum, uint64_t reciprocal) {
    return static_cast<uint16_t>(std::min<uint64_t>(kMaxSample, (sum * reciprocal) >> 32));
}

// Each delivered pixel from the binX by binY sensor pixels at its column of the rows.
void BinRow(const ScenePixel* const* rows, uint32_t binX, uint32_t binY, const uint32_t* columns, uint32_t count,
            uint64_t reciprocal, ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        uint32_t r = 0, g = 0, b = 0, mono = 0;
        for (uint32_t j = 0; j < binY; ++j) {
            const ScenePixel* pixel = rows[j] + columns[x];
            for (uint32_t i = 0; i < binX; ++i) {
                r += pixel[i].r;
                g += pixel[i].g;
                b += pixel[i].b;
                mono += pixel[i].mono;
            }
        }
        out[x] = {Combined(r, reciprocal), Combined(g, reciprocal), Combined(b, reciprocal),
                  Combined(mono, reciprocal)};
    }
}

void PickColumns(const ScenePixel* row, const uint32_t* columns, uint32_t count, ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        out[x] = row[columns[x]];
    }
}

void TransformValues(const uint16_t* table, const ScenePixel* in, uint32_t count, ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        out[x] = {table[in[x].r], table[in[x].g], table[in[x].b], table[in[x].mono]};
    }
}

}  // namespace

// Per render: the converted image rows a delivered row combines, the delivered row, its encoding.
struct TransformedSource::RowBuffers {
    std::vector<ScenePixel> sensor;
    std::vector<ScenePixel> delivered;
    std::vector<uint8_t> encoded;
};

TransformedSource::TransformedSource(const FrameShape& shape, std::shared_ptr<const ImageSet> images)
    : m_shape(shape),
      m_images(shape.sensor.pattern == kPatternImages ? std::move(images) : nullptr),
      m_format(CheckedShape(shape, m_images.get())),
      m_payloadSize(Quibbon::Sim::PayloadSize(m_format, shape.geometry.width, shape.geometry.height)),
      m_rowBytes(RowBytes(m_format, shape.geometry.width)) {
    const bool neutral = IsNeutral(shape.geometry, shape.sensor) && IsNeutral(shape.values);
    if (neutral && !m_images) {
        m_plain = std::make_unique<const ImageGenerator>(shape.sensor);
        return;
    }
    PrepareColumns();
    if (!m_images) {
        PrepareSceneRows();
    }
    const Geometry& geometry = shape.geometry;
    const uint32_t divisor = (geometry.averageX ? geometry.binningX : 1) * (geometry.averageY ? geometry.binningY : 1);
    m_reciprocal = ((uint64_t{1} << 32) + divisor - 1) / divisor;
    if (!IsNeutral(shape.values)) {
        m_valueTable = ValueTable(shape.values);
    }
}

TransformedSource::~TransformedSource() = default;

void TransformedSource::PrepareColumns() {
    const Geometry& geometry = m_shape.geometry;
    const uint32_t step = geometry.binningX * geometry.decimationX;
    m_firstColumn = geometry.offsetX * step;
    m_columnSpan = (geometry.width - 1) * step + geometry.binningX;
    m_columns.resize(geometry.width);
    for (uint32_t x = 0; x < geometry.width; ++x) {
        m_columns[x] = (geometry.reverseX ? geometry.width - 1 - x : x) * step;
    }
    m_sliceOfRow = step == 1 && !geometry.reverseX;
}

void TransformedSource::PrepareSceneRows() {
    const ImageSetup& sensor = m_shape.sensor;
    m_sceneRowPixels = sensor.width + kScenePeriod;
    m_sceneRows.resize(size_t{SceneRowKinds(sensor.pattern)} * m_sceneRowPixels);
    for (size_t i = 0; i < m_sceneRows.size(); ++i) {
        const auto kind = static_cast<uint32_t>(i / m_sceneRowPixels);
        m_sceneRows[i] = SceneRowPixel(sensor.pattern, sensor.width, kind, static_cast<uint32_t>(i % m_sceneRowPixels));
    }
}

// Sensor row y of that frame from column m_firstColumn on: a slice of a scene row, or the image's
// row converted into buffer (m_columnSpan pixels; null for patterns).
const ScenePixel* TransformedSource::SensorRow(uint32_t y, uint32_t frame, ScenePixel* buffer) const {
    if (m_images) {
        const SourceImage& image = m_images->images[frame % m_images->images.size()];
        const size_t start = size_t{y} * image.width + m_firstColumn;
        for (uint32_t i = 0; i < m_columnSpan; ++i) {
            buffer[i] = ImagePixel(image, start + i);
        }
        return buffer;
    }
    const SceneRowPlan plan = PlanSceneRow(m_shape.sensor.pattern, y, frame);
    return m_sceneRows.data() + size_t{plan.kind} * m_sceneRowPixels + plan.shift + m_firstColumn;
}

// The pixels of delivered row y, with their values transformed.
const ScenePixel* TransformedSource::DeliveredRow(uint32_t y, uint32_t frame, RowBuffers& buffers) const {
    const Geometry& geometry = m_shape.geometry;
    const uint32_t v = geometry.offsetY + (geometry.reverseY ? geometry.height - 1 - y : y);
    const uint32_t firstRow = v * geometry.binningY * geometry.decimationY;
    std::array<const ScenePixel*, kMaxBinning> rows{};
    for (uint32_t j = 0; j < geometry.binningY; ++j) {
        ScenePixel* buffer = m_images ? buffers.sensor.data() + size_t{j} * m_columnSpan : nullptr;
        rows[j] = SensorRow(firstRow + j, frame, buffer);
    }
    ScenePixel* out = buffers.delivered.data();
    const ScenePixel* binned = out;
    if (geometry.binningX * geometry.binningY > 1) {
        BinRow(rows.data(), geometry.binningX, geometry.binningY, m_columns.data(), geometry.width, m_reciprocal, out);
    } else if (m_sliceOfRow) {
        binned = rows[0];
    } else {
        PickColumns(rows[0], m_columns.data(), geometry.width, out);
    }
    if (m_valueTable.empty()) {
        return binned;
    }
    TransformValues(m_valueTable.data(), binned, geometry.width, out);
    return out;
}

void TransformedSource::RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    bytes = std::min(bytes, m_payloadSize);
    if (m_plain) {
        m_plain->RenderPrefix(frame, destination, bytes);
        return;
    }
    const Geometry& geometry = m_shape.geometry;
    RowBuffers buffers{std::vector<ScenePixel>(m_images ? size_t{geometry.binningY} * m_columnSpan : 0),
                       std::vector<ScenePixel>(geometry.width), std::vector<uint8_t>(m_rowBytes)};
    const FrameWriter writer(bytes);
    // Rows of the first plane come first, so every row that has bytes in the prefix has some there.
    const uint64_t rows = std::min<uint64_t>(geometry.height, (bytes + m_rowBytes - 1) / m_rowBytes);
    for (uint32_t y = 0; y < rows; ++y) {
        const ScenePixel* pixels = DeliveredRow(y, frame, buffers);
        for (uint32_t plane = 0; plane < PlaneCount(m_format); ++plane) {
            const uint64_t offset = (uint64_t{plane} * geometry.height + y) * m_rowBytes;
            if (offset >= bytes) {
                break;
            }
            EncodeRun(m_format, pixels, geometry.width, y & 1, plane, buffers.encoded.data());
            writer.Copy(destination + offset, buffers.encoded.data(), std::min(m_rowBytes, bytes - offset));
        }
    }
}

}  // namespace Quibbon::Sim
