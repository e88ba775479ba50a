// quarvo view: a window with the live image of one camera, or a grid of several, from any GenTL
// producer. Each camera acquires on a thread of its own that hands its newest frame over and
// gives the buffer back at once, so the display never slows the acquisition.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "consumer/Interface.h"
#include "tools/Command.h"
#include "tools/Session.h"
#include "tools/ViewedCamera.h"

namespace quarvo::tool {

class ViewCommand : public Command {
public:
    ViewCommand(CLI::App& parent, const GlobalOptions& global);
    void Run() override;

private:
    // The interfaces that hold the chosen devices, and each chosen device with its interface.
    struct Choice {
        std::vector<std::unique_ptr<Interface>> interfaces;
        std::vector<std::pair<const Interface*, std::string>> devices;
    };
    Choice ChooseDevices(Session& session) const;
    static std::pair<int, int> DefaultWindowSize(const std::vector<std::unique_ptr<ViewedCamera>>& cameras);

    std::vector<std::string> m_devices;
    bool m_all = false;
    std::string m_out = ".";
    size_t m_buffers = 4;
    std::string m_window;
};

}  // namespace quarvo::tool
