// TDirtyRegion: whatever is added, the list covers every added pixel, holds no overlapping rectangles and
// stays within kMaxRects; merging happens where it saves work and not where it would repaint much more.
#include "toolkit/TDirtyRegion.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr int kW = 800;
constexpr int kH = 556;

// How often each pixel of the editor is covered by the list.
std::vector<int> CoverCount(const TDirtyRegion::TList& list) {
    std::vector<int> count(kW * kH, 0);
    for (const TRect& r : list) {
        const TRect part = r.Intersection(TRect{0, 0, kW, kH});
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x)
                ++count[static_cast<std::size_t>(y * kW + x)];
    }
    return count;
}

TEST(TDirtyRegionTest, RandomAddsAreCoveredOnceByABoundedList) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> px(-20, kW);
    std::uniform_int_distribution<int> py(-20, kH);
    std::uniform_int_distribution<int> size(1, 90);
    for (int round = 0; round < 20; ++round) {
        TDirtyRegion region(TRect{0, 0, kW, kH});
        std::vector<TRect> added;
        const int adds = 1 + round * 5;
        for (int i = 0; i < adds; ++i) {
            const TRect r = TRect::FromSize(px(rng), py(rng), size(rng), size(rng));
            added.push_back(r);
            region.Add(r);
            ASSERT_LE(region.Rects().count, TDirtyRegion::kMaxRects);
        }
        const TDirtyRegion::TList list = region.Take();
        EXPECT_TRUE(region.Empty());
        const std::vector<int> cover = CoverCount(list);
        for (int c : cover)
            ASSERT_LE(c, 1) << "overlapping rectangles in round " << round;
        for (const TRect& r : added) {
            const TRect part = r.Intersection(TRect{0, 0, kW, kH});
            for (int y = part.top; y < part.bottom; ++y)
                for (int x = part.left; x < part.right; ++x)
                    ASSERT_EQ(cover[static_cast<std::size_t>(y * kW + x)], 1) << "uncovered pixel in round " << round;
        }
        for (const TRect& r : list)
            EXPECT_TRUE((TRect{0, 0, kW, kH}).Contains(r));
    }
}

TEST(TDirtyRegionTest, MergesWhereItPaysAndKeepsDistantAreasApart) {
    TDirtyRegion region;
    // Two neighbouring knobs merge into one rectangle: the box around them wastes nothing.
    region.Add(TRect::FromSize(100, 100, 40, 40));
    region.Add(TRect::FromSize(140, 100, 40, 40));
    ASSERT_EQ(region.Rects().count, 1);
    EXPECT_EQ(region.Rects().rects[0], (TRect{100, 100, 180, 140}));
    // A repeated or contained area changes nothing.
    region.Add(TRect::FromSize(110, 110, 10, 10));
    region.Add(TRect::FromSize(100, 100, 40, 40));
    EXPECT_EQ(region.Rects().count, 1);
    // Knobs in opposite corners stay apart: their bounding box would repaint most of the editor.
    region.Add(TRect::FromSize(700, 500, 40, 40));
    EXPECT_EQ(region.Rects().count, 2);
    EXPECT_EQ(region.Rects().Area(), 80 * 40 + 40 * 40);

    // A long meter crossing a wide display overlaps it without paying for a merge: it is cut around it.
    TDirtyRegion cut;
    cut.Add(TRect{0, 200, 800, 260});
    cut.Add(TRect{390, 0, 400, 556});
    EXPECT_EQ(cut.Rects().count, 3);
    EXPECT_EQ(cut.Rects().Area(), 800 * 60 + 10 * (556 - 60));
    EXPECT_EQ(cut.Rects().Bounds(), (TRect{0, 0, 800, 556}));
}

TEST(TDirtyRegionTest, EmptyAndOutsideAreasLeaveTheRegionClean) {
    TDirtyRegion region(TRect{0, 0, kW, kH});
    region.Add(TRect{});
    region.Add(TRect{50, 50, 40, 60});
    region.Add(TRect::FromSize(kW, 0, 10, 10));
    EXPECT_TRUE(region.Empty());
    EXPECT_TRUE(region.Take().Empty());
    region.Add(TRect{-10, -10, 5, 5});
    const TDirtyRegion::TList list = region.Take();
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.rects[0], (TRect{0, 0, 5, 5}));
    EXPECT_TRUE(region.Empty());
}

} // namespace
} // namespace quillon
