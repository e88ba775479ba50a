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

struct SampleSums {
    uint32_t r, g, b, mono;
};

// The samples of each of the pixels added up over the rows, sample by sample.
void SumRows(const ScenePixel* const* rows, uint32_t count, uint32_t pixels, SampleSums* sums) {
    for (uint32_t k = 0; k < pixels; ++k) {
        sums[k] = {rows[0][k].r, rows[0][k].g, rows[0][k].b, rows[0][k].mono};
    }
    for (uint32_t j = 1; j < count; ++j) {
        const ScenePixel* row = rows[j];
        for (uint32_t k = 0; k < pixels; ++k) {
            sums[k].r += row[k].r;
            sums[k].g += row[k].g;
            sums[k].b += row[k].b;
            sums[k].mono += row[k].mono;
        }
    }
}

// Each delivered pixel from the column sums of the binX columns from its own on; only the grey
// sample (kGrey) or only red, green and blue.
template <bool kGrey>
void BinRow(const SampleSums* sums, uint32_t binX, const uint32_t* columns, uint32_t count, uint64_t reciprocal,
            ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        const SampleSums* first = sums + columns[x];
        SampleSums total = first[0];
        for (uint32_t i = 1; i < binX; ++i) {
            total.r += first[i].r;
            total.g += first[i].g;
            total.b += first[i].b;
            total.mono += first[i].mono;
        }
        if constexpr (kGrey) {
            out[x].mono = Combined(total.mono, reciprocal);
        } else {
            out[x] = {Combined(total.r, reciprocal), Combined(total.g, reciprocal), Combined(total.b, reciprocal), 0};
        }
    }
}

void PickColumns(const ScenePixel* row, const uint32_t* columns, uint32_t count, ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        out[x] = row[columns[x]];
    }
}

// The samples through the value table: only the grey one (kGrey) or only red, green and blue.
template <bool kGrey>
void TransformValues(const uint16_t* table, const ScenePixel* in, uint32_t count, ScenePixel* out) {
    for (uint32_t x = 0; x < count; ++x) {
        if constexpr (kGrey) {
            out[x].mono = table[in[x].mono];
        } else {
            out[x] = {table[in[x].r], table[in[x].g], table[in[x].b], 0};
        }
    }
}

}  // namespace

// Per render: the converted image rows a delivered row combines, their column sums, the delivered
// row, its encoding.
struct TransformedSource::RowBuffers {
    const SourceImage* image;  // the replayed image shown, or null for patterns
    std::vector<ScenePixel> sensor;
    std::vector<SampleSums> sums;
    std::vector<ScenePixel> delivered;
    std::vector<uint8_t> encoded;
};

TransformedSource::TransformedSource(const FrameShape& shape, std::shared_ptr<const ImageSet> images)
    : m_shape(shape),
      m_images(shape.sensor.pattern == kPatternImages ? std::move(images) : nullptr),
      m_format(CheckedShape(shape, m_images.get())),
      m_payloadSize(Quibbon::Sim::PayloadSize(m_format, shape.geometry.width, shape.geometry.height)),
      m_rowBytes(RowBytes(m_format, shape.geometry.width)),
      m_grey(ShowsGrey(m_format)) {
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

// Sensor row y of that frame from column m_firstColumn on: a slice of a scene row, or the row of
// the replayed image converted into buffer (m_columnSpan pixels; null for patterns).
const ScenePixel* TransformedSource::SensorRow(uint32_t y, uint32_t frame, const SourceImage* image,
                                               ScenePixel* buffer) const {
    if (image != nullptr) {
        const size_t start = size_t{y} * image->width + m_firstColumn;
        for (uint32_t i = 0; i < m_columnSpan; ++i) {
            buffer[i] = ImagePixel(*image, start + i);
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
        ScenePixel* buffer = buffers.image != nullptr ? buffers.sensor.data() + size_t{j} * m_columnSpan : nullptr;
        rows[j] = SensorRow(firstRow + j, frame, buffers.image, buffer);
    }
    ScenePixel* out = buffers.delivered.data();
    const ScenePixel* binned = out;
    if (geometry.binningX * geometry.binningY > 1) {
        SumRows(rows.data(), geometry.binningY, m_columnSpan, buffers.sums.data());
        (m_grey ? BinRow<true> : BinRow<false>)(buffers.sums.data(), geometry.binningX, m_columns.data(),
                                                 geometry.width, m_reciprocal, out);
    } else if (m_sliceOfRow) {
        binned = rows[0];
    } else {
        PickColumns(rows[0], m_columns.data(), geometry.width, out);
    }
    if (m_valueTable.empty()) {
        return binned;
    }
    (m_grey ? TransformValues<true> : TransformValues<false>)(m_valueTable.data(), binned, geometry.width, out);
    return out;
}

bool TransformedSource::RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    if (m_plain) {
        return m_plain->RenderPrefix(frame, destination, bytes);
    }
    Render(frame, m_images ? &m_images->images[frame % m_images->images.size()] : nullptr, destination, bytes);
    return true;
}

void TransformedSource::RenderImage(const SourceImage& image, uint8_t* destination, uint64_t bytes) const {
    if (!m_images || image.width != m_shape.sensor.width || image.height != m_shape.sensor.height ||
        image.samples.size() != size_t{image.width} * image.height * image.channels) {
        throw std::invalid_argument("image is not of the sensor's size");
    }
    Render(0, &image, destination, bytes);
}

void TransformedSource::Render(uint32_t frame, const SourceImage* image, uint8_t* destination, uint64_t bytes) const {
    bytes = std::min(bytes, m_payloadSize);
    const Geometry& geometry = m_shape.geometry;
    const bool binning = geometry.binningX * geometry.binningY > 1;
    RowBuffers buffers{image, std::vector<ScenePixel>(image != nullptr ? size_t{geometry.binningY} * m_columnSpan : 0),
                       std::vector<SampleSums>(binning ? m_columnSpan : 0), std::vector<ScenePixel>(geometry.width),
                       std::vector<uint8_t>(m_rowBytes)};
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
