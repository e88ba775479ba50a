#include "tools/ImageWriter.h"

#include <png.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "consumer/Errors.h"
#include "consumer/PixelFormat.h"

namespace fs = std::filesystem;

namespace quarvo::tool {

namespace {

// A device ID as part of a file name: characters that could leave the folder or confuse a shell
// become '_'.
std::string FileNamePart(const std::string& id) {
    std::string part = id;
    for (char& c : part) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        if (!plain) {
            c = '_';
        }
    }
    return part.empty() ? "device" : part;
}

Image8 Convert(const DeliveredBuffer& buffer) {
    if (buffer.imageOffset > buffer.filled) {
        throw std::runtime_error("the image offset lies beyond the filled data");
    }
    if (FindPixelFormat(buffer.pixelFormat) == nullptr) {
        char code[32];
        std::snprintf(code, sizeof code, "0x%08llX", static_cast<unsigned long long>(buffer.pixelFormat));
        throw std::runtime_error(std::string("pixel format ") + code +
                                 " has no 8-bit conversion; --format raw writes such images as delivered");
    }
    return ImageConverter::Convert({buffer.data + buffer.imageOffset, buffer.filled - buffer.imageOffset, buffer.width,
                                    buffer.height, buffer.xPadding, buffer.pixelFormat});
}

}  // namespace

FileFormat ParseFileFormat(const std::string& name) {
    if (name == "png") return FileFormat::Png;
    if (name == "pgm") return FileFormat::Pnm;
    if (name == "raw") return FileFormat::Raw;
    throw UsageError("unknown file format '" + name + "': png, pgm or raw");
}

ImageWriter::ImageWriter(FileFormat format, fs::path folder, const std::string& deviceID)
    : m_format(format), m_folder(std::move(folder)), m_prefix(FileNamePart(deviceID)) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error || !fs::is_directory(m_folder)) {
        throw std::runtime_error("cannot create the folder " + m_folder.string() +
                                 (error ? ": " + error.message() : ""));
    }
}

fs::path ImageWriter::FileFor(uint64_t frame, const std::string& extension) const {
    char number[32];
    std::snprintf(number, sizeof number, "%08llu", static_cast<unsigned long long>(frame));
    return m_folder / (m_prefix + "-" + number + "." + extension);
}

fs::path ImageWriter::Write(const DeliveredBuffer& buffer, uint64_t sequence) const {
    const uint64_t frame = buffer.frameID.value_or(sequence);
    if (m_format == FileFormat::Raw) {
        const fs::path file = FileFor(frame, "raw");
        WriteBytes(buffer.data, buffer.filled, file);
        return file;
    }
    const Image8 image = Convert(buffer);
    if (m_format == FileFormat::Png) {
        const fs::path file = FileFor(frame, "png");
        WritePng(image, file);
        return file;
    }
    const fs::path file = FileFor(frame, image.channels == 1 ? "pgm" : "ppm");
    WritePnm(image, file);
    return file;
}

void ImageWriter::WritePng(const Image8& image, const fs::path& file) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = image.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    const png_int_32 stride = static_cast<png_int_32>(image.width * image.channels);
    if (!png_image_write_to_file(&png, file.c_str(), 0, image.pixels.data(), stride, nullptr)) {
        const std::string message = png.message;
        png_image_free(&png);
        throw std::runtime_error("cannot write " + file.string() + ": " + message);
    }
}

void ImageWriter::WritePnm(const Image8& image, const fs::path& file) {
    const std::string header = std::string(image.channels == 1 ? "P5" : "P6") + "\n" + std::to_string(image.width) +
                               " " + std::to_string(image.height) + "\n255\n";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void ImageWriter::WriteBytes(const uint8_t* data, size_t size, const fs::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

}  // namespace quarvo::tool
