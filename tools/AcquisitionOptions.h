// The options grab and bench share: the device, one-off camera settings, the buffers kept queued
// and the time to wait for each image.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvo::tool {

struct AcquisitionOptions {
    std::string device;
    std::vector<std::string> settings;
    size_t buffers = 8;
    uint64_t timeoutMs = 5000;

    void AddTo(CLI::App& app);
};

}  // namespace quarvo::tool
