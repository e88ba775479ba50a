// The running viewer: one tile per camera in its window, the newest frame of each drawn as it
// comes, an overlay of what each tile shows, and the keys a person uses (ViewerKeys).
#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "consumer/ImageConverter.h"
#include "tools/FailureLog.h"
#include "tools/RateMeter.h"
#include "tools/ViewedCamera.h"
#include "tools/ViewerScript.h"
#include "tools/ViewerWindow.h"

namespace quarvo::tool {

// The keys and what each does, a line each, for the help overlay and the command's help.
std::vector<std::string> ViewerKeys();

class Viewer {
public:
    // Saved frames go to the folder out.
    Viewer(ViewerWindow& window, const std::vector<std::unique_ptr<ViewedCamera>>& cameras,
           FailureLog& failures, std::string out, std::optional<ViewerScript> script);

    // Until q, Escape or the window is closed.
    void Run();

private:
    using Clock = std::chrono::steady_clock;

    struct Tile {
        ViewedCamera* camera = nullptr;
        ViewFrame frame;
        bool hasFrame = false;
        Image8 image;
        std::string problem;  // why the frame cannot be shown
        uint64_t shown = 0;
        RateMeter delivered;
        RateMeter drawn;
        std::vector<std::string> text;
        Rect area, placement, overlay;
    };

    bool Handle(const SDL_Event& event);
    bool Key(SDL_Keycode key);
    bool TakeFrames();
    void Show(Tile& tile);
    bool UpdateTexts(Clock::time_point now);
    std::vector<std::string> Overlay(const Tile& tile) const;
    void Draw();
    void Save();
    void Trigger();
    void Tell(const std::string& message);
    void RunScript();
    void Dump(const std::string& path);

    ViewerWindow& m_window;
    FailureLog& m_failures;
    std::string m_out;
    std::optional<ViewerScript> m_script;
    std::vector<Tile> m_tiles;
    bool m_paused = false;
    bool m_actualSize = false;
    bool m_help = false;
    bool m_redraw = true;
    std::string m_status;
    std::vector<Rect> m_boxes;  // the help and status boxes drawn over the tiles
    Clock::time_point m_statusUntil;
};

}  // namespace quarvo::tool
