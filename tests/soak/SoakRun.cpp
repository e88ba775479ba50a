// Soak run: the life of a long-running consumer compressed into minutes. Cycle after cycle it
// loads nothing new but initialises the library, opens a camera down to its stream, announces
// buffers (allocated by the producer or its own), acquires frames (some cycles with injected camera
// faults), stops and closes again, each cycle closing in another way. It samples its resident
// memory after every cycle, with the C heap trimmed first, and fails when the memory at the end
// has grown beyond a small allowance over the memory after the warm-up cycles.
//
// Usage: quarvo_soak [seconds] [allowed growth in KiB]   (defaults: 180, 1024)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "support/ProducerLib.h"
#include "support/SimulatorAccess.h"

using quarvo_test::ProducerLib;
using quarvo_test::SimulatedCamera;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUpCycles = 20;
constexpr int kBuffers = 6;
constexpr int kFramesPerCycle = 12;

struct Camera {
    uint32_t board;
    const char* name;
};
constexpr Camera kCameras[] = {{0, "Cam00"}, {0, "Cam01"}, {1, "Cam10"}, {1, "Cam11"}};

long ResidentKiB() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

[[noreturn]] void Fail(const ProducerLib& lib, const char* what, GC_ERROR code) {
    std::fprintf(stderr, "soak: %s failed with %d: %s\n", what, code, lib.Error().text.c_str());
    std::exit(2);
}

#define CHECK(lib, call)                   \
    do {                                   \
        const GC_ERROR code_ = (call);     \
        if (code_ != GC_ERR_SUCCESS) {     \
            Fail(lib, #call, code_);       \
        }                                  \
    } while (false)

struct Timing {
    double worst_stop_ms = 0;
    double worst_close_ms = 0;
};

double MillisecondsSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// One open, acquire, close cycle on one camera.
void Cycle(ProducerLib& lib, int cycle, Timing& timing) {
    const Camera& camera = kCameras[cycle % 4];
    CHECK(lib, lib.GCInitLib());
    TL_HANDLE system = nullptr;
    CHECK(lib, lib.TLOpen(&system));
    CHECK(lib, lib.TLUpdateInterfaceList(system, nullptr, 0));
    char id[256] = {};
    size_t size = sizeof id;
    CHECK(lib, lib.TLGetInterfaceID(system, camera.board, id, &size));
    IF_HANDLE iface = nullptr;
    CHECK(lib, lib.TLOpenInterface(system, id, &iface));
    CHECK(lib, lib.IFUpdateDeviceList(iface, nullptr, 0));
    DEV_HANDLE device = nullptr;
    CHECK(lib, lib.IFOpenDevice(iface, camera.name, DEVICE_ACCESS_CONTROL, &device));
    PORT_HANDLE remote = nullptr;
    CHECK(lib, lib.DevGetPort(device, &remote));
    uint32_t fastest = 0;  // no frame-rate limit: many cycles per minute
    size = sizeof fastest;
    CHECK(lib, lib.GCWritePort(remote, 0x118, &fastest, &size));
    uint32_t payload = 0;
    size = sizeof payload;
    CHECK(lib, lib.GCReadPort(remote, 0x114, &payload, &size));
    DS_HANDLE stream = nullptr;
    CHECK(lib, lib.DevOpenDataStream(device, "DS0", &stream));
    EVENT_HANDLE newBuffer = nullptr;
    EVENT_HANDLE errors = nullptr;
    CHECK(lib, lib.GCRegisterEvent(stream, EVENT_NEW_BUFFER, &newBuffer));
    CHECK(lib, lib.GCRegisterEvent(stream, EVENT_ERROR, &errors));

    // Every other cycle the consumer brings its own memory.
    std::vector<std::vector<uint8_t>> own;
    std::vector<BUFFER_HANDLE> buffers;
    for (int i = 0; i < kBuffers; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        if (cycle % 2 == 0) {
            own.emplace_back(payload);
            CHECK(lib, lib.DSAnnounceBuffer(stream, own.back().data(), payload, nullptr, &buffer));
        } else {
            CHECK(lib, lib.DSAllocAndAnnounceBuffer(stream, payload, nullptr, &buffer));
        }
        buffers.push_back(buffer);
    }
    CHECK(lib, lib.DSFlushQueue(stream, ACQ_QUEUE_UNQUEUED_TO_INPUT));

    // Every third cycle the camera misbehaves.
    std::unique_ptr<SimulatedCamera> faults;
    if (cycle % 3 == 2) {
        faults = std::make_unique<SimulatedCamera>(lib, "Board" + std::to_string(camera.board), camera.name);
        faults->Set(Quibbon::kParamFaultFailEvery, 4);
        faults->Set(Quibbon::kParamFaultDropEvery, 5);
        faults->Set(Quibbon::kParamFaultIncompleteEvery, 3);
    }
    CHECK(lib, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    for (int taken = 0; taken < kFramesPerCycle;) {
        EVENT_NEW_BUFFER_DATA data{};
        size = sizeof data;
        const GC_ERROR result = lib.EventGetData(newBuffer, &data, &size, 5000);
        if (result != GC_ERR_SUCCESS) {
            Fail(lib, "EventGetData", result);
        }
        CHECK(lib, lib.DSQueueBuffer(stream, data.BufferHandle));
        ++taken;
    }
    // Drain the error reports the faults caused.
    for (;;) {
        char report[512];
        size = sizeof report;
        if (lib.EventGetData(errors, report, &size, 0) != GC_ERR_SUCCESS) {
            break;
        }
    }

    // Stop or close while a grab waits: trigger mode without triggers.
    uint32_t on = 1;
    size = sizeof on;
    const bool waiting = cycle % 4 == 1;
    if (waiting) {
        CHECK(lib, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
        CHECK(lib, lib.GCWritePort(remote, 0x120, &on, &size));
        CHECK(lib, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE));
    }
    faults.reset();
    const auto begin = Clock::now();
    switch (cycle % 5) {
        case 0:
            CHECK(lib, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT));
            timing.worst_stop_ms = std::max(timing.worst_stop_ms, MillisecondsSince(begin));
            CHECK(lib, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
            for (BUFFER_HANDLE buffer : buffers) {
                CHECK(lib, lib.DSRevokeBuffer(stream, buffer, nullptr, nullptr));
            }
            CHECK(lib, lib.DSClose(stream));
            CHECK(lib, lib.DevClose(device));
            CHECK(lib, lib.IFClose(iface));
            CHECK(lib, lib.TLClose(system));
            break;
        case 1: CHECK(lib, lib.DSClose(stream)); break;
        case 2: CHECK(lib, lib.DevClose(device)); break;
        case 3: CHECK(lib, lib.IFClose(iface)); break;
        default: CHECK(lib, lib.TLClose(system)); break;
    }
    if (cycle % 5 != 0) {
        timing.worst_close_ms = std::max(timing.worst_close_ms, MillisecondsSince(begin));
    }
    CHECK(lib, lib.GCCloseLib());
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 180;
    const long allowance_kib = argc > 2 ? std::atol(argv[2]) : 1024;
    ProducerLib lib;
    Timing timing;
    int cycle = 0;
    for (; cycle < kWarmUpCycles; ++cycle) {
        Cycle(lib, cycle, timing);
    }
    const long start_kib = ResidentKiB();
    long peak_kib = start_kib;
    const auto begin = Clock::now();
    auto next_report = begin;
    std::printf("soak: %.0f s of open, acquire, close cycles; resident memory after %d warm-up cycles: %ld KiB\n",
                seconds, kWarmUpCycles, start_kib);
    while (std::chrono::duration<double>(Clock::now() - begin).count() < seconds) {
        Cycle(lib, cycle++, timing);
        const long now_kib = ResidentKiB();
        peak_kib = std::max(peak_kib, now_kib);
        if (Clock::now() >= next_report) {
            std::printf("soak: %6.0f s  cycle %6d  resident %ld KiB\n",
                        std::chrono::duration<double>(Clock::now() - begin).count(), cycle, now_kib);
            std::fflush(stdout);
            next_report += std::chrono::seconds(30);
        }
    }
    const long end_kib = ResidentKiB();
    std::printf("soak: %d cycles; resident memory start %ld KiB, end %ld KiB (%+ld KiB), peak %ld KiB\n", cycle,
                start_kib, end_kib, end_kib - start_kib, peak_kib);
    std::printf("soak: slowest stop %.2f ms, slowest close %.2f ms (some while a grab waited)\n", timing.worst_stop_ms,
                timing.worst_close_ms);
    if (end_kib - start_kib > allowance_kib) {
        std::printf("soak: FAILED: resident memory grew by more than %ld KiB\n", allowance_kib);
        return 1;
    }
    std::printf("soak: passed\n");
    return 0;
}
