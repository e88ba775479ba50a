// Writes delivered images as files named <device ID>-<frame ID>.<extension>, the frame ID
// zero-padded so that a sorted listing is the acquisition order: PNG or PGM/PPM of the 8-bit
// conversion, or the payload as delivered (raw).
#pragma once

#include <filesystem>
#include <string>

#include "consumer/DeliveredBuffer.h"
#include "consumer/ImageConverter.h"

namespace quarvo::tool {

enum class FileFormat { Png, Pnm, Raw };

// "png", "pgm" (grey PGM or colour PPM) or "raw"; throws UsageError for others.
FileFormat ParseFileFormat(const std::string& name);

class ImageWriter {
public:
    // Creates the folder when it does not exist.
    ImageWriter(FileFormat format, std::filesystem::path folder, const std::string& deviceID);

    // Writes the buffer; sequence numbers the file when the producer gives no frame ID.
    std::filesystem::path Write(const DeliveredBuffer& buffer, uint64_t sequence) const;
    // Writes an 8-bit image as a PNG file.
    static void WritePng(const Image8& image, const std::filesystem::path& file);

private:
    std::filesystem::path FileFor(uint64_t frame, const std::string& extension) const;
    static void WritePnm(const Image8& image, const std::filesystem::path& file);
    static void WriteBytes(const uint8_t* data, size_t size, const std::filesystem::path& file);

    FileFormat m_format;
    std::filesystem::path m_folder;
    std::string m_prefix;
};

}  // namespace quarvo::tool
