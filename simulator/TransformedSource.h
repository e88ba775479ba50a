// Transformed images of a sensor (FrameShape.h): region, binning, decimation, reverse and sample
// values applied to a test pattern or to replayed images. Each delivered row is made in one pass
// from the sensor rows it combines, run through the value table and encoded, then copied out.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "simulator/FrameShape.h"
#include "simulator/FrameSource.h"
#include "simulator/ImageFolder.h"

namespace Quibbon::Sim {

// Largest binning factor in either direction.
constexpr uint32_t kMaxBinning = 16;

class TransformedSource final : public FrameSource {
public:
    // images: what a sensor of pattern kPatternImages shows (frame N shows image N modulo their
    // number); not used for generated patterns. Throws std::invalid_argument for a shape it
    // cannot render: an unknown pixel format; a pattern sensor that cannot be generated
    // (IsValidSetup); replay without images or with images of another size than the sensor; a
    // binning factor of 0 or above kMaxBinning, a decimation factor of 0; an empty region, a width
    // that is not a whole number of the format's pixel groups, a region beyond the binned image;
    // a negative or non-finite exposure scale or black level, a non-finite gain, a gamma that is
    // not positive and finite.
    explicit TransformedSource(const FrameShape& shape, std::shared_ptr<const ImageSet> images = nullptr);
    ~TransformedSource() override;
    TransformedSource(const TransformedSource&) = delete;
    TransformedSource& operator=(const TransformedSource&) = delete;

    const FrameShape& Shape() const { return m_shape; }
    uint64_t PayloadSize() const override { return m_payloadSize; }
    // Safe to call from any number of threads at once.
    bool RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const override;
    // The same for a replayed image given here (of the sensor's size), whatever the images the
    // source was made with: a video's frames are shown this way. Throws std::invalid_argument for
    // an image of another size, or on a source of a generated pattern.
    void RenderImage(const SourceImage& image, uint8_t* destination, uint64_t bytes) const;

private:
    struct RowBuffers;

    void PrepareColumns();
    void PrepareSceneRows();
    void Render(uint32_t frame, const SourceImage* image, uint8_t* destination, uint64_t bytes) const;
    const ScenePixel* SensorRow(uint32_t y, uint32_t frame, const SourceImage* image, ScenePixel* buffer) const;
    const ScenePixel* DeliveredRow(uint32_t y, uint32_t frame, RowBuffers& buffers) const;

    const FrameShape m_shape;
    const std::shared_ptr<const ImageSet> m_images;  // null for generated patterns
    const PixelFormatInfo& m_format;
    const uint64_t m_payloadSize;
    const uint64_t m_rowBytes;
    // Whether the format shows the grey sample only (else red, green and blue only). The samples
    // it does not show are neither binned nor transformed and hold nothing of meaning.
    const bool m_grey;
    // The sensor image itself when the shape changes nothing and the sensor shows a pattern.
    std::unique_ptr<const FrameSource> m_plain;
    // Delivered pixels combine only sensor columns m_firstColumn .. m_firstColumn + m_columnSpan - 1;
    // m_columns holds for each delivered column the first one it combines, from m_firstColumn on.
    uint32_t m_firstColumn = 0;
    uint32_t m_columnSpan = 0;
    std::vector<uint32_t> m_columns;
    bool m_sliceOfRow = false;  // a delivered row is a slice of one sensor row
    uint64_t m_reciprocal = 0;  // 2^32 / the binning divisor, rounded up
    // Patterns: every kind of scene row (PlanSceneRow), kScenePeriod pixels longer than the sensor.
    std::vector<ScenePixel> m_sceneRows;
    uint32_t m_sceneRowPixels = 0;
    std::vector<uint16_t> m_valueTable;  // empty when the values stay as they are
};

}  // namespace Quibbon::Sim
