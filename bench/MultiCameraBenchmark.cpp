// Many paced cameras at once, as a simulated production line runs them. The program writes a rig
// file of N cameras (16 a board) and names it in QUARVO_RIG, opens every camera through the
// producer's exported functions with a few buffers each, and gives each camera a consumer thread
// of its own that waits for its buffers (EventGetData) and queues them again. After a warm-up it
// measures, over a window of the given length: the share of the frames due that were delivered,
// the CPU time of the whole process (getrusage: the consumer threads, the acquisition threads and
// the frame grabber together), each camera's frame rate and pacing error (from the buffers' time
// stamps), and the time opening, starting, stopping and closing all cameras take. It prints one
// row of a Markdown table.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/ProcessUsage.h"
#include "bench/QuarvoCamera.h"
#include "consumer/Errors.h"

namespace quarvo_bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kCamerasPerBoard = 16;
constexpr double kWarmUpSeconds = 1.0;
constexpr uint64_t kPollMs = 100;  // how often a consumer thread looks whether the run is over

struct Options {
    uint32_t cameras = 16;
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t frameRate = 60;
    double seconds = 5.0;
    size_t buffers = 5;
};

enum class Phase { WarmUp, Measuring, Done };

// What one consumer thread saw in the measuring window.
struct CameraRun {
    std::unique_ptr<QuarvoStream> stream;
    uint64_t frames = 0;
    uint64_t firstStamp = 0;  // ns, of the first and the last buffer in the window
    uint64_t lastStamp = 0;
    std::string failure;
};

std::string RigText(const Options& options) {
    std::string text;
    for (uint32_t camera = 0; camera < options.cameras; ++camera) {
        if (camera % kCamerasPerBoard == 0) {
            text += "[[board]]\n";
        }
        text += "[[board.camera]]\nwidth = " + std::to_string(options.width) + "\nheight = " +
                std::to_string(options.height) + "\npixel_format = \"Mono8\"\nframe_rate = " +
                std::to_string(options.frameRate) + "\n";
    }
    return text;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Consume(CameraRun& run, const std::atomic<Phase>& phase) {
    try {
        while (phase.load() != Phase::Done) {
            BUFFER_HANDLE buffer = nullptr;
            try {
                buffer = run.stream->Next(kPollMs);
            } catch (const quarvo::GenTLError& error) {
                if (error.Code() == GC_ERR_TIMEOUT) {
                    continue;  // no frame within the poll time: look at the phase again
                }
                throw;
            }
            if (phase.load() == Phase::Measuring) {
                const uint64_t stamp = run.stream->Timestamp(buffer);
                run.firstStamp = run.frames == 0 ? stamp : run.firstStamp;
                run.lastStamp = stamp;
                ++run.frames;
            }
            run.stream->Queue(buffer);
        }
    } catch (const std::exception& error) {
        run.failure = error.what();
    }
}

struct Figures {
    double openSeconds, startSeconds, stopSeconds, closeSeconds;
    double windowSeconds, cpuSeconds;
    uint64_t frames;
    double minRate, maxRate, worstPacingError;
};

// The worst relative difference of a camera's mean frame interval from the nominal one.
double WorstPacingError(const std::vector<CameraRun>& runs, uint32_t frameRate) {
    const double nominal = 1e9 / frameRate;
    double worst = 0;
    for (const CameraRun& run : runs) {
        if (run.frames > 1) {
            const double mean = static_cast<double>(run.lastStamp - run.firstStamp) / static_cast<double>(run.frames - 1);
            worst = std::max(worst, std::abs(mean - nominal) / nominal);
        }
    }
    return worst;
}

Figures Run(const Options& options) {
    Producer& producer = TheProducer();
    Figures figures{};
    Clock::time_point start = Clock::now();
    TL_HANDLE system = TheSystem();
    uint32_t boards = 0;
    QUARVO_CHECK(producer, TLGetNumInterfaces(system, &boards));
    std::vector<IF_HANDLE> interfaces(boards, nullptr);
    std::vector<CameraRun> runs(options.cameras);
    StreamSettings settings;
    settings.width = options.width;
    settings.height = options.height;
    settings.frameRate = options.frameRate;
    settings.buffers = options.buffers;
    for (uint32_t board = 0; board < boards; ++board) {
        char id[256] = {};
        size_t size = sizeof id;
        QUARVO_CHECK(producer, TLGetInterfaceID(system, board, id, &size));
        QUARVO_CHECK(producer, TLOpenInterface(system, id, &interfaces[board]));
        bool8_t changed = 0;
        QUARVO_CHECK(producer, IFUpdateDeviceList(interfaces[board], &changed, 1000));
    }
    for (uint32_t camera = 0; camera < options.cameras; ++camera) {
        runs[camera].stream =
            std::make_unique<QuarvoStream>(interfaces[camera / kCamerasPerBoard], camera % kCamerasPerBoard, settings);
    }
    figures.openSeconds = SecondsSince(start);

    std::atomic<Phase> phase{Phase::WarmUp};
    std::vector<std::thread> consumers;
    for (CameraRun& run : runs) {
        consumers.emplace_back(Consume, std::ref(run), std::cref(phase));
    }
    start = Clock::now();
    for (CameraRun& run : runs) {
        run.stream->Start();
    }
    figures.startSeconds = SecondsSince(start);

    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));
    const double cpuBefore = CurrentProcessUsage().cpuSeconds;
    start = Clock::now();
    phase = Phase::Measuring;
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    phase = Phase::Done;
    figures.windowSeconds = SecondsSince(start);
    figures.cpuSeconds = CurrentProcessUsage().cpuSeconds - cpuBefore;
    for (std::thread& consumer : consumers) {
        consumer.join();
    }

    start = Clock::now();
    for (CameraRun& run : runs) {
        run.stream->Stop();
    }
    figures.stopSeconds = SecondsSince(start);

    figures.minRate = 1e9;
    for (const CameraRun& run : runs) {
        if (!run.failure.empty()) {
            throw std::runtime_error("a consumer thread failed: " + run.failure);
        }
        figures.frames += run.frames;
        const double rate = static_cast<double>(run.frames) / figures.windowSeconds;
        figures.minRate = std::min(figures.minRate, rate);
        figures.maxRate = std::max(figures.maxRate, rate);
    }
    figures.worstPacingError = WorstPacingError(runs, options.frameRate);

    start = Clock::now();
    runs.clear();
    for (IF_HANDLE iface : interfaces) {
        QUARVO_CHECK(producer, IFClose(iface));
    }
    figures.closeSeconds = SecondsSince(start);
    return figures;
}

void Print(const Options& options, const Figures& figures) {
    const double due = static_cast<double>(options.cameras) * options.frameRate * figures.windowSeconds;
    const double cameraSeconds = options.cameras * figures.windowSeconds;
    std::printf("| cameras | size | fps | delivered | CPU, whole process | CPU per camera-second | CPU per frame | "
                "camera rates | worst pacing error | open | start all | stop all | close |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::printf("| %u | %ux%u | %u | %.1f %% | %.2f cores | %.1f ms | %.1f us | %.1f to %.1f fps | %.3f %% | %.3f s | "
                "%.3f s | %.3f s | %.3f s |\n",
                options.cameras, options.width, options.height, options.frameRate,
                100.0 * static_cast<double>(figures.frames) / due, figures.cpuSeconds / figures.windowSeconds,
                1e3 * figures.cpuSeconds / cameraSeconds, 1e6 * figures.cpuSeconds / static_cast<double>(figures.frames),
                figures.minRate, figures.maxRate, 100.0 * figures.worstPacingError, figures.openSeconds,
                figures.startSeconds, figures.stopSeconds, figures.closeSeconds);
}

}  // namespace
}  // namespace quarvo_bench

int main(int argc, char** argv) {
    quarvo_bench::Options options;
    CLI::App app{"Frames, CPU time and pacing of many paced cameras of the producer at once"};
    app.add_option("--cameras", options.cameras, "cameras in the rig (16 a board)")->check(CLI::Range(1u, 256u));
    app.add_option("--width", options.width, "frame width")->check(CLI::Range(8u, 4096u));
    app.add_option("--height", options.height, "frame height")->check(CLI::Range(8u, 4096u));
    app.add_option("--fps", options.frameRate, "frames per second of every camera")->check(CLI::Range(1u, 1000u));
    app.add_option("--seconds", options.seconds, "length of the measuring window")->check(CLI::Range(0.5, 600.0));
    app.add_option("--buffers", options.buffers, "buffers of every camera")->check(CLI::Range(1u, 64u));
    CLI11_PARSE(app, argc, argv);

    const std::filesystem::path rig = std::filesystem::temp_directory_path() /
                                      ("quarvo-multi-camera-" + std::to_string(::getpid()) + ".toml");
    std::ofstream(rig) << quarvo_bench::RigText(options);
    setenv("QUARVO_RIG", rig.c_str(), 1);
    try {
        quarvo_bench::Print(options, quarvo_bench::Run(options));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "multi_camera_benchmark: %s\n", error.what());
        std::filesystem::remove(rig);
        return 1;
    }
    std::filesystem::remove(rig);
    return 0;
}
