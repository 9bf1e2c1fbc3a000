// Draws into one TPixelBuffer: image blits (the work of every skinned control), filled rectangles,
// anti-aliased polygons, lines and polylines, and text from glyph atlases. Everything is cut to the
// buffer and to the current clip rectangle; pixels outside are never written.
//
// Display scale: the target holds `scale` × `scale` device pixels for every logical pixel (1 or 2). Every
// coordinate, rectangle, clip, line width and polygon point the painter takes is logical and multiplied by
// the scale inside, so controls lay themselves out the same way at every scale, while shapes are
// rasterised and text is set at device resolution. Images are drawn pixel for pixel, so they must have
// been made for the painter's scale (an image of w × h logical pixels holds w·scale × h·scale pixels);
// source rectangles name logical pixels of the image. Glyph atlases must be baked for the painter's scale.
//
// Integer operations (images, rectangles, text) address whole logical pixels; the vector operations take
// float points where pixel (i, j) is the square [i, i + 1) × [j, j + 1), so a 1-pixel line along a row of
// pixel centres runs at y = j + 0.5.
// Opacity is 0 (nothing) … 255 (replace); blended results are within ±1 per channel of the exact mix.
//
// The painter refers to its target, which must outlive it. Its scratch (rasteriser cells, edge list, clip
// stack) is sized at construction for the target's width; drawing allocates nothing. GUI thread only
// [gui]; one painter per buffer.
#pragma once

#include "toolkit/TCoverageRasterizer.h"
#include "toolkit/TGlyphAtlas.h"
#include "toolkit/TPixelBuffer.h"
#include "toolkit/TRect.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quillon {

class TPainter {
public:
    static constexpr int kMaxClipDepth = 16;

    explicit TPainter(TPixelBuffer& target, int scale = 1);
    TPainter(const TPainter&) = delete;
    TPainter& operator=(const TPainter&) = delete;

    TPixelBuffer& Target() { return target_; }
    int Scale() const { return scale_; }
    // The target's bounds in logical pixels.
    TRect Bounds() const { return ToLogical(target_.Bounds()); }
    // A logical rectangle in device pixels, and the smallest logical rectangle that covers a device one.
    TRect ToDevice(const TRect& logical) const;
    TRect ToLogical(const TRect& device) const;

    // Clipping --------------------------------------------------------------------------------------------

    // Narrows the clip to its intersection with `area` until the matching PopClip. Beyond kMaxClipDepth
    // levels the push narrows the top level instead (the pops still balance).
    void PushClip(const TRect& area);
    void PopClip();
    // The current clip in logical pixels.
    TRect Clip() const { return ToLogical(DeviceClip()); }

    // Images ----------------------------------------------------------------------------------------------

    // Draws the part `from` of `image` with its top-left corner at (x, y). With a key, source pixels
    // whose colour (low 24 bits) equals the key are left out. `from` is cut to the image's bounds.
    // `image` is at the painter's scale; `from` is in its logical pixels.
    void DrawImage(const TPixelBuffer& image, const TRect& from, int x, int y, std::uint8_t opacity = 255,
                   std::optional<TPixel> key = std::nullopt);
    // A multi-frame image is a strip of frameCount equal frames side by side; draws frame `frame`
    // (limited to 0 … frameCount - 1) at (x, y).
    void DrawFrame(const TPixelBuffer& strip, int frame, int frameCount, int x, int y, std::uint8_t opacity = 255,
                   std::optional<TPixel> key = std::nullopt);
    // The rectangle of frame `frame` in a strip of frameCount frames, in the strip's own pixels.
    static TRect FrameRect(const TPixelBuffer& strip, int frame, int frameCount);

    // Rectangles ------------------------------------------------------------------------------------------

    void FillRect(const TRect& area, TPixel colour, std::uint8_t opacity = 255);
    // The outline of `area`, `width` pixels wide, drawn inside it.
    void StrokeRect(const TRect& area, TPixel colour, int width = 1, std::uint8_t opacity = 255);

    // Vector shapes (anti-aliased) -------------------------------------------------------------------------

    // A closed polygon (the last point joins the first).
    void FillPolygon(std::span<const TPointF> points, TPixel colour, std::uint8_t opacity = 255,
                     TFillRule rule = TFillRule::NonZero);
    // A line `width` pixels wide with flat ends at the end points.
    void DrawLine(TPointF from, TPointF to, float width, TPixel colour, std::uint8_t opacity = 255);
    // Connected lines; the joins are filled (each inner end is extended by half the width), the two
    // outer ends are flat. Overlaps are drawn once, so a translucent polyline has no darker joins.
    void DrawPolyline(std::span<const TPointF> points, float width, TPixel colour, std::uint8_t opacity = 255);

    // Text ------------------------------------------------------------------------------------------------

    // Draws `latin1` with the pen starting at x on the baseline; returns the pen position after it
    // (x + atlas.TextWidth(latin1)).
    int DrawText(const TGlyphAtlas& atlas, std::string_view latin1, int x, int baseline, TPixel colour,
                 std::uint8_t opacity = 255);

private:
    const TRect& DeviceClip() const { return clips_[static_cast<std::size_t>(std::min(depth_, kMaxClipDepth - 1))]; }
    TPointF ToDevice(TPointF p) const { return TPointF{p.x * factor_, p.y * factor_}; }
    void AddLineQuad(TPointF from, TPointF to, float halfWidth, float extendStart, float extendEnd);
    // The device pixels that logical `points`, widened by a logical margin, can touch, cut to the clip.
    TRect BoundsOf(std::span<const TPointF> points, float margin) const;

    TPixelBuffer& target_;
    int scale_ = 1;
    float factor_ = 1.0f;
    TCoverageRasterizer rasterizer_;
    std::array<TRect, kMaxClipDepth> clips_{}; // device pixels
    int depth_ = 0; // levels pushed; the current clip is clips_[min(depth_, kMaxClipDepth - 1)]
};

} // namespace quillon
