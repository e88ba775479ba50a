// The viewer's window: a canvas of 32-bit pixels the size of the window, which the viewer draws
// images and boxes of text into and Present shows. Needs SDL's video (SdlVideo) to be up. Text
// is set in DejaVu Sans Mono; without that font the boxes are left out, with one warning.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <string>
#include <vector>

#include "consumer/ImageConverter.h"
#include "tools/ViewGeometry.h"

namespace quarvo::tool {

class ViewerWindow {
public:
    // A resizable window of that size, made smaller to fit the screen with its proportion kept.
    ViewerWindow(const std::string& title, int width, int height);
    ~ViewerWindow();
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    int Width() const { return m_canvas->w; }
    int Height() const { return m_canvas->h; }
    // Takes the window's size after it changed.
    void Resized();

    void Clear();
    // Draws the image scaled to its placement, clipped to area: each window pixel shows the image
    // pixel under its top-left corner (nearest neighbour), grey as equal red, green and blue.
    void DrawImage(const Image8& image, const Rect& placement, const Rect& area);
    // The size of a box that holds those lines.
    Rect TextBoxSize(const std::vector<std::string>& lines) const;
    // Draws the lines in white on a dark box with its top-left corner at x, y, clipped to area;
    // returns the box as drawn (empty without the font).
    Rect DrawTextBox(const std::vector<std::string>& lines, int x, int y, const Rect& area);
    void Present();
    // The window's pixels read back from the surface SDL shows, as 8-bit RGB.
    Image8 ReadBack() const;

private:
    void MakeCanvas();

    SDL_Window* m_window = nullptr;
    SDL_Surface* m_canvas = nullptr;
    TTF_Font* m_font = nullptr;
    std::vector<size_t> m_columns;  // DrawImage's image offset of each column drawn, kept between frames
};

}  // namespace quarvo::tool
