#include "tools/AcquisitionOptions.h"

namespace quarvo::tool {

void AcquisitionOptions::AddTo(CLI::App& app) {
    app.add_option("-d,--device", device, "Device ID (default: the first device of the first interface)");
    app.add_option("--set", settings, "Camera FEATURE=VALUE (or 0x... register) to write first, for this run only")
        ->allow_extra_args(false);
    app.add_option("-b,--buffers", buffers, "Buffers kept queued (raised to the least the stream needs)")
        ->check(CLI::Range(size_t{1}, size_t{1024}))
        ->capture_default_str();
    app.add_option("-t,--timeout", timeoutMs, "Milliseconds to wait for each image")
        ->check(CLI::Range(uint64_t{1}, uint64_t{3600000}))
        ->capture_default_str();
}

}  // namespace quarvo::tool
