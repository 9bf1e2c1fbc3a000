// A drawing surface for one skin image: a cairo image surface of the image's size times the display scale,
// with the cairo context already scaled so that the art is drawn in the skin's own pixels (scale 1) and
// comes out sharp at every scale. Build-time only: the plug-in never links cairo.
#pragma once

#include "toolkit/TPixelBuffer.h"

#include <cairo.h>

#include <optional>
#include <string>

namespace quillon::skingen {

// A colour as cairo takes it, from 0xRRGGBB.
struct TColour {
    double r = 0, g = 0, b = 0, a = 1;
    static constexpr TColour Hex(std::uint32_t rgb, double alpha = 1.0) {
        return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
    }
    TColour WithAlpha(double alpha) const { return {r, g, b, alpha}; }
    // Mixed with white (amount > 0) or black (amount < 0), amount in -1 … 1.
    TColour Shade(double amount) const;
};

enum class TFace { Sans, SansBold, Narrow, NarrowBold };
enum class TAlign { Left, Centre, Right };

class TArtCanvas {
public:
    // width × height in skin pixels; the surface holds width·scale × height·scale device pixels, all
    // transparent.
    TArtCanvas(int width, int height, int scale);
    ~TArtCanvas();
    TArtCanvas(const TArtCanvas&) = delete;
    TArtCanvas& operator=(const TArtCanvas&) = delete;

    cairo_t* Cr() const { return cr_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Scale() const { return scale_; }

    void SetColour(const TColour& colour) const;
    // Paths (skin pixels). Rounded rectangle with corner radius r.
    void RoundedRect(double x, double y, double w, double h, double r) const;
    void FillRect(double x, double y, double w, double h, const TColour& colour) const;
    // A linear vertical gradient filling the current path, from `top` at y0 to `bottom` at y1.
    void FillVertical(double y0, double y1, const TColour& top, const TColour& bottom) const;
    // A one-pixel line at exact pixel centres (crisp at every scale): a horizontal or vertical line from
    // (x0, y0) to (x1, y1) in skin pixels, `width` skin pixels wide.
    void Line(double x0, double y0, double x1, double y1, const TColour& colour, double width = 1.0) const;
    // Text with its baseline at y; x is the left edge, centre or right edge after `align`. Size in skin
    // pixels (the em height).
    void Text(const std::string& utf8, double x, double y, TFace face, double size, const TColour& colour,
              TAlign align = TAlign::Left) const;
    // The advance width of the text in skin pixels.
    double TextWidth(const std::string& utf8, TFace face, double size) const;

    // The device pixels. Opaque images are composited over `matte`. Keyed images: a pixel less than half
    // covered becomes the key colour, any other is composited over `matte` (the colour the image will
    // mostly be drawn on), and a drawn pixel that happens to equal the key is moved off it by one step.
    TPixelBuffer ToPixels(std::optional<TPixel> key, TPixel matte) const;

private:
    void SelectFace(TFace face, double size) const;

    int width_, height_, scale_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

// Writes `pixels` as an RGB PNG file for review (the generator's --png and --preview output).
void WritePng(const std::string& path, const TPixelBuffer& pixels);

// The fonts the art and the baked atlases use, by path (set by the build).
const char* FontPath(TFace face);

} // namespace quillon::skingen
