#include "tools/GrabCommand.h"

#include <cstdio>
#include <iostream>

#include "consumer/Acquisition.h"
#include "consumer/AcquisitionStatistics.h"
#include "consumer/PixelFormat.h"
#include "tools/ImageWriter.h"
#include "tools/Progress.h"
#include "tools/Session.h"
#include "tools/Table.h"

namespace quarvo::tool {

namespace {

void PrintSummary(const AcquisitionStatistics& statistics) {
    Table table;
    const auto rate = statistics.FrameRate();
    const auto bandwidth = statistics.BytesPerSecond();
    table.Add({"Frames", std::to_string(statistics.Frames())});
    table.Add({"Frame rate", rate ? Fixed(*rate, 2) + " frames/s" : "-"});
    table.Add({"Bandwidth", bandwidth ? Fixed(*bandwidth / 1e6, 2) + " MB/s" : "-"});
    table.Add({"Incomplete", std::to_string(statistics.Incomplete())});
    table.Add({"Dropped", std::to_string(statistics.Dropped())});
    table.Print(std::cout, "  ");
}

}  // namespace

std::string ImageSummary(const DeliveredBuffer& buffer) {
    const PixelFormat* format = FindPixelFormat(buffer.pixelFormat);
    char code[32];
    std::snprintf(code, sizeof code, "0x%08llX", static_cast<unsigned long long>(buffer.pixelFormat));
    return std::to_string(buffer.width) + " x " + std::to_string(buffer.height) + " " +
           (format != nullptr ? format->name : code);
}

GrabCommand::GrabCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "grab", "Acquire frames and write each as <device ID>-<frame ID>.<ext>, then print a summary",
              global) {
    App().add_option("-n,--frames", m_frames, "Frames to acquire")
        ->check(CLI::Range(uint64_t{1}, uint64_t{1000000}))
        ->capture_default_str();
    App().add_option("-o,--out", m_out, "Folder for the files (created when missing)")->capture_default_str();
    App()
        .add_option("-f,--format", m_format, "png: 8-bit grey or RGB; pgm: PGM or PPM of the same; raw: the payload as delivered")
        ->check(CLI::IsMember({"png", "pgm", "raw"}))
        ->capture_default_str();
    App().add_flag("--trigger", m_trigger,
                   "Trigger each frame by software: TriggerMode=On, then TriggerSoftware before each frame");
    m_acquisition.AddTo(App());
}

void GrabCommand::Run() {
    const FileFormat format = ParseFileFormat(m_format);
    Session session(Global().cti);
    session.OpenDevice(m_acquisition.device);
    SettingsRollback changes(session.Port(Module::Remote));
    RestoringAfter(changes, session.Failures(), [&] { Grab(session, changes, format); });
    session.Failures().Conclude();
}

void GrabCommand::Grab(Session& session, SettingsRollback& changes, FileFormat format) {
    const std::string device = session.OpenedDevice().ID();
    GenApiPort& remote = changes.Port();
    m_acquisition.Apply(changes);
    if (m_trigger) {
        changes.Set("TriggerMode", "On");
    }
    const ImageWriter writer(format, m_out, device);
    Acquisition acquisition(session.OpenedDevice(), remote, m_acquisition.buffers, m_frames);
    Progress progress(std::cout, Progress::OutputIsTerminal(), m_frames);
    AcquisitionStatistics statistics;
    DeliveredBuffer last;
    for (uint64_t done = 0; done < m_frames; ++done) {
        if (m_trigger) {
            remote.Execute("TriggerSoftware");
        }
        const auto buffer = acquisition.Next(m_acquisition.timeoutMs);
        if (!buffer) {
            throw GenTLError("EventGetData", GC_ERR_TIMEOUT,
                             "no image within " + std::to_string(m_acquisition.timeoutMs) + " ms after " +
                                 std::to_string(done) + " of " + std::to_string(m_frames) + " frames");
        }
        statistics.Add(*buffer);
        const auto file = writer.Write(*buffer, done);
        last = *buffer;
        acquisition.Requeue(*buffer);
        progress.Frame(done + 1, "frame " + std::to_string(buffer->frameID.value_or(done)) + ": " +
                                     ImageSummary(*buffer) + (buffer->incomplete ? " (incomplete)" : "") + " -> " +
                                     file.string());
    }
    progress.Finish();
    acquisition.Stop();
    std::cout << "Grabbed " << statistics.Frames() << " frames of " << ImageSummary(last) << " from " << device
              << " into " << m_out << "\n";
    PrintSummary(statistics);
}

}  // namespace quarvo::tool
