#include "tools/Viewer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <utility>

#include "tools/GrabCommand.h"
#include "tools/ImageWriter.h"

namespace quarvo::tool {

namespace {

// How often the loop wakes without a new frame, to renew the rates and run the script.
constexpr int kIdleWakeMs = 100;
constexpr auto kStatusTime = std::chrono::seconds(3);
constexpr int kOverlayInset = 4;

std::string Rate(const RateMeter& meter) {
    const auto rate = meter.Rate();
    if (!rate) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *rate);
    return text;
}

std::string Numbers(const Rect& rect) {
    return std::to_string(rect.x) + " " + std::to_string(rect.y) + " " + std::to_string(rect.w) + " " +
           std::to_string(rect.h);
}

SDL_Keycode KeyCode(const std::string& name) {
    if (name == "space") return SDLK_SPACE;
    if (name == "escape") return SDLK_ESCAPE;
    return static_cast<SDL_Keycode>(name[0]);
}

}  // namespace

std::vector<std::string> ViewerKeys() {
    static const std::pair<const char*, const char*> kKeys[] = {
        {"space", "pause or resume the display (the cameras keep acquiring)"},
        {"s", "save the frames shown as PNG: <device ID>-<frame ID>.png, as grab names them"},
        {"t", "fire TriggerSoftware on every camera shown"},
        {"f", "toggle between fitting the window and one pixel per image pixel (1:1)"},
        {"h", "show or hide this list of keys"},
        {"q, Escape", "quit"},
    };
    std::vector<std::string> lines;
    for (const auto& [key, action] : kKeys) {
        std::string line = std::string("  ") + key;
        line.resize(13, ' ');
        lines.push_back(line + action);
    }
    return lines;
}

Viewer::Viewer(ViewerWindow& window, const std::vector<std::unique_ptr<ViewedCamera>>& cameras,
               FailureLog& failures, std::string out, std::optional<ViewerScript> script)
    : m_window(window), m_failures(failures), m_out(std::move(out)), m_script(std::move(script)),
      m_tiles(cameras.size()) {
    for (size_t i = 0; i < cameras.size(); ++i) {
        m_tiles[i].camera = cameras[i].get();
    }
}

void Viewer::Run() {
    bool running = true;
    while (running) {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, kIdleWakeMs) != 0) {
            do {
                running = Handle(event);
            } while (running && SDL_PollEvent(&event) != 0);
        }
        const bool newFrames = TakeFrames();
        const bool newTexts = UpdateTexts(Clock::now());
        if (newFrames || newTexts || m_redraw) {
            Draw();
        }
        RunScript();
    }
}

// Whether the viewer goes on.
bool Viewer::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            return false;
        case SDL_KEYDOWN:
            return event.key.repeat != 0 || Key(event.key.keysym.sym);
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                m_window.Resized();
            }
            m_redraw = true;
            return true;
        default:
            return true;
    }
}

bool Viewer::Key(SDL_Keycode key) {
    switch (key) {
        case SDLK_q:
        case SDLK_ESCAPE:
            return false;
        case SDLK_SPACE:
            m_paused = !m_paused;
            break;
        case SDLK_s:
            Save();
            break;
        case SDLK_t:
            Trigger();
            break;
        case SDLK_f:
            m_actualSize = !m_actualSize;
            break;
        case SDLK_h:
            m_help = !m_help;
            break;
        default:
            return true;
    }
    m_redraw = true;
    return true;
}

// Takes the newest frame of every camera, unless paused; whether any came.
bool Viewer::TakeFrames() {
    if (m_paused) {
        return false;
    }
    bool any = false;
    for (Tile& tile : m_tiles) {
        if (tile.camera->TakeNewest(tile.frame)) {
            Show(tile);
            any = true;
        }
    }
    return any;
}

void Viewer::Show(Tile& tile) {
    tile.hasFrame = true;
    ++tile.shown;
    try {
        tile.image = ImageConverter::Convert(tile.frame.Raw());
        tile.problem.clear();
    } catch (const std::exception& error) {
        tile.image = Image8{};
        tile.problem = error.what();
    }
}

// Renews the rates and the overlay texts; whether any text changed.
bool Viewer::UpdateTexts(Clock::time_point now) {
    bool changed = false;
    for (Tile& tile : m_tiles) {
        tile.delivered.Sample(tile.camera->Current().delivered, now);
        tile.drawn.Sample(tile.shown, now);
        std::vector<std::string> text = Overlay(tile);
        if (text != tile.text) {
            tile.text = std::move(text);
            changed = true;
        }
    }
    if (!m_status.empty() && now >= m_statusUntil) {
        m_status.clear();
        changed = true;
    }
    return changed;
}

std::vector<std::string> Viewer::Overlay(const Tile& tile) const {
    const ViewedCamera::Counts counts = tile.camera->Current();
    const std::string& id = tile.camera->ID();
    std::vector<std::string> lines;
    if (tile.hasFrame) {
        lines.push_back(id + "  " + ImageSummary(tile.frame.AsBuffer()));
        lines.push_back("frame " + (tile.frame.frameID ? std::to_string(*tile.frame.frameID) : std::string("-")) +
                        "  " + Rate(tile.delivered) + " fps, shown " + Rate(tile.drawn));
    } else {
        lines.push_back(id + "  waiting for frames");
        lines.push_back(Rate(tile.delivered) + " fps");
    }
    lines.push_back("incomplete " + std::to_string(counts.incomplete) + "  dropped " + std::to_string(counts.dropped) +
                    "  skipped " + std::to_string(counts.skipped));
    if (m_paused || m_actualSize) {
        lines.push_back(std::string(m_paused ? "paused" : "") + (m_paused && m_actualSize ? ", " : "") +
                        (m_actualSize ? "1:1" : ""));
    }
    if (!tile.problem.empty()) {
        lines.push_back("cannot show: " + tile.problem);
    }
    const std::string failure = tile.camera->Failure();
    if (!failure.empty()) {
        lines.push_back("stopped: " + failure);
    }
    return lines;
}

void Viewer::Draw() {
    m_redraw = false;
    m_boxes.clear();
    m_window.Clear();
    const Rect window{0, 0, m_window.Width(), m_window.Height()};
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        Tile& tile = m_tiles[i];
        tile.area = TileArea(i, m_tiles.size(), window.w, window.h);
        tile.placement = tile.image.width == 0 ? Rect{}
                                               : ImagePlacement(tile.image.width, tile.image.height, tile.area,
                                                                m_actualSize);
        m_window.DrawImage(tile.image, tile.placement, tile.area);
        tile.overlay = m_window.DrawTextBox(tile.text, tile.area.x + kOverlayInset, tile.area.y + kOverlayInset,
                                            tile.area);
    }
    if (m_help) {
        std::vector<std::string> lines = ViewerKeys();
        lines.insert(lines.begin(), "Keys");
        const Rect size = m_window.TextBoxSize(lines);
        m_boxes.push_back(m_window.DrawTextBox(lines, (window.w - size.w) / 2, (window.h - size.h) / 2, window));
    }
    if (!m_status.empty()) {
        const Rect size = m_window.TextBoxSize({m_status});
        m_boxes.push_back(m_window.DrawTextBox({m_status}, kOverlayInset, window.h - size.h - kOverlayInset, window));
    }
    m_window.Present();
}

void Viewer::Save() {
    std::string saved;
    for (const Tile& tile : m_tiles) {
        if (!tile.hasFrame) {
            continue;
        }
        try {
            const ImageWriter writer(FileFormat::Png, m_out, tile.camera->ID());
            const auto file = writer.Write(tile.frame.AsBuffer(), tile.shown - 1);
            std::cout << "Saved " << file.string() << std::endl;
            saved += (saved.empty() ? "saved " : ", ") + file.filename().string();
        } catch (const std::exception& error) {
            m_failures.Add("cannot save the frame of " + tile.camera->ID(), error.what());
            saved += (saved.empty() ? "" : ", ") + std::string("saving failed: ") + error.what();
        }
    }
    Tell(saved.empty() ? "no frame to save yet" : saved);
}

void Viewer::Trigger() {
    std::string told;
    for (const Tile& tile : m_tiles) {
        std::string outcome;
        try {
            outcome = tile.camera->Trigger() ? "triggered" : "has no TriggerSoftware";
        } catch (const std::exception& error) {
            m_failures.Add("TriggerSoftware on " + tile.camera->ID(), error.what());
            outcome = "trigger failed";
        }
        told += (told.empty() ? "" : ", ") + tile.camera->ID() + " " + outcome;
    }
    Tell(told);
}

void Viewer::Tell(const std::string& message) {
    m_status = message;
    m_statusUntil = Clock::now() + kStatusTime;
}

void Viewer::RunScript() {
    if (!m_script) {
        return;
    }
    uint64_t least = std::numeric_limits<uint64_t>::max();
    for (const Tile& tile : m_tiles) {
        least = std::min(least, tile.camera->Current().delivered);
    }
    const auto action = m_script->Next(least, Clock::now());
    if (!action) {
        return;
    }
    if (action->kind == ViewerScript::Kind::Dump) {
        Dump(action->argument);
        return;
    }
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = KeyCode(action->argument);
    SDL_PushEvent(&event);
}

// The window as shown; per tile its frame, where its parts lie and its overlay text; the boxes
// drawn over the tiles and the status line.
void Viewer::Dump(const std::string& path) {
    ImageWriter::WritePng(m_window.ReadBack(), path + ".png");
    std::ofstream text(path + ".txt");
    text << "window " << m_window.Width() << " " << m_window.Height() << "\n";
    for (const Tile& tile : m_tiles) {
        const std::string id = tile.camera->ID();
        text << "tile " << id << " frame "
             << (tile.hasFrame && tile.frame.frameID ? std::to_string(*tile.frame.frameID) : std::string("-"))
             << " area " << Numbers(tile.area) << " image " << Numbers(tile.placement) << " overlay "
             << Numbers(tile.overlay) << "\n";
        for (const std::string& line : tile.text) {
            text << "text " << id << " " << line << "\n";
        }
    }
    for (const Rect& box : m_boxes) {
        text << "box " << Numbers(box) << "\n";
    }
    if (!m_status.empty()) {
        text << "status " << m_status << "\n";
    }
    if (!text) {
        throw std::runtime_error("cannot write " + path + ".txt");
    }
}

}  // namespace quarvo::tool
