#include "tools/ViewerWindow.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace quarvo::tool {

namespace {

constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr int kFontPoints = 13;
constexpr int kTextMargin = 4;

std::runtime_error SdlFailure(const std::string& what) { return std::runtime_error(what + ": " + SDL_GetError()); }

// The largest size of that proportion within the screen's usable area.
void FitToScreen(int& width, int& height) {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
        return;
    }
    if (width > usable.w || height > usable.h) {
        const double scale = std::min(static_cast<double>(usable.w) / width, static_cast<double>(usable.h) / height);
        width = std::max(1, static_cast<int>(width * scale));
        height = std::max(1, static_cast<int>(height * scale));
    }
}

}  // namespace

ViewerWindow::ViewerWindow(const std::string& title, int width, int height) {
    FitToScreen(width, height);
    m_window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                SDL_WINDOW_RESIZABLE);
    if (m_window == nullptr) {
        throw SdlFailure("cannot open a window");
    }
    MakeCanvas();
    m_font = TTF_OpenFont(kFontFile, kFontPoints);
    if (m_font == nullptr) {
        std::cerr << "quarvo: no overlay text: " << TTF_GetError() << " (Debian package fonts-dejavu-core)\n";
    }
}

ViewerWindow::~ViewerWindow() {
    if (m_font != nullptr) {
        TTF_CloseFont(m_font);
    }
    SDL_FreeSurface(m_canvas);
    SDL_DestroyWindow(m_window);
}

void ViewerWindow::MakeCanvas() {
    int width = 0, height = 0;
    SDL_GetWindowSize(m_window, &width, &height);
    SDL_Surface* canvas = SDL_CreateRGBSurfaceWithFormat(0, std::max(width, 1), std::max(height, 1), 32,
                                                         SDL_PIXELFORMAT_RGB888);
    if (canvas == nullptr) {
        throw SdlFailure("cannot make the window's canvas");
    }
    SDL_FreeSurface(m_canvas);
    m_canvas = canvas;
}

void ViewerWindow::Resized() { MakeCanvas(); }

void ViewerWindow::Clear() { SDL_FillRect(m_canvas, nullptr, SDL_MapRGB(m_canvas->format, 0, 0, 0)); }

void ViewerWindow::DrawImage(const Image8& image, const Rect& placement, const Rect& area) {
    const Rect drawn = Clip(Clip(placement, area), {0, 0, m_canvas->w, m_canvas->h});
    if (drawn.w == 0 || drawn.h == 0 || image.width == 0 || image.height == 0) {
        return;
    }
    const SDL_PixelFormat& format = *m_canvas->format;
    const size_t channels = image.channels;
    std::vector<size_t>& columns = m_columns;
    columns.resize(static_cast<size_t>(drawn.w));
    for (int x = 0; x < drawn.w; ++x) {
        columns[x] = static_cast<size_t>(drawn.x + x - placement.x) * image.width / placement.w * channels;
    }
    for (int y = 0; y < drawn.h; ++y) {
        const size_t row = static_cast<size_t>(drawn.y + y - placement.y) * image.height / placement.h;
        const uint8_t* in = image.pixels.data() + row * image.width * channels;
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(m_canvas->pixels) +
                                                static_cast<size_t>(drawn.y + y) * m_canvas->pitch) + drawn.x;
        for (int x = 0; x < drawn.w; ++x) {
            const uint8_t* pixel = in + columns[x];
            const uint32_t r = pixel[0], g = pixel[channels == 1 ? 0 : 1], b = pixel[channels == 1 ? 0 : 2];
            out[x] = (r << format.Rshift) | (g << format.Gshift) | (b << format.Bshift);
        }
    }
}

Rect ViewerWindow::TextBoxSize(const std::vector<std::string>& lines) const {
    if (m_font == nullptr || lines.empty()) {
        return {};
    }
    int width = 0;
    for (const std::string& line : lines) {
        int lineWidth = 0, lineHeight = 0;
        TTF_SizeUTF8(m_font, line.c_str(), &lineWidth, &lineHeight);
        width = std::max(width, lineWidth);
    }
    return {0, 0, width + 2 * kTextMargin, static_cast<int>(lines.size()) * TTF_FontLineSkip(m_font) + 2 * kTextMargin};
}

Rect ViewerWindow::DrawTextBox(const std::vector<std::string>& lines, int x, int y, const Rect& area) {
    Rect box = TextBoxSize(lines);
    if (box.w == 0) {
        return box;
    }
    box.x = x;
    box.y = y;
    box = Clip(box, area);
    const SDL_Rect clip{box.x, box.y, box.w, box.h};
    SDL_SetClipRect(m_canvas, &clip);
    SDL_FillRect(m_canvas, &clip, SDL_MapRGB(m_canvas->format, 24, 24, 24));
    const SDL_Color white{255, 255, 255, 255}, dark{24, 24, 24, 255};
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        SDL_Surface* text = TTF_RenderUTF8_Shaded(m_font, lines[i].c_str(), white, dark);
        if (text != nullptr) {
            SDL_Rect at{x + kTextMargin, y + kTextMargin + static_cast<int>(i) * TTF_FontLineSkip(m_font), 0, 0};
            SDL_BlitSurface(text, nullptr, m_canvas, &at);
            SDL_FreeSurface(text);
        }
    }
    SDL_SetClipRect(m_canvas, nullptr);
    return box;
}

void ViewerWindow::Present() {
    SDL_Surface* shown = SDL_GetWindowSurface(m_window);
    if (shown == nullptr) {
        throw SdlFailure("cannot draw into the window");
    }
    SDL_BlitSurface(m_canvas, nullptr, shown, nullptr);
    SDL_UpdateWindowSurface(m_window);
}

Image8 ViewerWindow::ReadBack() const {
    SDL_Surface* shown = SDL_GetWindowSurface(m_window);
    SDL_Surface* rgb = shown != nullptr ? SDL_ConvertSurfaceFormat(shown, SDL_PIXELFORMAT_RGB24, 0) : nullptr;
    if (rgb == nullptr) {
        throw SdlFailure("cannot read the window back");
    }
    Image8 image;
    image.width = static_cast<size_t>(rgb->w);
    image.height = static_cast<size_t>(rgb->h);
    image.channels = 3;
    image.pixels.resize(image.width * image.height * 3);
    for (size_t y = 0; y < image.height; ++y) {
        std::memcpy(&image.pixels[y * image.width * 3], static_cast<uint8_t*>(rgb->pixels) + y * rgb->pitch,
                    image.width * 3);
    }
    SDL_FreeSurface(rgb);
    return image;
}

}  // namespace quarvo::tool
