// Replay of decoded images as a camera's frames. Every image is converted into the camera's pixel
// format once, when the replay is made, so a frame costs one copy.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/FrameSource.h"
#include "simulator/ImageFolder.h"
#include "simulator/PixelEncoding.h"

namespace Quibbon::Sim {

// Pixel index (in row order) of an image: a grey sample fills red, green, blue and grey, a colour
// pixel shows grey its BT.601 luma.
inline ScenePixel ImagePixel(const SourceImage& image, size_t index) {
    if (image.channels == 1) {
        const uint16_t grey = image.samples[index];
        return {grey, grey, grey, grey};
    }
    const uint16_t* rgb = &image.samples[index * 3];
    return {rgb[0], rgb[1], rgb[2], Luminance(rgb[0], rgb[1], rgb[2])};
}

// The payload an image gives in that pixel format, made of its pixels as ImagePixel gives them.
// Every format then takes the top bits of the 16-bit samples (10-, 12- and 16-bit formats and
// packed layouts alike), Bayer formats the colour of each pixel's filter site, YUV formats the
// 8-bit BT.601 conversion. Throws std::invalid_argument for an unknown format or a width that the
// format cannot pack.
std::vector<uint8_t> ConvertImage(const SourceImage& image, uint32_t pixelFormat);

class ImageReplay final : public FrameSource {
public:
    // Throws like ConvertImage.
    ImageReplay(const ImageSet& images, uint32_t pixelFormat);

    uint64_t PayloadSize() const override { return m_payloadSize; }
    // Frame N shows image N modulo the number of images.
    bool RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const override;

private:
    std::vector<std::vector<uint8_t>> m_frames;
    uint64_t m_payloadSize;
};

}  // namespace Quibbon::Sim
