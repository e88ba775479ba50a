// quarvo grab: acquires N frames, writes each as a file and prints a summary. The camera settings
// it writes (--set, TriggerMode for --trigger) are put back when it ends.
#pragma once

#include <string>

#include "consumer/DeliveredBuffer.h"
#include "tools/AcquisitionOptions.h"
#include "tools/Command.h"
#include "tools/ImageWriter.h"
#include "tools/Session.h"

namespace quarvo::tool {

class GrabCommand : public Command {
public:
    GrabCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    void Grab(Session& session, SettingsRollback& changes, FileFormat format);

    AcquisitionOptions m_acquisition;
    uint64_t m_frames = 10;
    std::string m_out = ".";
    std::string m_format = "png";
    bool m_trigger = false;
};

// "640 x 480 Mono8" for a delivered image.
std::string ImageSummary(const DeliveredBuffer& buffer);

}  // namespace quarvo::tool
