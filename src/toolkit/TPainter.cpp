#include "toolkit/TPainter.h"

#include "toolkit/Blend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon {

TPainter::TPainter(TPixelBuffer& target, int scale)
    : target_(target), scale_(std::max(scale, 1)), factor_(static_cast<float>(scale_)), rasterizer_(target.Width()) {
    clips_.fill(target.Bounds());
}

TRect TPainter::ToDevice(const TRect& logical) const {
    if (scale_ == 1) return logical;
    return TRect{logical.left * scale_, logical.top * scale_, logical.right * scale_, logical.bottom * scale_};
}

TRect TPainter::ToLogical(const TRect& device) const {
    if (scale_ == 1 || device.Empty()) return device;
    const auto down = [this](int v) { return v >= 0 ? v / scale_ : -((-v + scale_ - 1) / scale_); };
    const auto up = [this](int v) { return v >= 0 ? (v + scale_ - 1) / scale_ : -(-v / scale_); };
    return TRect{down(device.left), down(device.top), up(device.right), up(device.bottom)};
}

void TPainter::PushClip(const TRect& area) {
    const TRect narrowed = DeviceClip().Intersection(ToDevice(area));
    ++depth_;
    clips_[static_cast<std::size_t>(std::min(depth_, kMaxClipDepth - 1))] = narrowed;
}

void TPainter::PopClip() {
    if (depth_ > 0) --depth_;
}

// Images -------------------------------------------------------------------------------------------------

void TPainter::DrawImage(const TPixelBuffer& image, const TRect& logicalFrom, int logicalX, int logicalY,
                         std::uint8_t opacity, std::optional<TPixel> key) {
    if (opacity == 0) return;
    const TRect from = ToDevice(logicalFrom);
    const int x = logicalX * scale_;
    const int y = logicalY * scale_;
    const TRect source = from.Intersection(image.Bounds());
    // Where the source lands, moved by the parts cut off `from`, then cut to the clip.
    const TRect landing = source.Translated(x - from.left, y - from.top).Intersection(DeviceClip());
    if (landing.Empty()) return;
    const int sourceX = landing.left - x + from.left;
    const int sourceY = landing.top - y + from.top;
    const int width = landing.Width();
    const unsigned weight = OpacityToWeight(opacity);
    const TPixel keyColour = key ? (*key & kRgbMask) : 0;
    for (int row = 0; row < landing.Height(); ++row) {
        const TPixel* src = image.Row(sourceY + row) + sourceX;
        TPixel* dst = target_.Row(landing.top + row) + landing.left;
        if (!key) {
            if (weight == 256) {
                std::memcpy(dst, src, static_cast<std::size_t>(width) * sizeof(TPixel));
            } else {
                for (int i = 0; i < width; ++i)
                    dst[i] = BlendPixel(dst[i], src[i], weight);
            }
        } else if (weight == 256) {
            for (int i = 0; i < width; ++i) {
                if ((src[i] & kRgbMask) != keyColour) dst[i] = src[i];
            }
        } else {
            for (int i = 0; i < width; ++i) {
                if ((src[i] & kRgbMask) != keyColour) dst[i] = BlendPixel(dst[i], src[i], weight);
            }
        }
    }
}

TRect TPainter::FrameRect(const TPixelBuffer& strip, int frame, int frameCount) {
    if (frameCount <= 0) return TRect{};
    const int frameWidth = strip.Width() / frameCount;
    const int k = std::clamp(frame, 0, frameCount - 1);
    return TRect::FromSize(k * frameWidth, 0, frameWidth, strip.Height());
}

void TPainter::DrawFrame(const TPixelBuffer& strip, int frame, int frameCount, int x, int y, std::uint8_t opacity,
                         std::optional<TPixel> key) {
    DrawImage(strip, ToLogical(FrameRect(strip, frame, frameCount)), x, y, opacity, key);
}

// Rectangles ---------------------------------------------------------------------------------------------

void TPainter::FillRect(const TRect& area, TPixel colour, std::uint8_t opacity) {
    if (opacity == 0) return;
    const TRect part = ToDevice(area).Intersection(DeviceClip());
    if (part.Empty()) return;
    const unsigned weight = OpacityToWeight(opacity);
    if (weight == 256) {
        target_.Fill(part, colour & kRgbMask);
        return;
    }
    for (int y = part.top; y < part.bottom; ++y) {
        TPixel* row = target_.Row(y);
        for (int x = part.left; x < part.right; ++x)
            row[x] = BlendPixel(row[x], colour, weight);
    }
}

void TPainter::StrokeRect(const TRect& area, TPixel colour, int width, std::uint8_t opacity) {
    if (area.Empty() || width <= 0) return;
    const int w = std::min({width, (area.Width() + 1) / 2, (area.Height() + 1) / 2});
    // Top and bottom bands over the full width, the sides between them, so no pixel is drawn twice.
    FillRect(TRect{area.left, area.top, area.right, area.top + w}, colour, opacity);
    FillRect(TRect{area.left, std::max(area.bottom - w, area.top + w), area.right, area.bottom}, colour, opacity);
    FillRect(TRect{area.left, area.top + w, area.left + w, area.bottom - w}, colour, opacity);
    FillRect(TRect{std::max(area.right - w, area.left + w), area.top + w, area.right, area.bottom - w}, colour,
             opacity);
}

// Vector shapes ------------------------------------------------------------------------------------------

TRect TPainter::BoundsOf(std::span<const TPointF> points, float margin) const {
    margin *= factor_;
    float minX = points[0].x;
    float maxX = points[0].x;
    float minY = points[0].y;
    float maxY = points[0].y;
    for (const TPointF& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    minX *= factor_;
    maxX *= factor_;
    minY *= factor_;
    maxY *= factor_;
    // Limit to the clip before converting, so that far-away points cannot overflow an int.
    const TRect& clip = DeviceClip();
    const auto limit = [](float v, int lo, int hi) {
        return std::clamp(v, static_cast<float>(lo), static_cast<float>(hi));
    };
    const TRect box{static_cast<int>(std::floor(limit(minX - margin, clip.left, clip.right))),
                    static_cast<int>(std::floor(limit(minY - margin, clip.top, clip.bottom))),
                    static_cast<int>(std::ceil(limit(maxX + margin, clip.left, clip.right))),
                    static_cast<int>(std::ceil(limit(maxY + margin, clip.top, clip.bottom)))};
    return box.Intersection(clip);
}

void TPainter::FillPolygon(std::span<const TPointF> points, TPixel colour, std::uint8_t opacity, TFillRule rule) {
    if (points.size() < 3 || opacity == 0) return;
    const TRect region = BoundsOf(points, 0.0f);
    if (region.Empty()) return;
    rasterizer_.Begin(region);
    for (std::size_t i = 0; i < points.size(); ++i)
        rasterizer_.AddEdge(ToDevice(points[i]), ToDevice(points[i + 1 < points.size() ? i + 1 : 0]));
    rasterizer_.Fill(target_, colour, opacity, rule);
}

// A rectangle around the segment, wound the same way for every direction so that overlapping quads of
// one polyline add up under the non-zero rule instead of cancelling.
void TPainter::AddLineQuad(TPointF from, TPointF to, float halfWidth, float extendStart, float extendEnd) {
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length <= 0.0f) return;
    const float ux = dx / length;
    const float uy = dy / length;
    const TPointF a{from.x - ux * extendStart, from.y - uy * extendStart};
    const TPointF b{to.x + ux * extendEnd, to.y + uy * extendEnd};
    const float nx = -uy * halfWidth;
    const float ny = ux * halfWidth;
    const TPointF quad[4] = {ToDevice(TPointF{a.x + nx, a.y + ny}), ToDevice(TPointF{b.x + nx, b.y + ny}),
                             ToDevice(TPointF{b.x - nx, b.y - ny}), ToDevice(TPointF{a.x - nx, a.y - ny})};
    rasterizer_.AddContour(quad);
}

void TPainter::DrawLine(TPointF from, TPointF to, float width, TPixel colour, std::uint8_t opacity) {
    const TPointF ends[2] = {from, to};
    DrawPolyline(ends, width, colour, opacity);
}

void TPainter::DrawPolyline(std::span<const TPointF> points, float width, TPixel colour, std::uint8_t opacity) {
    if (points.size() < 2 || opacity == 0 || !(width > 0.0f)) return;
    const float half = 0.5f * width;
    const TRect region = BoundsOf(points, half + 1.0f);
    if (region.Empty()) return;
    rasterizer_.Begin(region);
    const std::size_t last = points.size() - 1;
    for (std::size_t i = 0; i < last; ++i)
        AddLineQuad(points[i], points[i + 1], half, i > 0 ? half : 0.0f, i + 1 < last ? half : 0.0f);
    rasterizer_.Fill(target_, colour, opacity, TFillRule::NonZero);
}

// Text ---------------------------------------------------------------------------------------------------

int TPainter::DrawText(const TGlyphAtlas& atlas, std::string_view latin1, int logicalX, int logicalBaseline,
                       TPixel colour, std::uint8_t opacity) {
    const unsigned weight = OpacityToWeight(opacity);
    const TRect& clip = DeviceClip();
    const int baseline = logicalBaseline * scale_;
    int pen = logicalX * scale_;
    for (const char c : latin1) {
        const TGlyph& g = atlas.GlyphOf(c);
        const TRect box = TRect::FromSize(pen + g.bearingX, baseline - g.bearingY, g.width, g.height);
        const TRect visible = box.Intersection(clip);
        pen += g.advance;
        if (visible.Empty() || atlas.coverage == nullptr || weight == 0) continue;
        for (int y = visible.top; y < visible.bottom; ++y) {
            const std::uint8_t* ink = atlas.coverage +
                                      static_cast<std::ptrdiff_t>(g.atlasY + (y - box.top)) * atlas.atlasWidth +
                                      g.atlasX + (visible.left - box.left);
            TPixel* row = target_.Row(y);
            for (int px = visible.left; px < visible.right; ++px, ++ink) {
                if (*ink == 0) continue;
                row[px] = BlendPixel(row[px], colour, (OpacityToWeight(*ink) * weight + 128) >> 8);
            }
        }
    }
    return logicalX + atlas.TextWidth(latin1);
}

} // namespace quillon
