// libFuzzer target: reads its input as the bytes of an image file (PNG, TIFF, BMP, JPEG or any
// other format FFmpeg's libraries recognise), through the decoder that loads the images of a
// rig's images folders, with the cameras' largest side as the limit.
//
// Every input either decodes into an image the replay can use (grey or colour, within the limit,
// one sample per pixel and channel) or is refused with a std::runtime_error. An image of a camera
// size is then converted, as a replaying camera does, into the pixel format the input's last byte
// picks, and must give that format's payload size. Anything else aborts, which libFuzzer reports
// as a crash; sanitizers report the rest.
extern "C" {
#include <libavutil/log.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "simulator/CameraConfig.h"
#include "simulator/ImageReplay.h"
#include "simulator/MediaImage.h"
#include "simulator/PixelFormats.h"

namespace {

using Quibbon::Sim::IsValidCameraSize;
using Quibbon::Sim::kCameraMaxSize;

[[noreturn]] void Abort(const char* what, const Quibbon::Sim::SourceImage& image) {
    std::fprintf(stderr, "ImageFuzzer: %s: %ux%u, %u channels, %zu samples\n", what, image.width, image.height,
                 image.channels, image.samples.size());
    std::abort();
}

bool Usable(const Quibbon::Sim::SourceImage& image) {
    return image.width > 0 && image.height > 0 && image.width <= kCameraMaxSize && image.height <= kCameraMaxSize &&
           (image.channels == 1 || image.channels == 3) &&
           image.samples.size() == size_t{image.width} * image.height * image.channels;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);  // FFmpeg's complaints about bad images would flood the log
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Quibbon::Sim::SourceImage image;
    try {
        image = Quibbon::Sim::ReadImageBytes(data, size, kCameraMaxSize);
    } catch (const std::runtime_error&) {
        return 0;
    }
    if (!Usable(image)) {
        Abort("decoded", image);
    }
    if (IsValidCameraSize(image.width) && IsValidCameraSize(image.height)) {
        const Quibbon::Sim::PixelFormatInfo& format =
            Quibbon::Sim::PixelFormatsBegin()[data[size - 1] % Quibbon::Sim::PixelFormatCount()];
        if (Quibbon::Sim::ConvertImage(image, format.code).size() !=
            Quibbon::Sim::PayloadSize(format, image.width, image.height)) {
            Abort(format.name, image);
        }
    }
    return 0;
}
