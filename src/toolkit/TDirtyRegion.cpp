#include "toolkit/TDirtyRegion.h"

#include <limits>

namespace quillon {

namespace {

// True when painting the bounding box of a and b costs little more than painting both.
bool MergePays(const TRect& a, const TRect& b) {
    const std::int64_t both = a.Area() + b.Area() - a.Intersection(b).Area();
    const std::int64_t waste = a.Union(b).Area() - both;
    return waste <= TDirtyRegion::kMergeSlack + (a.Area() + b.Area()) / 4;
}

// Pieces of `area` outside `hole` (which overlaps it): up to four, none overlapping.
int Subtract(const TRect& area, const TRect& hole, TRect* pieces) {
    int n = 0;
    const TRect inner = area.Intersection(hole);
    if (area.top < inner.top) pieces[n++] = TRect{area.left, area.top, area.right, inner.top};
    if (inner.bottom < area.bottom) pieces[n++] = TRect{area.left, inner.bottom, area.right, area.bottom};
    if (area.left < inner.left) pieces[n++] = TRect{area.left, inner.top, inner.left, inner.bottom};
    if (inner.right < area.right) pieces[n++] = TRect{inner.right, inner.top, area.right, inner.bottom};
    return n;
}

} // namespace

TRect TDirtyRegion::TList::Bounds() const {
    TRect box;
    for (const TRect& r : *this)
        box = box.Union(r);
    return box;
}

std::int64_t TDirtyRegion::TList::Area() const {
    std::int64_t area = 0;
    for (const TRect& r : *this)
        area += r.Area();
    return area;
}

void TDirtyRegion::Add(const TRect& area) {
    const TRect limitedArea = limited_ ? area.Intersection(bounds_) : area;
    if (limitedArea.Empty()) return;
    Insert(limitedArea);
}

// A work stack of pieces still to place: a piece is dropped, merged (the merged box goes back on the
// stack), cut around an overlapped rectangle (the pieces go on the stack) or appended. A merge is made
// only when the merged box overlaps no other listed rectangle partly, so merging never undoes a cut.
// When the list is full, the piece is merged with the rectangle that grows least and the merged box is
// "forced": it swallows whatever it overlaps, each time removing a listed rectangle, so it is placed in
// at most kMaxRects steps.
void TDirtyRegion::Insert(const TRect& area) {
    struct Pending {
        TRect rect;
        bool forced;
    };
    constexpr int kStack = 4 * kMaxRects + 8;
    std::array<Pending, kStack> pending;
    int top = 0;
    pending[top++] = Pending{area, false};
    while (top > 0) {
        const Pending piece = pending[--top];
        const TRect& r = piece.rect;
        bool placed = false;
        for (int i = 0; i < list_.count && !placed; ++i) {
            const TRect listed = list_.rects[static_cast<std::size_t>(i)];
            if (listed.Contains(r)) {
                placed = true;
                continue;
            }
            const bool overlaps = r.Intersects(listed);
            const bool merge =
                overlaps ? (piece.forced || top + 4 > kStack || MergeFits(listed, r, i)) : MergeFits(listed, r, i);
            if (merge) {
                RemoveAt(i);
                pending[top++] = Pending{listed.Union(r), piece.forced};
                placed = true;
            } else if (overlaps) {
                TRect pieces[4];
                const int n = Subtract(r, listed, pieces);
                for (int k = 0; k < n; ++k)
                    pending[top++] = Pending{pieces[k], false};
                placed = true;
            }
        }
        if (placed) continue;
        if (list_.count < kMaxRects) {
            list_.rects[static_cast<std::size_t>(list_.count++)] = r;
            continue;
        }
        int best = 0;
        std::int64_t bestGrowth = std::numeric_limits<std::int64_t>::max();
        for (int i = 0; i < list_.count; ++i) {
            const TRect& listed = list_.rects[static_cast<std::size_t>(i)];
            const std::int64_t growth = listed.Union(r).Area() - listed.Area();
            if (growth < bestGrowth) {
                bestGrowth = growth;
                best = i;
            }
        }
        const TRect merged = list_.rects[static_cast<std::size_t>(best)].Union(r);
        RemoveAt(best);
        pending[top++] = Pending{merged, true};
    }
}

bool TDirtyRegion::MergeFits(const TRect& listed, const TRect& piece, int index) const {
    if (!MergePays(listed, piece)) return false;
    const TRect merged = listed.Union(piece);
    for (int j = 0; j < list_.count; ++j) {
        const TRect& other = list_.rects[static_cast<std::size_t>(j)];
        if (j != index && merged.Intersects(other) && !merged.Contains(other)) return false;
    }
    return true;
}

void TDirtyRegion::RemoveAt(int index) {
    list_.rects[static_cast<std::size_t>(index)] = list_.rects[static_cast<std::size_t>(list_.count - 1)];
    --list_.count;
}

TDirtyRegion::TList TDirtyRegion::Take() {
    TList taken;
    if (list_.count == 0) return taken;
    taken = list_;
    list_.count = 0;
    return taken;
}

} // namespace quillon
