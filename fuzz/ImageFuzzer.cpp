// libFuzzer target: reads its input as the bytes of a PNG file, through the decoder that loads the
// images of a rig's images folders, with the cameras' largest side as the limit.
//
// libpng is not instrumented, so the fuzzer sees little of what a mutation does inside it, and a
// mutated chunk mostly fails its checksum before libpng looks at its contents. The target
// therefore writes the right checksum into every whole chunk before decoding: mutations reach
// the chunk contents, and inputs that only differ in a checksum need not be tried.
//
// Every input either decodes into an image the replay can use (grey or colour, within the limit,
// one sample per pixel and channel) or is refused with a std::runtime_error. An image of a camera
// size is then converted, as a replaying camera does, into the pixel format the input's last byte
// picks, and must give that format's payload size. Anything else aborts, which libFuzzer reports
// as a crash; sanitizers report the rest.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "simulator/CameraConfig.h"
#include "simulator/ImageReplay.h"
#include "simulator/PixelFormats.h"
#include "simulator/PngImage.h"

namespace {

using Quibbon::Sim::IsValidCameraSize;
using Quibbon::Sim::kCameraMaxSize;

constexpr size_t kSignatureSize = 8;

uint32_t BigEndian(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// Each chunk: length, type, data of that length, then the CRC-32 of type and data.
void FixChecksums(std::vector<uint8_t>& file) {
    size_t at = kSignatureSize;
    while (file.size() - at >= 12 && BigEndian(&file[at]) <= file.size() - at - 12) {
        const size_t length = BigEndian(&file[at]);
        const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[at + 4], static_cast<uInt>(length + 4)));
        uint8_t* out = &file[at + 8 + length];
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        at += 12 + length;
    }
}

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    if (file.size() > kSignatureSize) {
        FixChecksums(file);
    }
    Quibbon::Sim::SourceImage image;
    try {
        image = Quibbon::Sim::ReadPngBytes(file.data(), file.size(), kCameraMaxSize);
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
