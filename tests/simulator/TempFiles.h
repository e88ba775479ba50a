// Test helpers: a scratch folder removed with everything in it, text files and PNG files.
#pragma once

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim_test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quibbon-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no scratch folder");
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Full path of name in the folder, its parent folders made.
    std::string Make(const std::string& name) const {
        const std::filesystem::path path = m_path / name;
        std::filesystem::create_directories(path.parent_path());
        return path.string();
    }
    std::string WriteText(const std::string& name, const std::string& text) const {
        const std::string path = Make(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

private:
    std::filesystem::path m_path;
};

// Writes a PNG through libpng's simplified interface. format is a PNG_FORMAT_* value; samples
// are 8-bit, or 16-bit with PNG_FORMAT_FLAG_LINEAR; colormap (PNG_FORMAT_FLAG_COLORMAP) holds
// 8-bit RGB entries.
inline std::string WritePng(const TempFolder& folder, const std::string& name, uint32_t width, uint32_t height,
                            uint32_t format, const void* samples, const std::vector<uint8_t>& colormap = {}) {
    const std::string path = folder.Make(name);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    image.colormap_entries = static_cast<png_uint_32>(colormap.size() / 3);
    if (png_image_write_to_file(&image, path.c_str(), 0, samples, 0, colormap.empty() ? nullptr : colormap.data()) == 0) {
        throw std::runtime_error(std::string("cannot write PNG: ") + image.message);
    }
    return path;
}

}  // namespace sim_test
