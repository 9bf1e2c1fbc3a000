// The toolkit's software renderer on an editor-sized scene: a 800 × 556 background image and 180 knobs of
// 40 × 40 drawn from a 64-frame strip with a key colour. Targets: a full repaint <= 2 ms, one knob redrawn
// into its dirty rectangle <= 20 us, an idle pass (nothing dirty) <= 10 us. Also an envelope fill of
// 500 × 150 with 100 points and its outline. And the full repaint of a window with a message box open:
// the controls, the veil over them and the panel.
#include "toolkit/TDIBControl.h"
#include "toolkit/TDirtyRegion.h"
#include "toolkit/TMessageBox.h"
#include "toolkit/TModalLayer.h"
#include "toolkit/TPainter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace quillon;

constexpr int kWidth = 800;
constexpr int kHeight = 556;
constexpr int kKnob = 40;
constexpr int kFrames = 64;
constexpr int kColumns = 20;
constexpr int kRows = 9;
constexpr TPixel kKey = Rgb(255, 0, 255);

struct Scene {
    TPixelBuffer background{kWidth, kHeight};
    TPixelBuffer strip{kKnob * kFrames, kKnob};
    std::vector<TRect> knobs;
    std::vector<int> frames;
    TPixelBuffer screen{kWidth, kHeight};
    TPainter painter{screen};
    TDirtyRegion dirty{TRect{0, 0, kWidth, kHeight}};

    Scene() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                background.At(x, y) = Rgb(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 90);
        // Round knobs: inside the circle a shade per frame, the corners keyed out.
        for (int k = 0; k < kFrames; ++k)
            for (int y = 0; y < kKnob; ++y)
                for (int x = 0; x < kKnob; ++x) {
                    const float dx = static_cast<float>(x) - 19.5f;
                    const float dy = static_cast<float>(y) - 19.5f;
                    strip.At(k * kKnob + x, y) =
                        dx * dx + dy * dy < 400.0f ? Rgb(static_cast<std::uint8_t>(k * 4), 128, 200) : kKey;
                }
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                knobs.push_back(TRect::FromSize(c * kKnob, 10 + r * 60, kKnob, kKnob));
                frames.push_back((r * kColumns + c) % kFrames);
            }
    }

    // The repaint pass: every dirty rectangle gets the background and the knobs that reach into it.
    void Repaint() {
        const TDirtyRegion::TList list = dirty.Take();
        for (const TRect& area : list) {
            painter.PushClip(area);
            painter.DrawImage(background, area, area.left, area.top);
            for (std::size_t i = 0; i < knobs.size(); ++i) {
                if (knobs[i].Intersects(area))
                    painter.DrawFrame(strip, frames[i], kFrames, knobs[i].left, knobs[i].top, 255, kKey);
            }
            painter.PopClip();
        }
    }
};

void BM_ToolkitFullRepaint(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.dirty.Add(scene.screen.Bounds());
        scene.Repaint();
        benchmark::DoNotOptimize(scene.screen.Row(0));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToolkitFullRepaint)->Unit(benchmark::kMicrosecond);

void BM_ToolkitKnobRepaint(benchmark::State& state) {
    Scene scene;
    std::size_t knob = 0;
    for (auto _ : state) {
        knob = (knob + 37) % scene.knobs.size();
        scene.frames[knob] = (scene.frames[knob] + 1) % kFrames;
        scene.dirty.Add(scene.knobs[knob]);
        scene.Repaint();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToolkitKnobRepaint)->Unit(benchmark::kMicrosecond);

void BM_ToolkitIdlePass(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.Repaint();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToolkitIdlePass)->Unit(benchmark::kMicrosecond);

std::vector<TPointF> Envelope(int points) {
    std::vector<TPointF> shape;
    for (int i = 0; i < points; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(points - 1);
        const float level = 0.5f + 0.45f * std::sin(t * 17.0f) * std::cos(t * 5.0f);
        shape.push_back({150.0f + t * 500.0f, 200.0f + 150.0f * (1.0f - level)});
    }
    return shape;
}

void BM_ToolkitEnvelopeFill(benchmark::State& state) {
    Scene scene;
    std::vector<TPointF> shape = Envelope(100);
    shape.push_back({650.0f, 350.0f});
    shape.push_back({150.0f, 350.0f});
    for (auto _ : state) {
        scene.painter.FillPolygon(shape, Rgb(90, 200, 120), 160);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToolkitEnvelopeFill)->Unit(benchmark::kMicrosecond);

void BM_ToolkitEnvelopeOutline(benchmark::State& state) {
    Scene scene;
    const std::vector<TPointF> curve = Envelope(100);
    for (auto _ : state) {
        scene.painter.DrawPolyline(curve, 1.5f, Rgb(255, 255, 255));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToolkitEnvelopeOutline)->Unit(benchmark::kMicrosecond);

void BM_ToolkitRepaintWithMessageBox(benchmark::State& state) {
    Scene scene;
    TDIBImageList images;
    images.Add(std::move(scene.background));
    TDIBImageContainer root(TRect{0, 0, kWidth, kHeight});
    root.SetDIBImageList(&images);
    root.SetIndexMain(0);
    root.SetDirtyRegion(&scene.dirty);
    TModalLayer layer;
    root.SetModalLayer(&layer);
    TMessageBox::Show(layer, "Save", "Overwrite the bank?", TMsgButtons::mbYesNoCancel, [](int) {});
    for (auto _ : state) {
        scene.dirty.Add(scene.screen.Bounds());
        for (const TRect& area : scene.dirty.Take()) {
            scene.painter.PushClip(area);
            root.Paint(scene.painter);
            scene.painter.PopClip();
        }
        benchmark::ClobberMemory();
    }
    layer.CloseAll();
}
BENCHMARK(BM_ToolkitRepaintWithMessageBox)->Unit(benchmark::kMicrosecond);

} // namespace
