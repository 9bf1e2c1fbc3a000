// Shared by the control tests: strips whose frames are told apart by colour, and a window (root container,
// dirty region, router and buffer) that takes synthetic mouse events.
#pragma once

#include "toolkit/TDIBControl.h"

#include <cstdint>

namespace quillon::test {

constexpr TPixel kBackdrop = Rgb(1, 2, 3);
constexpr TPixel kKey = Rgb(255, 0, 255);

// The colour of frame k of the strips below (any frame count up to 100).
constexpr TPixel FrameColour(int k) {
    return Rgb(static_cast<std::uint8_t>(100 + k), static_cast<std::uint8_t>(2 * k), 7);
}

// `frames` frames of w × h, side by side or stacked, each filled with FrameColour(k) except its top-left
// pixel, which is the key colour.
inline TPixelBuffer MakeStrip(int frames, int w, int h, TFrameStack stack = TFrameStack::fsHorizontal) {
    const bool horizontal = stack == TFrameStack::fsHorizontal;
    TPixelBuffer strip(horizontal ? frames * w : w, horizontal ? h : frames * h);
    for (int k = 0; k < frames; ++k) {
        const int x0 = horizontal ? k * w : 0;
        const int y0 = horizontal ? 0 : k * h;
        strip.Fill(TRect::FromSize(x0, y0, w, h), FrameColour(k));
        strip.At(x0, y0) = kKey;
    }
    return strip;
}

struct TestWindow {
    TDirtyRegion dirty;
    TDIBImageContainer root;
    TMouseRouter router{root};
    TPixelBuffer buffer;

    explicit TestWindow(int width = 200, int height = 120)
        : root(TRect::FromSize(0, 0, width, height)), buffer(width, height, kBackdrop) {
        root.SetDirtyRegion(&dirty);
    }

    void Down(int x, int y, bool shift = false, TMouseButton button = TMouseButton::Left) {
        router.MouseDown(TMouseEvent{x, y, button, shift, false});
    }
    void Move(int x, int y, bool shift = false) {
        router.MouseMove(TMouseEvent{x, y, TMouseButton::Left, shift, false});
    }
    void Up(int x, int y, TMouseButton button = TMouseButton::Left) {
        router.MouseUp(TMouseEvent{x, y, button, false, false});
    }
    // Repaints everything into a fresh buffer and returns the pixel at (x, y).
    TPixel PaintAndRead(int x, int y) {
        buffer.Fill(kBackdrop);
        TPainter painter(buffer);
        root.Paint(painter);
        return buffer.At(x, y);
    }
};

} // namespace quillon::test
