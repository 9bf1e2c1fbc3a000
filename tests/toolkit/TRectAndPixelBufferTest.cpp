// TRect's set operations and TPixelBuffer's storage: views, sub-views and strides address the pixels of
// the buffer they view, and filling stays inside the buffer.
#include "toolkit/TPixelBuffer.h"
#include "toolkit/TRect.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

TEST(TRectTest, SetOperationsTreatEmptyRectanglesAsNothing) {
    const TRect a{0, 0, 10, 10};
    const TRect b{5, 5, 20, 8};
    EXPECT_EQ(a.Intersection(b), (TRect{5, 5, 10, 8}));
    EXPECT_EQ(a.Union(b), (TRect{0, 0, 20, 10}));
    EXPECT_TRUE(a.Intersects(b));
    // Touching edges share no pixel: right and bottom are exclusive.
    EXPECT_FALSE(a.Intersects(TRect{10, 0, 12, 10}));
    EXPECT_TRUE(a.Contains(9, 9));
    EXPECT_FALSE(a.Contains(10, 9));

    const TRect empty{30, 30, 30, 40};
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Area(), 0);
    EXPECT_EQ(a.Union(empty), a);
    EXPECT_EQ(empty.Union(a), a);
    EXPECT_TRUE(a.Contains(empty));
    EXPECT_FALSE(empty.Contains(a));
    EXPECT_FALSE(empty.Intersects(a));
}

TEST(TPixelBufferTest, ViewsAndSubViewsAddressTheViewedPixels) {
    std::vector<TPixel> memory(8 * 6, 0); // 5 × 6 pixels with a stride of 8
    TPixelBuffer view = TPixelBuffer::View(memory.data(), 5, 6, 8);
    EXPECT_FALSE(view.OwnsPixels());
    view.At(4, 2) = Rgb(1, 2, 3);
    EXPECT_EQ(memory[2 * 8 + 4], Rgb(1, 2, 3));

    TPixelBuffer part = view.SubView(TRect{2, 1, 10, 4}); // cut to the view's 5 columns
    EXPECT_EQ(part.Width(), 3);
    EXPECT_EQ(part.Height(), 3);
    EXPECT_EQ(part.At(2, 1), Rgb(1, 2, 3));
    part.Fill(Rgb(9, 9, 9));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(memory[static_cast<std::size_t>(y * 8 + x)], inside ? Rgb(9, 9, 9) : 0u) << x << "," << y;
        }
    }
    EXPECT_TRUE(view.SubView(TRect{7, 7, 9, 9}).Bounds().Empty());
}

TEST(TPixelBufferTest, OwningBufferMovesWithItsPixels) {
    TPixelBuffer a(4, 3, Rgb(10, 20, 30));
    EXPECT_TRUE(a.OwnsPixels());
    a.At(3, 2) = Rgb(1, 1, 1);
    const TPixel* pixels = a.Row(0);
    TPixelBuffer b(std::move(a));
    EXPECT_EQ(b.Row(0), pixels);
    EXPECT_EQ(b.At(0, 0), Rgb(10, 20, 30));
    EXPECT_EQ(b.At(3, 2), Rgb(1, 1, 1));
    EXPECT_EQ(a.Width(), 0); // NOLINT(bugprone-use-after-move): the moved-from state is part of the contract
    b.Fill(TRect{-5, -5, 2, 1}, 0);
    EXPECT_EQ(b.At(1, 0), 0u);
    EXPECT_EQ(b.At(2, 0), Rgb(10, 20, 30));
    EXPECT_EQ(b.At(0, 1), Rgb(10, 20, 30));
}

} // namespace
} // namespace quillon
