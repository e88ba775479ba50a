// The images a camera replays: every PNG, TIFF, BMP and JPEG file of one folder, decoded once
// when the rig is made.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "simulator/MediaImage.h"

namespace Quibbon::Sim {

struct ImageSet {
    std::string folder;
    std::vector<SourceImage> images;  // in file name order, all of one size
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t bytes = 0;  // of all samples
};

// Decodes the files of folder whose names end in ".png", ".tif", ".tiff", ".bmp", ".jpg" or
// ".jpeg" (any case), in byte order of their names. Throws std::runtime_error naming the folder
// or the file and the problem: a folder that cannot be read or holds no such file, a file that
// cannot be decoded or is larger than maxSide, images of different sizes, images whose samples
// take more than maxBytes (decoding stops at the first image past it).
std::shared_ptr<const ImageSet> LoadImageFolder(const std::string& folder, uint32_t maxSide, uint64_t maxBytes);

}  // namespace Quibbon::Sim
