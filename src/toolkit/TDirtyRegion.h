// The parts of an editor that need repainting: a short list of non-overlapping rectangles. Add() records
// a changed area; the repaint pass takes the list with Take() and draws each rectangle once.
//
// Keeping the list short: a new rectangle that lies inside a listed one is dropped; one that merges with a
// listed rectangle into their bounding box at little waste (kMergeSlack pixels plus a quarter of the two
// areas) is merged, provided the box overlaps no other listed rectangle partly, and the box is added
// again; one that overlaps a listed rectangle without such a merge is cut into the up to four pieces
// outside it. At most
// kMaxRects rectangles are kept: beyond that the pair that grows least is merged. The list never
// holds overlapping rectangles, so no pixel is painted twice, and it covers every pixel added.
//
// Fixed storage, no allocation; Take() and Empty() on a clean region cost a few instructions. GUI thread
// only [gui].
#pragma once

#include "toolkit/TRect.h"

#include <array>
#include <cstdint>

namespace quillon {

class TDirtyRegion {
public:
    static constexpr int kMaxRects = 32;
    // The waste in pixels that always pays for one rectangle fewer (the cost of a blit set-up and of a
    // separate screen update, roughly).
    static constexpr std::int64_t kMergeSlack = 1024;

    // The rectangles of one repaint, in no particular order.
    struct TList {
        std::array<TRect, kMaxRects> rects{};
        int count = 0;
        const TRect* begin() const { return rects.data(); }
        const TRect* end() const { return rects.data() + count; }
        bool Empty() const { return count == 0; }
        // The smallest rectangle around all of them.
        TRect Bounds() const;
        std::int64_t Area() const;
    };

    // Limits every added rectangle to `bounds` (the editor's area); the default is unlimited.
    TDirtyRegion() = default;
    explicit TDirtyRegion(const TRect& bounds) : bounds_(bounds), limited_(true) {}

    void Add(const TRect& area);
    // The rectangles to repaint; the region is clean afterwards.
    TList Take();
    bool Empty() const { return list_.count == 0; }
    const TList& Rects() const { return list_; }

private:
    void Insert(const TRect& area);
    // True when merging `piece` into listed rectangle `index` pays and leaves no partial overlap.
    bool MergeFits(const TRect& listed, const TRect& piece, int index) const;
    void RemoveAt(int index);

    TList list_;
    TRect bounds_;
    bool limited_ = false;
};

} // namespace quillon
