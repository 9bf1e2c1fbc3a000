// Draws into one TPixelBuffer: image blits (the work of every skinned control), filled rectangles,
// anti-aliased polygons, lines and polylines, and text from glyph atlases. Everything is cut to the
// buffer and to the current clip rectangle; pixels outside are never written.
//
// Coordinates are pixels of the target buffer. Integer operations (images, rectangles, text) address
// whole pixels; the vector operations take float points where pixel (i, j) is the square
// [i, i + 1) × [j, j + 1), so a 1-pixel line along a row of pixel centres runs at y = j + 0.5.
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

    explicit TPainter(TPixelBuffer& target);
    TPainter(const TPainter&) = delete;
    TPainter& operator=(const TPainter&) = delete;

    TPixelBuffer& Target() { return target_; }

    // Clipping --------------------------------------------------------------------------------------------

    // Narrows the clip to its intersection with `area` until the matching PopClip. Beyond kMaxClipDepth
    // levels the push narrows the top level instead (the pops still balance).
    void PushClip(const TRect& area);
    void PopClip();
    const TRect& Clip() const { return clips_[static_cast<std::size_t>(std::min(depth_, kMaxClipDepth - 1))]; }

    // Images ----------------------------------------------------------------------------------------------

    // Draws the part `from` of `image` with its top-left corner at (x, y). With a key, source pixels
    // whose colour (low 24 bits) equals the key are left out. `from` is cut to the image's bounds.
    void DrawImage(const TPixelBuffer& image, const TRect& from, int x, int y, std::uint8_t opacity = 255,
                   std::optional<TPixel> key = std::nullopt);
    // A multi-frame image is a strip of frameCount equal frames side by side; draws frame `frame`
    // (limited to 0 … frameCount - 1) at (x, y).
    void DrawFrame(const TPixelBuffer& strip, int frame, int frameCount, int x, int y, std::uint8_t opacity = 255,
                   std::optional<TPixel> key = std::nullopt);
    // The rectangle of frame `frame` in a strip of frameCount frames.
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

    // Draws `latin1` with the pen starting at x on the baseline; returns the pen position after it.
    int DrawText(const TGlyphAtlas& atlas, std::string_view latin1, int x, int baseline, TPixel colour,
                 std::uint8_t opacity = 255);

private:
    void AddLineQuad(TPointF from, TPointF to, float halfWidth, float extendStart, float extendEnd);
    TRect BoundsOf(std::span<const TPointF> points, float margin) const;

    TPixelBuffer& target_;
    TCoverageRasterizer rasterizer_;
    std::array<TRect, kMaxClipDepth> clips_{};
    int depth_ = 0; // levels pushed; the current clip is clips_[min(depth_, kMaxClipDepth - 1)]
};

} // namespace quillon
