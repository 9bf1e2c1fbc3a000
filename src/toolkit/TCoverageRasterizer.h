// Anti-aliased polygon filling with exact area coverage: each pixel is blended in proportion to the part
// of its square that the shape covers, with the non-zero or the even-odd winding rule.
//
// How: every edge adds, in each pixel row it crosses, the signed area it leaves to its right into a row of
// accumulation cells; a running sum along the row then gives each pixel's winding-weighted coverage (the
// accumulation-buffer method of font-rs and stb_truetype's second rasteriser). Rows are done in bands of
// kBandHeight so the cells stay small and in cache; the cells are zero again after each band.
//
// Coordinates are in pixels of the target; pixel (i, j) is the square [i, i + 1) × [j, j + 1), so its
// centre is (i + 0.5, j + 0.5). A shape is filled only inside the region given to Begin; the parts outside
// it are cut off exactly, whatever lies left of the region still counting for the winding inside it.
//
// Memory: the cells are sized once for the widest region (constructor) and the edge list is reserved for
// `edgeCapacity` edges; filling allocates nothing unless a shape has more edges than any before it. [gui]
#pragma once

#include "toolkit/TPixelBuffer.h"
#include "toolkit/TRect.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

struct TPointF {
    float x = 0.0f;
    float y = 0.0f;
};

enum class TFillRule { NonZero, EvenOdd };

class TCoverageRasterizer {
public:
    static constexpr int kBandHeight = 16;

    // maxWidth: the widest region that will be filled, in pixels (regions wider are cut to it).
    explicit TCoverageRasterizer(int maxWidth, int edgeCapacity = 1024);

    // Forgets the previous shape and starts one that is filled inside `region`.
    void Begin(const TRect& region);
    // Adds a closed contour; the edge from the last point back to the first is implied. Contours of one
    // shape combine by the fill rule (a contour wound the other way cuts a hole under non-zero).
    void AddContour(std::span<const TPointF> points);
    // Adds one directed edge; a shape is any set of edges that forms closed contours.
    void AddEdge(TPointF from, TPointF to);

    // Blends `colour` into each pixel of the region at opacity (0..255) × coverage. The region must lie
    // inside `target`. The shape is kept, so it can be filled again (into another buffer, say).
    void Fill(TPixelBuffer& target, TPixel colour, std::uint8_t opacity, TFillRule rule);

    // Calls visit(x, y, coverage 0..1) for each pixel of the region with coverage > 0 instead of blending;
    // for tests and for masks.
    template <typename Visit> void Sweep(TFillRule rule, Visit&& visit);

    int EdgeCount() const { return static_cast<int>(edges_.size()); }

private:
    // An edge in region coordinates, top to bottom (y0 < y1), clamped into 0 <= x <= region width.
    struct Edge {
        float x0, y0, x1, y1;
        float direction; // +1 for an edge that goes down, -1 for one that goes up
    };

    void AddClippedEdge(float x0, float y0, float x1, float y1);
    // Accumulates the part of every edge within rows [bandTop, bandTop + rows); sets the touched columns.
    void AccumulateBand(int bandTop, int rows, int& firstCell, int& lastCell);
    void AddRowPiece(float* cells, float xa, float xb, float signedHeight);
    static float CoverageOf(float winding, TFillRule rule);

    std::vector<Edge> edges_;
    std::vector<float> cells_; // kBandHeight rows of (maxWidth_ + 2) cells, all zero between bands
    int maxWidth_ = 0;
    TRect region_;
};

template <typename Visit> void TCoverageRasterizer::Sweep(TFillRule rule, Visit&& visit) {
    const int rowCells = maxWidth_ + 2;
    const int width = region_.Width();
    for (int bandTop = 0; bandTop < region_.Height(); bandTop += kBandHeight) {
        const int rows = std::min(kBandHeight, region_.Height() - bandTop);
        int first = 0;
        int last = -1;
        AccumulateBand(bandTop, rows, first, last);
        if (last < first) continue;
        for (int r = 0; r < rows; ++r) {
            float* cells = cells_.data() + static_cast<std::ptrdiff_t>(r) * rowCells;
            float winding = 0.0f;
            for (int i = first; i <= last; ++i) {
                winding += cells[i];
                cells[i] = 0.0f;
                if (i >= width) continue;
                const float coverage = CoverageOf(winding, rule);
                if (coverage > 0.0f) visit(region_.left + i, region_.top + bandTop + r, coverage);
            }
        }
    }
}

} // namespace quillon
