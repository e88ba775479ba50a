#include "tools/ViewCommand.h"

#include <map>
#include <cstdio>

#include "consumer/FeatureAccess.h"
#include "tools/SdlVideo.h"
#include "tools/Viewer.h"
#include "tools/ViewerScript.h"
#include "tools/ViewGeometry.h"
#include "tools/ViewerWindow.h"

namespace quarvo::tool {

namespace {

std::string KeysHelp() {
    std::string text = "Keys in the window:\n";
    for (const std::string& line : ViewerKeys()) {
        text += line + "\n";
    }
    return text;
}

// "800x600" -> 800, 600; throws UsageError for other texts.
std::pair<int, int> ParseSize(const std::string& text) {
    int width = 0, height = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%5d%c%5d%c", &width, &x, &height, &rest) != 3 || x != 'x' || width <= 0 ||
        height <= 0) {
        throw UsageError("--window " + text + ": give WIDTHxHEIGHT, such as 800x600");
    }
    return {width, height};
}

}  // namespace

ViewCommand::ViewCommand(CLI::App& parent, const GlobalOptions& global)
    : Command(parent, "view", "Show the live image of a camera, or a grid of several, in a window", global) {
    auto* devices = App().add_option("-d,--device", m_devices,
                                     "Device IDs to show, one tile each (default: the first device of the first "
                                     "interface)");
    App().add_flag("--all", m_all, "Show every device of the producer")->excludes(devices);
    App().add_option("-o,--out", m_out, "Folder for the frames saved with s")->capture_default_str();
    App().add_option("-b,--buffers", m_buffers, "Buffers each camera keeps queued (raised to the least the stream needs)")
        ->check(CLI::Range(size_t{1}, size_t{1024}))
        ->capture_default_str();
    App().add_option("--window", m_window, "Window size WIDTHxHEIGHT (default: the images' size, as far as the screen allows)");
    App().footer(KeysHelp() + "Frames the display has no time for are counted as skipped; the cameras' own losses "
                              "are counted as dropped.\nWithout a display, quarvo grab writes frames to files.");
}

void ViewCommand::Run() {
    std::optional<ViewerScript> script = ViewerScript::FromEnvironment();
    const std::optional<std::pair<int, int>> size =
        m_window.empty() ? std::nullopt : std::optional<std::pair<int, int>>(ParseSize(m_window));
    const SdlVideo video;
    Session session(Global().cti);
    Choice choice = ChooseDevices(session);
    std::vector<std::unique_ptr<ViewedCamera>> cameras;
    std::vector<std::string> shown;
    for (const auto& [iface, id] : choice.devices) {
        cameras.push_back(std::make_unique<ViewedCamera>(*iface, id, m_buffers, [&video] { video.Wake(); }));
        shown.push_back(id);
    }
    {
        const auto [width, height] = size ? *size : DefaultWindowSize(cameras);
        ViewerWindow window("quarvo view: " + Join(shown), width, height);
        Viewer(window, cameras, session.Failures(), m_out, std::move(script)).Run();
    }
    // All threads are told first, so that they end together.
    for (const auto& camera : cameras) {
        camera->RequestStop();
    }
    for (const auto& camera : cameras) {
        if (!camera->Failure().empty()) {
            session.Failures().Add(camera->ID() + " stopped", camera->Failure());
        }
    }
    cameras.clear();
    session.Failures().Conclude();
}

ViewCommand::Choice ViewCommand::ChooseDevices(Session& session) const {
    Choice choice;
    std::vector<std::string> listed;
    std::map<std::string, const Interface*> where;
    for (const std::string& interfaceID : session.TransportLayer().InterfaceIDs()) {
        std::optional<Session::SearchedInterface> searched = session.SearchInterface(interfaceID);
        if (!searched) {
            continue;
        }
        for (const std::string& id : searched->devices) {
            listed.push_back(id);
            where.emplace(id, searched->iface.get());
        }
        choice.interfaces.push_back(std::move(searched->iface));
    }
    if (listed.empty()) {
        session.NoDevice("", listed);
    }
    const std::vector<std::string> wanted = m_all ? listed : m_devices.empty() ? std::vector{listed.front()} : m_devices;
    for (const std::string& id : wanted) {
        const auto found = where.find(id);
        if (found == where.end()) {
            session.NoDevice(id, listed);
        }
        choice.devices.emplace_back(found->second, id);
    }
    return choice;
}

// A grid of tiles the size of the first camera's image (640 x 480 when it does not tell).
std::pair<int, int> ViewCommand::DefaultWindowSize(const std::vector<std::unique_ptr<ViewedCamera>>& cameras) {
    const auto [width, height] = cameras.front()->ImageSize().value_or(std::make_pair(640, 480));
    const Grid grid = GridFor(cameras.size());
    return {width * static_cast<int>(grid.columns), height * static_cast<int>(grid.rows)};
}

}  // namespace quarvo::tool
