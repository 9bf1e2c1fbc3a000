#include "toolkit/TCoverageRasterizer.h"

#include "toolkit/Blend.h"

#include <algorithm>
#include <cmath>

namespace quillon {

TCoverageRasterizer::TCoverageRasterizer(int maxWidth, int edgeCapacity) : maxWidth_(std::max(maxWidth, 0)) {
    cells_.assign(static_cast<std::size_t>(maxWidth_ + 2) * kBandHeight, 0.0f);
    edges_.reserve(static_cast<std::size_t>(std::max(edgeCapacity, 0)));
}

void TCoverageRasterizer::Begin(const TRect& region) {
    edges_.clear();
    region_ = region;
    if (region_.Empty()) region_ = TRect{region.left, region.top, region.left, region.top};
    region_.right = std::min(region_.right, region_.left + maxWidth_);
}

void TCoverageRasterizer::AddContour(std::span<const TPointF> points) {
    if (points.size() < 2) return;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        AddEdge(points[i], points[i + 1]);
    AddEdge(points.back(), points.front());
}

void TCoverageRasterizer::AddEdge(TPointF from, TPointF to) {
    if (region_.Empty()) return;
    // Into region coordinates, then cut to the rows of the region: rows above and below add nothing.
    float x0 = from.x - static_cast<float>(region_.left);
    float y0 = from.y - static_cast<float>(region_.top);
    float x1 = to.x - static_cast<float>(region_.left);
    float y1 = to.y - static_cast<float>(region_.top);
    if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))) return;
    if (y0 == y1) return;
    const float height = static_cast<float>(region_.Height());
    const float top = std::min(y0, y1);
    const float bottom = std::max(y0, y1);
    if (bottom <= 0.0f || top >= height) return;
    const auto xAt = [&](float y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    if (top < 0.0f) {
        const float x = xAt(0.0f);
        (y0 < y1 ? x0 : x1) = x;
        (y0 < y1 ? y0 : y1) = 0.0f;
    }
    if (bottom > height) {
        const float x = xAt(height);
        (y0 > y1 ? x0 : x1) = x;
        (y0 > y1 ? y0 : y1) = height;
    }
    // Cut at the left and right sides: a part outside is moved onto the side, where it still adds its
    // winding to the pixels right of it (left side) or to none of the region's pixels (right side).
    const float width = static_cast<float>(region_.Width());
    float cuts[2];
    int cutCount = 0;
    for (const float side : {0.0f, width}) {
        if ((x0 < side && x1 > side) || (x0 > side && x1 < side)) cuts[cutCount++] = (side - x0) / (x1 - x0);
    }
    if (cutCount == 2 && cuts[0] > cuts[1]) std::swap(cuts[0], cuts[1]);
    float startX = x0;
    float startY = y0;
    for (int c = 0; c <= cutCount; ++c) {
        const float t = c < cutCount ? cuts[c] : 1.0f;
        const float endX = c < cutCount ? x0 + (x1 - x0) * t : x1;
        const float endY = c < cutCount ? y0 + (y1 - y0) * t : y1;
        AddClippedEdge(std::clamp(startX, 0.0f, width), startY, std::clamp(endX, 0.0f, width), endY);
        startX = endX;
        startY = endY;
    }
}

void TCoverageRasterizer::AddClippedEdge(float x0, float y0, float x1, float y1) {
    if (y0 == y1) return;
    if (y0 < y1)
        edges_.push_back(Edge{x0, y0, x1, y1, 1.0f});
    else
        edges_.push_back(Edge{x1, y1, x0, y0, -1.0f});
}

void TCoverageRasterizer::AccumulateBand(int bandTop, int rows, int& firstCell, int& lastCell) {
    const int rowCells = maxWidth_ + 2;
    const float bandStart = static_cast<float>(bandTop);
    const float bandEnd = static_cast<float>(bandTop + rows);
    float minX = static_cast<float>(region_.Width());
    float maxX = 0.0f;
    bool any = false;
    for (const Edge& e : edges_) {
        if (e.y1 <= bandStart || e.y0 >= bandEnd) continue;
        any = true;
        const float slope = (e.x1 - e.x0) / (e.y1 - e.y0); // x per row
        const float yStart = std::max(e.y0, bandStart);
        const float yEnd = std::min(e.y1, bandEnd);
        const int rowStart = static_cast<int>(std::floor(yStart));
        const int rowEnd = static_cast<int>(std::ceil(yEnd));
        float xa = e.x0 + (yStart - e.y0) * slope;
        for (int row = rowStart; row < rowEnd; ++row) {
            const float pieceTop = std::max(yStart, static_cast<float>(row));
            const float pieceBottom = std::min(yEnd, static_cast<float>(row + 1));
            // The end of the edge is taken exactly so that rounding cannot push x outside the region.
            const float xb = pieceBottom >= e.y1 ? e.x1 : e.x0 + (pieceBottom - e.y0) * slope;
            float* cells = cells_.data() + static_cast<std::ptrdiff_t>(row - bandTop) * rowCells;
            const float lo = std::min(xa, xb);
            const float hi = std::max(xa, xb);
            AddRowPiece(cells, lo, hi, e.direction * (pieceBottom - pieceTop));
            minX = std::min(minX, lo);
            maxX = std::max(maxX, hi);
            xa = xb;
        }
    }
    if (!any) {
        firstCell = 0;
        lastCell = -1;
        return;
    }
    firstCell = static_cast<int>(std::floor(minX));
    lastCell = std::min(static_cast<int>(std::ceil(maxX)) + 1, maxWidth_ + 1);
}

// Adds one edge's piece within a single pixel row: it runs from x = xa to x = xb (xa <= xb, both within
// 0 … width) over `signedHeight` of the row. With x spread evenly over the piece, the area it leaves to the
// right in column i is G(i + 1) - G(i), G(X) being the mean of max(0, X - x); each cell holds the change
// of that area from the column before, so the running sum along the row gives the area itself.
void TCoverageRasterizer::AddRowPiece(float* cells, float xa, float xb, float signedHeight) {
    const float span = xb - xa;
    const auto meanDistanceLeft = [&](float X) {
        if (X <= xa) return 0.0f;
        if (X >= xb) return X - 0.5f * (xa + xb);
        const float d = X - xa;
        return d * d / (2.0f * span);
    };
    const int first = static_cast<int>(std::floor(xa));
    const int last = std::max(first, static_cast<int>(std::ceil(xb)) - 1);
    float previousG = 0.0f;
    float previousCover = 0.0f;
    for (int i = first; i <= last; ++i) {
        const float g = meanDistanceLeft(static_cast<float>(i + 1));
        const float cover = g - previousG;
        cells[i] += signedHeight * (cover - previousCover);
        previousCover = cover;
        previousG = g;
    }
    cells[last + 1] += signedHeight * (1.0f - previousCover);
}

float TCoverageRasterizer::CoverageOf(float winding, TFillRule rule) {
    float a = std::fabs(winding);
    if (rule == TFillRule::EvenOdd) {
        a = std::fmod(a, 2.0f);
        if (a > 1.0f) a = 2.0f - a;
    }
    return std::min(a, 1.0f);
}

void TCoverageRasterizer::Fill(TPixelBuffer& target, TPixel colour, std::uint8_t opacity, TFillRule rule) {
    const float scale = static_cast<float>(OpacityToWeight(opacity));
    Sweep(rule, [&](int x, int y, float coverage) {
        const auto weight = static_cast<unsigned>(std::lrint(coverage * scale)); // 0 … 256
        TPixel& p = target.At(x, y);
        p = BlendPixel(p, colour, weight);
    });
}

} // namespace quillon
