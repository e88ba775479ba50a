// libFuzzer target: reads its input as the bytes of a PNG file, through the decoder that loads the
// images of a rig's images folders, with the cameras' largest side as the limit.
//
// Every input either decodes into an image the replay can use (grey or colour, within the limit,
// one sample per pixel and channel) or is refused with a std::runtime_error. Anything else
// aborts, which libFuzzer reports as a crash; sanitizers report the rest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "simulator/Camera.h"
#include "simulator/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Quibbon::Sim::Camera;
    Quibbon::Sim::SourceImage image;
    try {
        image = Quibbon::Sim::ReadPngBytes(data, size, Camera::kMaxSize);
    } catch (const std::runtime_error&) {
        return 0;
    }
    const bool usable = image.width > 0 && image.height > 0 && image.width <= Camera::kMaxSize &&
                        image.height <= Camera::kMaxSize && (image.channels == 1 || image.channels == 3) &&
                        image.samples.size() == size_t{image.width} * image.height * image.channels;
    if (!usable) {
        std::fprintf(stderr, "ImageFuzzer: decoded %ux%u, %u channels, %zu samples\n", image.width, image.height,
                     image.channels, image.samples.size());
        std::abort();
    }
    return 0;
}
