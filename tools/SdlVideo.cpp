#include "tools/SdlVideo.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdlib>
#include <string>

#include "consumer/Errors.h"

namespace quarvo::tool {

namespace {

constexpr const char* kInstead = "; quarvo grab writes the frames to files instead";

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

// Unless SDL_VIDEODRIVER names a driver, only the display servers the environment names are
// tried: SDL would otherwise fall back to drawing off screen, with nobody to see it.
SdlVideo::SdlVideo() {
    if (!Set("SDL_VIDEODRIVER")) {
        const bool x11 = Set("DISPLAY"), wayland = Set("WAYLAND_DISPLAY");
        if (!x11 && !wayland) {
            throw UsageError(std::string("no display to show a window on (DISPLAY is not set)") + kInstead);
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, x11 && wayland ? "x11,wayland" : x11 ? "x11" : "wayland");
    }
    // The canvas goes to the window as it is (on X11 as a shared-memory image), not through an
    // OpenGL texture: the viewer scales on its own, so a texture gains nothing, and this works
    // alike on every display server, virtual ones included. SDL_FRAMEBUFFER_ACCELERATION set in
    // the environment still decides otherwise.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        throw UsageError(std::string("no display to show a window on (") + SDL_GetError() + ")" + kInstead);
    }
    if (TTF_Init() != 0) {
        const std::string reason = TTF_GetError();
        SDL_Quit();
        throw std::runtime_error("cannot start the font library: " + reason);
    }
    m_wakeEvent = SDL_RegisterEvents(1);
}

SdlVideo::~SdlVideo() {
    TTF_Quit();
    SDL_Quit();
}

void SdlVideo::Wake() const {
    SDL_Event event{};
    event.type = m_wakeEvent;
    SDL_PushEvent(&event);
}

}  // namespace quarvo::tool
