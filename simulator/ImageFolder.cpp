#include "simulator/ImageFolder.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace Quibbon::Sim {

namespace {

namespace fs = std::filesystem;

// The file name endings of the images a folder replays, in lower case.
constexpr const char* kImageExtensions[] = {".png", ".tif", ".tiff", ".bmp", ".jpg", ".jpeg"};

bool IsImageName(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kImageExtensions), std::end(kImageExtensions), extension) != std::end(kImageExtensions);
}

std::vector<fs::path> ImageFiles(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    std::vector<fs::path> files;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (entries->is_regular_file(error) && IsImageName(entries->path())) {
            files.push_back(entries->path());
        }
    }
    if (error) {
        throw std::runtime_error("images folder '" + folder + "' cannot be read (" + error.message() + ")");
    }
    if (files.empty()) {
        throw std::runtime_error("images folder '" + folder + "' holds no image file (PNG, TIFF, BMP or JPEG)");
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string SizeText(const SourceImage& image) {
    return std::to_string(image.width) + "x" + std::to_string(image.height);
}

}  // namespace

std::shared_ptr<const ImageSet> LoadImageFolder(const std::string& folder, uint32_t maxSide, uint64_t maxBytes) {
    auto set = std::make_shared<ImageSet>();
    set->folder = folder;
    const std::vector<fs::path> files = ImageFiles(folder);
    for (const fs::path& file : files) {
        try {
            set->images.push_back(ReadImage(file.string(), maxSide));
        } catch (const std::runtime_error& problem) {
            throw std::runtime_error("image '" + file.string() + "' " + problem.what());
        }
        set->bytes += set->images.back().samples.size() * sizeof(uint16_t);
        if (set->bytes > maxBytes) {
            throw std::runtime_error("images in '" + folder + "' take more than " + std::to_string(maxBytes >> 20) +
                                     " MiB decoded");
        }
        const SourceImage& first = set->images.front();
        if (set->images.back().width != first.width || set->images.back().height != first.height) {
            throw std::runtime_error("image '" + file.string() + "' is " + SizeText(set->images.back()) + ", unlike '" +
                                     files.front().string() + "' (" + SizeText(first) + ")");
        }
    }
    set->width = set->images.front().width;
    set->height = set->images.front().height;
    return set;
}

}  // namespace Quibbon::Sim
