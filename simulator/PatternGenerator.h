// Deterministic test images. Every byte of an image is a function of the pixel position, the
// frame number, the test pattern and the pixel format, so a consumer can check each delivered
// image exactly (RenderReference / ExpectedPayload).
//
// The scene is defined per pixel with 16-bit samples (SceneAt); a format shows the top bits of
// each sample. Patterns:
//   moving ramp:  t = (x + y + frame) mod 256, so the diagonal ramp moves one pixel left per frame;
//                 red, green and blue are the ramp at t, t + 85 and t + 170, grey follows red.
//                 The high byte of a sample is the ramp itself, the low byte varies from pixel to
//                 pixel so that formats deeper than 8 bits show changing low bits.
//   still ramp:   the moving ramp of frame 0.
//   checkerboard: black and white squares of 32 pixels, black at the top left.
//   colour bars:  eight vertical bars white, yellow, cyan, green, magenta, red, blue, black; grey
//                 formats show the bars' luminance.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "simulator/FrameSource.h"
#include "simulator/PixelEncoding.h"
#include "simulator/PixelFormats.h"

namespace Quibbon::Sim {

// Everything an image depends on except the frame number.
struct ImageSetup {
    uint32_t pixelFormat;
    uint32_t width;
    uint32_t height;
    uint32_t pattern;
};

bool operator==(const ImageSetup& a, const ImageSetup& b);

// Whether the generator draws that pattern (the replayed images are not a generated pattern).
bool IsValidPattern(uint32_t pattern);
// Whether images of that description can be generated: known format, known pattern, a width that
// is a positive multiple of 4 and a positive height.
bool IsValidSetup(const ImageSetup& imageSetup);

ScenePixel SceneAt(uint32_t pattern, uint32_t width, uint32_t x, uint32_t y, uint32_t frame);

// Every pattern repeats after this many rows.
constexpr uint32_t kScenePeriod = 256;

// Every row of a pattern is a slice of one of a few scene rows: row y of a frame is the row of
// kind plan.kind (below SceneRowKinds) shifted plan.shift (below kScenePeriod) pixels to the left,
// so SceneAt(pattern, width, x, y, frame) is SceneRowPixel(pattern, width, plan.kind, x + plan.shift)
// for plan = PlanSceneRow(pattern, y, frame).
struct SceneRowPlan {
    uint32_t kind;
    uint32_t shift;
};

uint32_t SceneRowKinds(uint32_t pattern);
SceneRowPlan PlanSceneRow(uint32_t pattern, uint32_t y, uint32_t frame);
// Pixel u of the scene row of that kind (u = x + the row's shift).
ScenePixel SceneRowPixel(uint32_t pattern, uint32_t width, uint32_t kind, uint32_t u);

// Fast generator for one image description: images are copied out of rows encoded when the
// generator is made, never computed per pixel. Every pattern repeats after 256 rows, so where a
// tile of those rows fits in a fast cache an image is a few large copies out of it; wider images
// are copied row by row out of a handful of prepared rows.
class ImageGenerator final : public FrameSource {
public:
    // Throws std::invalid_argument when the description is not valid (IsValidSetup).
    explicit ImageGenerator(const ImageSetup& imageSetup);
    ~ImageGenerator();
    ImageGenerator(const ImageGenerator&) = delete;
    ImageGenerator& operator=(const ImageGenerator&) = delete;

    const ImageSetup& Description() const { return m_setup; }
    uint64_t PayloadSize() const override { return m_payloadSize; }
    // Writes exactly PayloadSize() bytes.
    void Render(uint32_t frame, uint8_t* destination) const;
    bool RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const override;
    // Whether images are copied in blocks out of a tile (else row by row).
    bool CopiesFromTile() const { return !m_tiles.empty(); }

private:
    class PreparedRows;

    void BuildTiles();
    void RenderFromTiles(uint32_t frame, uint8_t* destination, uint64_t bytes) const;
    void RenderByRows(uint32_t frame, uint8_t* destination, uint64_t bytes) const;

    ImageSetup m_setup;
    const PixelFormatInfo* m_format;
    uint64_t m_payloadSize;
    uint64_t m_rowBytes;
    uint32_t m_planes;
    std::unique_ptr<const PreparedRows> m_rows;
    uint32_t m_variants;
    uint32_t m_blockRows;
    uint32_t m_tileRows;
    std::vector<uint8_t> m_tiles;  // empty when rendering row by row
};

// The image computed pixel by pixel from SceneAt, without the prepared rows.
std::vector<uint8_t> RenderReference(const ImageSetup& imageSetup, uint32_t frame);
// Writes the frame counter as the 4-byte little-endian chunk at the start of the payload, or as
// much of it as fits in bytes.
void WriteFrameChunk(uint8_t* payload, uint32_t frame, uint64_t bytes = 4);
// The exact payload a camera delivers for that frame.
std::vector<uint8_t> ExpectedPayload(const ImageSetup& imageSetup, uint32_t frame, bool chunkMode);

// The generator of that description, shared by every camera that shows it: made once and kept
// while a camera uses it, so that starting many cameras of one size and format prepares their
// rows once. Throws like the ImageGenerator constructor.
std::shared_ptr<const ImageGenerator> SharedImageGenerator(const ImageSetup& imageSetup);

}  // namespace Quibbon::Sim
