// quarvo bench: throughput and latency of the acquisition path. The camera runs as fast as it
// can where the producer offers a way to lift its frame-rate limit; the loop takes each buffer
// with EventGetData and queues it again at once, so all buffers but the one in hand stay queued.
// Reports frames/s, GB/s and, where the buffers are stamped by the host's real-time clock, the
// time from the end of each fill (the buffer's time stamp) to the return of EventGetData. Every
// camera setting it changes is put back when it ends.
#pragma once

#include <string>

#include "consumer/SettingsRollback.h"
#include "tools/AcquisitionOptions.h"
#include "tools/Command.h"
#include "tools/Session.h"

namespace quarvo::tool {

class BenchCommand : public Command {
public:
    BenchCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    void Measure(Session& session, SettingsRollback& changes);
    // Lifts the camera's frame-rate limit where possible; says what it did.
    static std::string Unthrottle(const Session& session, SettingsRollback& changes);

    AcquisitionOptions m_acquisition;
    double m_seconds = 3.0;
};

}  // namespace quarvo::tool
