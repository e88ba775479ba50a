#include "simulator/ImageReplay.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "simulator/FrameCopy.h"

namespace Quibbon::Sim {

std::vector<uint8_t> ConvertImage(const SourceImage& image, uint32_t pixelFormat) {
    const PixelFormatInfo* format = FindPixelFormat(pixelFormat);
    if (format == nullptr || image.width % GroupPixels(*format) != 0) {
        throw std::invalid_argument("image cannot be converted into that pixel format");
    }
    std::vector<ScenePixel> pixels(size_t{image.width} * image.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = ImagePixel(image, i);
    }
    return EncodeImage(*format, image.width, image.height, pixels);
}

ImageReplay::ImageReplay(const ImageSet& images, uint32_t pixelFormat) {
    for (const SourceImage& image : images.images) {
        m_frames.push_back(ConvertImage(image, pixelFormat));
    }
    if (m_frames.empty()) {
        throw std::invalid_argument("no image to replay");
    }
    m_payloadSize = m_frames.front().size();
}

bool ImageReplay::RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    const std::vector<uint8_t>& image = m_frames[frame % m_frames.size()];
    const uint64_t written = std::min<uint64_t>(bytes, image.size());
    FrameWriter(written).Copy(destination, image.data(), written);
    return true;
}

}  // namespace Quibbon::Sim
