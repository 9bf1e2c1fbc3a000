// An integer rectangle in pixels: left and top inclusive, right and bottom exclusive, so a rectangle of
// width w at x covers the columns x … x + w - 1. A rectangle with right <= left or bottom <= top is empty;
// every empty rectangle is equal to every other for Contains, Intersects and Union. Plain value type.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quillon {

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr TRect FromSize(int x, int y, int width, int height) { return TRect{x, y, x + width, y + height}; }

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool Empty() const { return right <= left || bottom <= top; }
    // Number of pixels; 0 for an empty rectangle.
    constexpr std::int64_t Area() const {
        return Empty() ? 0 : static_cast<std::int64_t>(Width()) * static_cast<std::int64_t>(Height());
    }

    constexpr bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    // True when every pixel of `other` is in this rectangle; an empty `other` is in every rectangle.
    constexpr bool Contains(const TRect& other) const {
        return other.Empty() ||
               (!Empty() && other.left >= left && other.right <= right && other.top >= top && other.bottom <= bottom);
    }
    // True when the two share at least one pixel.
    constexpr bool Intersects(const TRect& other) const { return !Intersection(other).Empty(); }

    // The pixels in both; may be empty.
    constexpr TRect Intersection(const TRect& other) const {
        return TRect{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                     std::min(bottom, other.bottom)};
    }
    // The smallest rectangle holding both; an empty operand is left out.
    constexpr TRect Union(const TRect& other) const {
        if (other.Empty()) return *this;
        if (Empty()) return other;
        return TRect{std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
                     std::max(bottom, other.bottom)};
    }
    constexpr TRect Translated(int dx, int dy) const { return TRect{left + dx, top + dy, right + dx, bottom + dy}; }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

} // namespace quillon
