#include "tools/BenchCommand.h"

#include <chrono>
#include <iostream>

#include "consumer/Acquisition.h"
#include "consumer/AcquisitionStatistics.h"
#include "tools/GrabCommand.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

// Our producer's camera keeps its frame rate (frames per second, 0: as fast as possible) in this
// register of the remote port, outside its description.
constexpr const char* kQuarvoModel = "Quarvo";
constexpr const char* kQuarvoFrameRateRegister = "0x118";

std::string Microseconds(std::optional<double> nanoseconds) {
    return nanoseconds ? Fixed(*nanoseconds / 1e3, 1) + " us" : "-";
}

std::string FillToDelivery(const AcquisitionStatistics& statistics) {
    const auto offset = statistics.FirstStampOffset();
    if (!offset) {
        return "- (the producer gives no time stamps)";
    }
    if (!statistics.StampsFromHostClock()) {
        return "not reported: the producer stamps buffers with its own clock (the first stamp is " +
               Fixed(*offset / 1e9, 1) + " s off this host's real-time clock)";
    }
    return "median " + Microseconds(statistics.LatencyQuantile(0.5)) + ", p99 " +
           Microseconds(statistics.LatencyQuantile(0.99)) + ", max " + Microseconds(statistics.LatencyQuantile(1.0));
}

void PrintFigures(const AcquisitionStatistics& statistics) {
    Table table;
    const auto rate = statistics.FrameRate();
    const auto bandwidth = statistics.BytesPerSecond();
    table.Add({"Frames", std::to_string(statistics.Frames()) + " in " + Fixed(statistics.Span(), 2) + " s"});
    table.Add({"Throughput", rate ? Fixed(*rate, 1) + " frames/s" : "-"});
    table.Add({"Bandwidth", bandwidth ? Fixed(*bandwidth / 1e9, 3) + " GB/s" : "-"});
    table.Add({"Fill to delivery", FillToDelivery(statistics)});
    table.Add({"Incomplete", std::to_string(statistics.Incomplete())});
    table.Add({"Dropped", std::to_string(statistics.Dropped())});
    table.Print(std::cout, "  ");
}

bool IsQuarvo(const Session& session) {
    try {
        return session.TransportLayer().ProducerText(TL_INFO_MODEL) == kQuarvoModel;
    } catch (const GenTLError&) {
        return false;
    }
}

}  // namespace

BenchCommand::BenchCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "bench",
              "Measure the acquisition path with the camera unthrottled: frames/s, GB/s and the time from the end "
              "of each fill to its delivery",
              global) {
    App().add_option("-s,--seconds", m_seconds, "How long to acquire")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    m_acquisition.AddTo(App());
}

std::string BenchCommand::Unthrottle(const Session& session, SettingsRollback& changes) {
    ArvGcNode* enable = changes.Port().FindNode("AcquisitionFrameRateEnable");
    if (enable != nullptr && ARV_IS_GC_BOOLEAN(enable)) {
        changes.Set("AcquisitionFrameRateEnable", "false");
        return "AcquisitionFrameRateEnable = false";
    }
    if (IsQuarvo(session)) {
        changes.Set(kQuarvoFrameRateRegister, "0");
        return std::string("frame-rate register ") + kQuarvoFrameRateRegister + " = 0 (as fast as possible)";
    }
    return "no frame-rate control found; the camera keeps its own pace";
}

void BenchCommand::Run() {
    Session session(Global().cti);
    session.OpenDevice(m_acquisition.device);
    SettingsRollback changes(session.Port(Module::Remote));
    RestoringAfter(changes, session.Failures(), [&] { Measure(session, changes); });
    session.Failures().Conclude();
}

void BenchCommand::Measure(Session& session, SettingsRollback& changes) {
    const std::string unthrottled = Unthrottle(session, changes);
    m_acquisition.Apply(changes);
    Acquisition acquisition(session.OpenedDevice(), changes.Port(), m_acquisition.buffers, 0);
    AcquisitionStatistics statistics;
    DeliveredBuffer last;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(m_seconds);
    while (std::chrono::steady_clock::now() < end) {
        const auto buffer = acquisition.Next(m_acquisition.timeoutMs);
        if (!buffer) {
            throw GenTLError("EventGetData", GC_ERR_TIMEOUT,
                             "no image within " + std::to_string(m_acquisition.timeoutMs) + " ms");
        }
        acquisition.Requeue(*buffer);
        statistics.Add(*buffer);
        last = *buffer;
    }
    acquisition.Stop();
    std::cout << "Bench of " << session.OpenedDevice().ID() << ": " << ImageSummary(last) << ", "
              << acquisition.PayloadSize() << " bytes per frame, " << acquisition.BufferCount() << " buffers\n"
              << "  Camera pace: " << unthrottled << " (for this run)\n";
    PrintFigures(statistics);
}

}  // namespace quarvo::tool
