#include "simulator/PatternGenerator.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/FrameCopy.h"

namespace Quibbon::Sim {

namespace {

constexpr uint32_t kCheckerCell = 32;
constexpr uint32_t kBarCount = 8;
constexpr uint16_t kFull = 0xFFFF;
// Largest tile of rows (per plane) that images are copied from in large blocks; beyond it the
// tile would fall out of the fast caches and copying row by row from a few hot rows is quicker.
constexpr uint64_t kTileBudget = 512 * 1024;

bool IsRamp(uint32_t pattern) { return pattern == kPatternMovingRamp || pattern == kPatternStillRamp; }

// Ramp sample: the ramp value in the high byte, a per-pixel changing low byte.
uint16_t RampSample(uint32_t t) {
    t %= kScenePeriod;
    return static_cast<uint16_t>((t << 8) | ((t * 149 + 91) & 0xFF));
}

ScenePixel BarPixel(uint32_t width, uint32_t u) {
    // Colour of each bar as red, green and blue bits.
    static constexpr uint8_t kBars[kBarCount] = {0b111, 0b110, 0b011, 0b010, 0b101, 0b100, 0b001, 0b000};
    const uint32_t bar = std::min<uint64_t>(kBarCount - 1, uint64_t{u} * kBarCount / width);
    const uint16_t r = (kBars[bar] & 0b100) ? kFull : 0;
    const uint16_t g = (kBars[bar] & 0b010) ? kFull : 0;
    const uint16_t b = (kBars[bar] & 0b001) ? kFull : 0;
    return {r, g, b, Luminance(r, g, b)};
}

// Horizontal period (in pixels) that a row shift must respect to keep groups and the colour
// filter aligned.
uint32_t ShiftAlignment(const PixelFormatInfo& format) {
    return format.layout == Layout::Bayer ? 2 : GroupPixels(format);
}

const PixelFormatInfo& CheckedFormat(const ImageSetup& imageSetup) {
    if (!IsValidSetup(imageSetup)) {
        throw std::invalid_argument("image description cannot be generated");
    }
    return *FindPixelFormat(imageSetup.pixelFormat);
}

}  // namespace

bool operator==(const ImageSetup& a, const ImageSetup& b) {
    return a.pixelFormat == b.pixelFormat && a.width == b.width && a.height == b.height && a.pattern == b.pattern;
}

bool IsValidPattern(uint32_t pattern) { return pattern <= kPatternColourBars; }

bool IsValidSetup(const ImageSetup& imageSetup) {
    return FindPixelFormat(imageSetup.pixelFormat) != nullptr && IsValidPattern(imageSetup.pattern) && imageSetup.width > 0 &&
           imageSetup.width % 4 == 0 && imageSetup.height > 0;
}

uint32_t SceneRowKinds(uint32_t pattern) { return pattern == kPatternCheckerboard ? 2 : 1; }

SceneRowPlan PlanSceneRow(uint32_t pattern, uint32_t y, uint32_t frame) {
    switch (pattern) {
        case kPatternMovingRamp:
            return {0, (y + frame) % kScenePeriod};
        case kPatternStillRamp:
            return {0, y % kScenePeriod};
        case kPatternCheckerboard:
            return {(y / kCheckerCell) & 1, 0};
        default:
            return {0, 0};
    }
}

ScenePixel SceneRowPixel(uint32_t pattern, uint32_t width, uint32_t kind, uint32_t u) {
    if (IsRamp(pattern)) {
        return {RampSample(u), RampSample(u + 85), RampSample(u + 170), RampSample(u)};
    }
    if (pattern == kPatternCheckerboard) {
        const uint16_t level = (((u / kCheckerCell) ^ kind) & 1) ? kFull : 0;
        return {level, level, level, level};
    }
    return BarPixel(width, u);
}

ScenePixel SceneAt(uint32_t pattern, uint32_t width, uint32_t x, uint32_t y, uint32_t frame) {
    const SceneRowPlan plan = PlanSceneRow(pattern, y, frame);
    return SceneRowPixel(pattern, width, plan.kind, x + plan.shift);
}

// A few encoded rows from which any row of any frame is a slice: for each row kind, row parity
// (Bayer formats) and shift phase, one row extended by a ramp period so that a shifted row is a
// plain offset into it.
class ImageGenerator::PreparedRows {
public:
    PreparedRows(const ImageSetup& imageSetup, const PixelFormatInfo& format)
        : m_setup(imageSetup),
          m_kinds(SceneRowKinds(imageSetup.pattern)),
          m_yClasses(format.layout == Layout::Bayer ? 2 : 1),
          m_phases(IsRamp(imageSetup.pattern) ? ShiftAlignment(format) : 1),
          m_groupShift(GroupPixels(format) / 2),
          m_groupBytes(GroupBytes(format)),
          m_pixels(imageSetup.width + (IsRamp(imageSetup.pattern) ? kScenePeriod : 0)),
          m_rowBytes(RowBytes(format, m_pixels)),
          m_rows(Index(PlaneCount(format), 0, 0, 0) * m_rowBytes) {
        std::vector<ScenePixel> pixels(m_pixels);
        for (uint32_t kind = 0; kind < m_kinds; ++kind) {
            for (uint32_t phase = 0; phase < m_phases; ++phase) {
                for (uint32_t i = 0; i < m_pixels; ++i) {
                    pixels[i] = SceneRowPixel(imageSetup.pattern, imageSetup.width, kind, i + phase);
                }
                for (uint32_t plane = 0; plane < PlaneCount(format); ++plane) {
                    for (uint32_t yClass = 0; yClass < m_yClasses; ++yClass) {
                        EncodeRun(format, pixels.data(), m_pixels, yClass, plane,
                                  m_rows.data() + Index(plane, kind, yClass, phase) * m_rowBytes);
                    }
                }
            }
        }
    }

    // Start of the encoded row y of that plane and frame. Phases, row classes and group sizes are
    // powers of two, so this takes masks and shifts only.
    const uint8_t* Row(uint32_t plane, uint32_t y, uint32_t frame) const {
        const SceneRowPlan plan = PlanSceneRow(m_setup.pattern, y, frame);
        const uint32_t phase = plan.shift & (m_phases - 1);
        const uint64_t offset = uint64_t{(plan.shift - phase) >> m_groupShift} * m_groupBytes;
        return m_rows.data() + Index(plane, plan.kind, y & (m_yClasses - 1), phase) * m_rowBytes + offset;
    }

private:
    size_t Index(uint32_t plane, uint32_t kind, uint32_t yClass, uint32_t phase) const {
        return ((size_t{plane} * m_kinds + kind) * m_yClasses + yClass) * m_phases + phase;
    }

    const ImageSetup m_setup;
    const uint32_t m_kinds;
    const uint32_t m_yClasses;
    const uint32_t m_phases;
    const uint32_t m_groupShift;  // 1, 2, 4 pixels per group -> 0, 1, 2
    const uint32_t m_groupBytes;
    const uint32_t m_pixels;
    const uint64_t m_rowBytes;
    std::vector<uint8_t> m_rows;
};

ImageGenerator::ImageGenerator(const ImageSetup& imageSetup)
    : m_setup(imageSetup),
      m_format(&CheckedFormat(imageSetup)),
      m_payloadSize(Quibbon::Sim::PayloadSize(*m_format, imageSetup.width, imageSetup.height)),
      m_rowBytes(RowBytes(*m_format, imageSetup.width)),
      m_planes(PlaneCount(*m_format)),
      m_rows(std::make_unique<const PreparedRows>(imageSetup, *m_format)),
      m_variants(imageSetup.pattern == kPatternMovingRamp && m_format->layout == Layout::Bayer ? 2 : 1),
      m_blockRows(std::min(imageSetup.height, kScenePeriod)),
      m_tileRows(m_blockRows + (imageSetup.pattern == kPatternMovingRamp ? kScenePeriod - 1 : 0)) {
    if (m_tileRows * m_rowBytes <= kTileBudget) {
        BuildTiles();
    }
}

ImageGenerator::~ImageGenerator() = default;

void ImageGenerator::BuildTiles() {
    m_tiles.resize(size_t{m_variants} * m_planes * m_tileRows * m_rowBytes);
    uint8_t* out = m_tiles.data();
    for (uint32_t variant = 0; variant < m_variants; ++variant) {
        for (uint32_t plane = 0; plane < m_planes; ++plane) {
            for (uint32_t y = 0; y < m_tileRows; ++y) {
                std::memcpy(out, m_rows->Row(plane, y, variant), m_rowBytes);
                out += m_rowBytes;
            }
        }
    }
}

void ImageGenerator::Render(uint32_t frame, uint8_t* destination) const {
    RenderPrefix(frame, destination, m_payloadSize);
}

bool ImageGenerator::RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    bytes = std::min(bytes, m_payloadSize);
    if (m_tiles.empty()) {
        RenderByRows(frame, destination, bytes);
    } else {
        RenderFromTiles(frame, destination, bytes);
    }
    return true;
}

void ImageGenerator::RenderFromTiles(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    // The moving ramp of frame f is the tile of frame f mod 2 (same row parity) entered f rows
    // further down; the other patterns do not move.
    const uint32_t variant = frame % m_variants;
    const uint32_t start = m_setup.pattern == kPatternMovingRamp ? (frame - variant) % kScenePeriod : 0;
    const FrameWriter writer(bytes);
    for (uint32_t plane = 0; plane < m_planes; ++plane) {
        const uint8_t* tile = m_tiles.data() + (size_t{variant} * m_planes + plane) * m_tileRows * m_rowBytes;
        for (uint32_t y = 0; y < m_setup.height && bytes > 0; y += m_blockRows) {
            const uint64_t block = std::min(bytes, uint64_t{std::min(m_blockRows, m_setup.height - y)} * m_rowBytes);
            writer.Copy(destination, tile + uint64_t{start} * m_rowBytes, block);
            destination += block;
            bytes -= block;
        }
    }
}

void ImageGenerator::RenderByRows(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    const FrameWriter writer(bytes);
    for (uint32_t plane = 0; plane < m_planes; ++plane) {
        for (uint32_t y = 0; y < m_setup.height && bytes > 0; ++y) {
            const uint64_t row = std::min(bytes, m_rowBytes);
            writer.Copy(destination, m_rows->Row(plane, y, frame), row);
            destination += row;
            bytes -= row;
        }
    }
}

std::vector<uint8_t> RenderReference(const ImageSetup& imageSetup, uint32_t frame) {
    const PixelFormatInfo& format = CheckedFormat(imageSetup);
    std::vector<ScenePixel> pixels(uint64_t{imageSetup.width} * imageSetup.height);
    for (uint32_t y = 0; y < imageSetup.height; ++y) {
        for (uint32_t x = 0; x < imageSetup.width; ++x) {
            pixels[uint64_t{y} * imageSetup.width + x] = SceneAt(imageSetup.pattern, imageSetup.width, x, y, frame);
        }
    }
    return EncodeImage(format, imageSetup.width, imageSetup.height, pixels);
}

void WriteFrameChunk(uint8_t* payload, uint32_t frame, uint64_t bytes) {
    for (uint64_t i = 0; i < std::min<uint64_t>(bytes, 4); ++i) {
        payload[i] = static_cast<uint8_t>(frame >> (8 * i));
    }
}

std::vector<uint8_t> ExpectedPayload(const ImageSetup& imageSetup, uint32_t frame, bool chunkMode) {
    std::vector<uint8_t> payload = RenderReference(imageSetup, frame);
    if (chunkMode && payload.size() >= 4) {
        WriteFrameChunk(payload.data(), frame);
    }
    return payload;
}

std::shared_ptr<const ImageGenerator> SharedImageGenerator(const ImageSetup& imageSetup) {
    static std::mutex mutex;
    static std::vector<std::weak_ptr<const ImageGenerator>> made;
    const std::lock_guard<std::mutex> lock(mutex);
    made.erase(std::remove_if(made.begin(), made.end(), [](const auto& entry) { return entry.expired(); }), made.end());
    for (const auto& entry : made) {
        if (auto generator = entry.lock(); generator && generator->Description() == imageSetup) {
            return generator;
        }
    }
    auto generator = std::make_shared<const ImageGenerator>(imageSetup);
    made.push_back(generator);
    return generator;
}

}  // namespace Quibbon::Sim
