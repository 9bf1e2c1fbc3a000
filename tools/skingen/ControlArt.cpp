// The art of the controls' images: knobs, buttons, page selectors, drop-down and spin buttons, loop and
// envelope handles, the keyboard and the lamps. Light falls from the top left; caps are graphite on the
// light pages, tabs are light so that their black captions read; whatever is lit glows amber.
#include "SkinArt.h"
#include "Theme.h"

#include "toolkit/TBADIBQuillonKeyboard.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::skingen {

namespace {

// Caps and bezels.
constexpr TColour kCapTop = TColour::Hex(0x50535C);
constexpr TColour kCapBottom = TColour::Hex(0x2C2E34);
constexpr TColour kCapRim = TColour::Hex(0x141518);
constexpr TColour kGlyph = TColour::Hex(0xE6E2D8);
constexpr TColour kGloss = TColour::Hex(0xFFFFFF, 0.35);
// Light tabs.
constexpr TColour kTabTop = TColour::Hex(0xF7F4EE);
constexpr TColour kTabBottom = TColour::Hex(0xDAD5C9);
constexpr TColour kTabRim = TColour::Hex(0x8A8478);
// Lamps.
constexpr TColour kLedOff = TColour::Hex(0x4A3A2C);
constexpr TColour kLedCore = TColour::Hex(0xFFF1CF);
// Keys.
constexpr TColour kIvoryTop = TColour::Hex(0xFAF8F2);
constexpr TColour kIvoryBottom = TColour::Hex(0xDCD7CB);
constexpr TColour kEbonyTop = TColour::Hex(0x3A3C43);
constexpr TColour kEbonyBottom = TColour::Hex(0x16171A);
// The knobs' track and value arc.
constexpr TColour kTrack = TColour::Hex(0xB9B3A6);
constexpr TColour kArc = TColour::Hex(0x6A34B0);

constexpr double kPi = 3.14159265358979323846;

// The four button states: 0 off, 1 pressed while switching on, 2 on, 3 pressed while switching off. A blinking
// button alternates frames 1 and 3 (and 2 and 0), so frame 3 is all but dark.
struct TButtonState {
    bool pressed;
    double lit;
};
constexpr std::array<TButtonState, 4> kStates{{{false, 0.0}, {true, 1.0}, {false, 1.0}, {true, 0.15}}};

cairo_t* Cr(const TArtCanvas& c) {
    return c.Cr();
}

void Fill(const TArtCanvas& c, const TColour& colour) {
    c.SetColour(colour);
    cairo_fill(Cr(c));
}

void FillKeep(const TArtCanvas& c, const TColour& colour) {
    c.SetColour(colour);
    cairo_fill_preserve(Cr(c));
}

void Stroke(const TArtCanvas& c, const TColour& colour, double width) {
    c.SetColour(colour);
    cairo_set_line_width(Cr(c), width);
    cairo_stroke(Cr(c));
}

void Circle(const TArtCanvas& c, double x, double y, double r) {
    cairo_new_sub_path(Cr(c));
    cairo_arc(Cr(c), x, y, r, 0, 2 * kPi);
}

// Fills the current path with a radial gradient from `inner` at the centre to `outer` at radius r.
void FillRadial(const TArtCanvas& c, double x, double y, double r, const TColour& inner, const TColour& outer) {
    cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
    cairo_pattern_add_color_stop_rgba(p, 0, inner.r, inner.g, inner.b, inner.a);
    cairo_pattern_add_color_stop_rgba(p, 1, outer.r, outer.g, outer.b, outer.a);
    cairo_set_source(Cr(c), p);
    cairo_fill(Cr(c));
    cairo_pattern_destroy(p);
}

// A soft round glow or shadow: `colour` at the centre fading out at radius r.
void Glow(const TArtCanvas& c, double x, double y, double r, const TColour& colour) {
    Circle(c, x, y, r);
    FillRadial(c, x, y, r, colour, colour.WithAlpha(0));
}

// Draws `draw` once per frame with the origin moved to the frame's left edge.
void EachFrame(const TSkinImage& image, const TArtCanvas& c, const std::function<void(int)>& draw) {
    for (int f = 0; f < image.frames; ++f) {
        cairo_save(Cr(c));
        cairo_rectangle(Cr(c), f * image.FrameWidth(), 0, image.FrameWidth(), image.height);
        cairo_clip(Cr(c));
        cairo_translate(Cr(c), f * image.FrameWidth(), 0);
        draw(f);
        cairo_restore(Cr(c));
    }
}

// Keyed images that lie on a dark ground: the generator lays soft edges over the light page colour, which
// would leave a pale fringe, so the edges are settled here over `ground` instead (pixels less than half
// covered stay transparent and become the key).
void SettleEdges(const TArtCanvas& c, const TColour& ground) {
    cairo_surface_t* s = cairo_get_target(Cr(c));
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s);
    const int h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const std::array<double, 3> g{ground.r * 255, ground.g * 255, ground.b * 255};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = row[x] >> 24;
            if (a < 128) {
                row[x] = 0;
                continue;
            }
            std::uint32_t out = 0xFF000000u;
            for (int ch = 0; ch < 3; ++ch) {
                const int shift = 16 - 8 * ch;
                const double v = ((row[x] >> shift) & 0xFF) + g[static_cast<std::size_t>(ch)] * (255.0 - a) / 255.0;
                out |= static_cast<std::uint32_t>(std::min(255L, std::lround(v))) << shift;
            }
            row[x] = out;
        }
    }
    cairo_surface_mark_dirty(s);
}

// An LED lens of w × h centred at (x, y): a dark lens when off, amber with a hot core and a halo when lit.
void Led(const TArtCanvas& c, double x, double y, double w, double h, double lit) {
    const double r = std::min(w, h) / 2;
    if (lit > 0.05) Glow(c, x, y, std::max(w, h) / 2 + 4, theme::kLit.WithAlpha(0.45 * lit));
    c.RoundedRect(x - w / 2 - 0.5, y - h / 2 - 0.5, w + 1, h + 1, r + 0.5);
    Fill(c, kCapRim.WithAlpha(0.85));
    c.RoundedRect(x - w / 2, y - h / 2, w, h, r);
    const TColour off = kLedOff;
    const TColour on = theme::kLit;
    const TColour body{off.r + (on.r - off.r) * lit, off.g + (on.g - off.g) * lit, off.b + (on.b - off.b) * lit, 1};
    c.FillVertical(y - h / 2, y + h / 2, body.Shade(0.25 * lit - 0.1), body.Shade(-0.15));
    if (lit > 0.05) {
        c.RoundedRect(x - w / 2 + 1, y - h / 2 + 0.6, w - 2, h / 2, r);
        Fill(c, kLedCore.WithAlpha(0.8 * lit));
    } else {
        c.RoundedRect(x - w / 2 + 1, y - h / 2 + 0.6, w - 2, 1, 0.5);
        Fill(c, kGloss);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Knobs

// One knob at position t (0 … 1) centred in a size × size frame.
void Knob(const TArtCanvas& c, double size, double t) {
    const double m = size / 2;
    const bool big = size > 30;
    const double ring = big ? 16.8 : 10.7;
    const double ringWidth = big ? 2.6 : 2.0;
    const double body = big ? 13.0 : 8.2;
    const double start = kPi / 2 + kPi / 6; // 7:30 o'clock
    const double end = start + 5 * kPi / 3;
    const double at = start + t * 5 * kPi / 3;

    cairo_set_line_cap(Cr(c), CAIRO_LINE_CAP_ROUND);
    cairo_new_path(Cr(c));
    cairo_arc(Cr(c), m, m, ring, start, end);
    Stroke(c, kTrack, ringWidth);
    if (t > 0.001) {
        cairo_arc(Cr(c), m, m, ring, start, at);
        Stroke(c, kArc, ringWidth);
    }
    // The shadow, cast to the bottom right.
    Glow(c, m + 1.0, m + 1.6, body + 2.2, theme::kBlack.WithAlpha(0.45));
    // The body: a rim, a satin skirt, a flat cap.
    Circle(c, m, m, body);
    Fill(c, kCapRim);
    Circle(c, m, m, body - 0.8);
    c.FillVertical(m - body, m + body, TColour::Hex(0x6A6E78), TColour::Hex(0x23252A));
    Circle(c, m, m, body - (big ? 2.8 : 2.0));
    c.FillVertical(m - body, m + body, TColour::Hex(0x3E4148), TColour::Hex(0x4A4D55));
    // The pointer.
    const double dx = std::cos(at);
    const double dy = std::sin(at);
    const double inner = big ? 4.5 : 2.6;
    const double outer = body - (big ? 2.0 : 1.3);
    cairo_move_to(Cr(c), m + dx * inner, m + dy * inner);
    cairo_line_to(Cr(c), m + dx * outer, m + dy * outer);
    Stroke(c, kGlyph, big ? 2.2 : 1.7);
    cairo_set_line_cap(Cr(c), CAIRO_LINE_CAP_BUTT);
}

// ---------------------------------------------------------------------------------------------------------
// Buttons

// A graphite cap in the rectangle, pressed or not: rim, satin face, a highlight along the top edge.
void Cap(const TArtCanvas& c, double x, double y, double w, double h, double r, bool pressed) {
    c.RoundedRect(x + 0.4, y + 1.2, w, h, r); // the drop shadow
    Fill(c, theme::kBlack.WithAlpha(pressed ? 0.18 : 0.35));
    c.RoundedRect(x, y, w, h, r);
    Fill(c, kCapRim);
    c.RoundedRect(x + 1, y + 1, w - 2, h - 2, r - 1);
    const TColour top = pressed ? kCapBottom.Shade(0.05) : kCapTop;
    const TColour bottom = pressed ? kCapTop.Shade(-0.15) : kCapBottom;
    c.FillVertical(y + 1, y + h - 1, top, bottom);
    if (!pressed) c.Line(x + r, y + 1, x + w - r, y + 1, kGloss.WithAlpha(0.22));
}

// A light tab over the whole w × h frame, on the page colour.
void Tab(const TArtCanvas& c, double w, double h, bool pressed) {
    c.FillRect(0, 0, w, h, theme::kPanel);
    c.RoundedRect(0.5, 0.5, w - 1, h - 1, 2.5);
    FillKeep(c, kTabRim);
    cairo_new_path(Cr(c));
    c.RoundedRect(1, 1, w - 2, h - 2, 2);
    if (pressed)
        c.FillVertical(1, h - 1, kTabBottom.Shade(-0.08), kTabTop.Shade(-0.06));
    else
        c.FillVertical(1, h - 1, kTabTop, kTabBottom);
    c.Line(2.5, pressed ? 1 : h - 2, w - 2.5, pressed ? 1 : h - 2, theme::kBlack.WithAlpha(0.10));
    if (!pressed) c.Line(2.5, 1, w - 2.5, 1, theme::kWhite.WithAlpha(0.9));
}

// A filled triangle pointing down (dir 1) or up (dir -1), centred at (x, y), w wide.
void Arrow(const TArtCanvas& c, double x, double y, double w, int dir, const TColour& colour) {
    const double h = w * 0.55;
    cairo_move_to(Cr(c), x - w / 2, y - dir * h / 2);
    cairo_line_to(Cr(c), x + w / 2, y - dir * h / 2);
    cairo_line_to(Cr(c), x, y + dir * h / 2);
    cairo_close_path(Cr(c));
    Fill(c, colour);
}

void StandardButton(const TArtCanvas& c, int f) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const double d = s.pressed ? 0.5 : 0.0;
    Cap(c, 7, 7 + d, 27, 11, 3, s.pressed);
    Led(c, 20.5, 12.5 + d, 15, 3, s.lit);
}

void StandardButtonGlow(const TArtCanvas& c, int f) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const double strength = 0.08 + 0.8 * s.lit;
    cairo_save(Cr(c));
    cairo_translate(Cr(c), 20.5, 12.5);
    cairo_scale(Cr(c), 1.0, 0.55);
    Glow(c, 0, 0, 19.5, theme::kLit.WithAlpha(strength));
    cairo_restore(Cr(c));
}

void EnvelopeButton(const TArtCanvas& c, int f) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const double d = s.pressed ? 0.5 : 0.0;
    Cap(c, 0.5, 0.5 + d, 38, 14, 7, s.pressed);
    Led(c, 8, 7.5 + d, 4.6, 4.6, s.lit);
    // A small loop: the arrow returns to where it began.
    const TColour ink = s.lit > 0.5 ? theme::kLitGlow : kGlyph.WithAlpha(0.75);
    cairo_new_path(Cr(c));
    c.RoundedRect(16.5, 4.5 + d, 16, 6, 3);
    Stroke(c, ink, 1.2);
    c.RoundedRect(15.5, 9.0 + d, 4, 3, 0); // a gap in the lower run ...
    Fill(c, s.pressed ? kCapBottom.Shade(0.05) : TColour::Hex(0x373A40));
    cairo_move_to(Cr(c), 20.5, 8.0 + d); // ... where the arrow head points back in
    cairo_line_to(Cr(c), 20.5, 13.0 + d);
    cairo_line_to(Cr(c), 17.5, 10.5 + d);
    cairo_close_path(Cr(c));
    Fill(c, ink);
}

void MidiButton(const TArtCanvas& c, int f) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const double d = s.pressed ? 0.5 : 0.0;
    Glow(c, 16.6, 17.4, 12, theme::kBlack.WithAlpha(0.45));
    if (s.lit > 0.05) Glow(c, 16, 16, 13, theme::kLit.WithAlpha(0.35 * s.lit));
    Circle(c, 16, 16, 10);
    FillRadial(c, 15, 14, 10, TColour::Hex(0x26282D), kCapRim);
    Circle(c, 16, 16, 8.6);
    c.FillVertical(7.4, 24.6, TColour::Hex(0x1C1D21), TColour::Hex(0x5A5D66));
    Circle(c, 16, 16 + d, 7.6);
    c.FillVertical(8.4 + d, 23.6 + d, s.pressed ? kCapBottom : kCapTop.Shade(0.06), kCapBottom);
    // A lit ring around a lens.
    Circle(c, 16, 16 + d, 5.2);
    Stroke(c, s.lit > 0.05 ? theme::kLit.WithAlpha(0.3 + 0.6 * s.lit) : theme::kBlack.WithAlpha(0.35), 1.0);
    Led(c, 16, 16 + d, 5, 5, s.lit);
}

void DropDownButton(const TArtCanvas& c, int f) {
    const bool pressed = f == 1;
    Cap(c, 0.5, 0.5, 14, 13.5, 2.5, pressed);
    Arrow(c, 7.5, 7.5 + (pressed ? 0.5 : 0), 6, 1, pressed ? theme::kLitGlow : kGlyph);
}

void SpinButton(const TArtCanvas& c, int f) {
    Cap(c, 0.5, 0.5, 14, 13.5, 2.5, false);
    if (f > 0) { // the pressed half sinks in
        const double y = f == 1 ? 1.5 : 7.5;
        c.RoundedRect(1.5, y, 12, 5.5, 1.5);
        c.FillVertical(y, y + 5.5, kCapBottom.Shade(-0.1), kCapBottom.Shade(0.05));
    }
    c.Line(2, 7, 13, 7, kCapRim);
    Arrow(c, 7.5, 4.3, 5.5, -1, f == 1 ? theme::kLitGlow : kGlyph);
    Arrow(c, 7.5, 10.6, 5.5, 1, f == 2 ? theme::kLitGlow : kGlyph);
}

void ScrollButton(const TArtCanvas& c, int f, int dir) {
    const bool pressed = kStates[static_cast<std::size_t>(f)].pressed;
    Tab(c, 14, 14, pressed);
    Arrow(c, 7, 7 + (pressed ? 0.5 : 0), 7, dir, theme::kInk);
}

void ToolDropDown(const TArtCanvas& c, int f) {
    Tab(c, 51, 13, f == 1);
    Arrow(c, 45.5, 6.8 + (f == 1 ? 0.5 : 0), 5, 1, theme::kInkSoft);
}

// A two-way toggle tab: a lamp at the left and the word of its state.
void WordToggle(const TArtCanvas& c, int f, const char* off, const char* on) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const bool active = f == 1 || f == 2;
    Tab(c, 51, 13, s.pressed);
    const double d = s.pressed ? 0.5 : 0.0;
    Led(c, 6.5, 6.5 + d, 3.6, 3.6, active ? 1.0 : 0.0);
    const std::string word = active ? on : off;
    const double size = c.TextWidth(word, TFace::NarrowBold, 8.5) > 36 ? 7.5 : 8.5;
    c.Text(word, 30, 9.5 + d, TFace::NarrowBold, size, theme::kInk, TAlign::Centre);
}

// ---------------------------------------------------------------------------------------------------------
// Page selectors

void Wave(const TArtCanvas& c, double x, double y, double w, double a, const std::function<double(double)>& fn) {
    for (int i = 0; i <= 48; ++i) {
        const double t = i / 48.0;
        const double px = x + t * w;
        const double py = y - a * fn(t);
        if (i == 0)
            cairo_move_to(Cr(c), px, py);
        else
            cairo_line_to(Cr(c), px, py);
    }
}

// The icon of page `index`, drawn as a path in a 24 × 16 box centred on (28, 19).
void PageIcon(const TArtCanvas& c, int index, const TColour& ink) {
    cairo_t* cr = Cr(c);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const double w = 1.6;
    switch (index) {
    case 20: // the oscillator: two teeth of a sawtooth
        cairo_move_to(cr, 16, 24);
        cairo_line_to(cr, 28, 13);
        cairo_line_to(cr, 28, 24);
        cairo_line_to(cr, 40, 13);
        cairo_line_to(cr, 40, 24);
        Stroke(c, ink, w);
        break;
    case 19: // amp and filter: a low-pass curve with its resonance
        Wave(c, 16, 21, 24, 9, [](double t) {
            const double f = t / 0.55;
            return t < 0.55 ? 0.45 + 0.55 * std::exp(-std::pow((f - 1) * 4.5, 2)) : 1.0 - (t - 0.55) / 0.45 * 2.2;
        });
        Stroke(c, ink, w);
        break;
    case 21: // the LFO: a slow sine
        Wave(c, 16, 19, 24, 6, [](double t) { return std::sin(t * 2 * kPi); });
        Stroke(c, ink, w);
        c.Line(16, 19, 40, 19, ink.WithAlpha(ink.a * 0.35), 1);
        break;
    case 22: // MIDI: the five-pin socket
        Circle(c, 28, 19, 8.5);
        Stroke(c, ink, w);
        for (int pin = 0; pin < 5; ++pin) {
            const double a = kPi + pin * kPi / 4;
            Circle(c, 28 + std::cos(a) * 5, 19.5 + std::sin(a) * 5, 1.1);
            Fill(c, ink);
        }
        c.RoundedRect(26.5, 25, 3, 2.5, 0.5);
        Fill(c, ink);
        break;
    case 23: { // effects: a large and a small spark
        auto spark = [&](double x, double y, double r) {
            cairo_move_to(cr, x, y - r);
            cairo_curve_to(cr, x + r * 0.12, y - r * 0.12, x + r * 0.12, y - r * 0.12, x + r, y);
            cairo_curve_to(cr, x + r * 0.12, y + r * 0.12, x + r * 0.12, y + r * 0.12, x, y + r);
            cairo_curve_to(cr, x - r * 0.12, y + r * 0.12, x - r * 0.12, y + r * 0.12, x - r, y);
            cairo_curve_to(cr, x - r * 0.12, y - r * 0.12, x - r * 0.12, y - r * 0.12, x, y - r);
            cairo_close_path(cr);
            Fill(c, ink);
        };
        spark(25, 20, 8.5);
        spark(35, 13.5, 4.2);
        Circle(c, 35.5, 24.5, 1.3);
        Fill(c, ink);
        break;
    }
    default: // presets: a list of programs
        for (int row = 0; row < 4; ++row) {
            const double y = 12.5 + row * 4.5;
            Circle(c, 18.5, y, 1.2);
            Fill(c, ink);
            cairo_move_to(cr, 22.5, y);
            cairo_line_to(cr, row == 1 ? 34 : 38, y);
            Stroke(c, ink, 1.4);
        }
        break;
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

const char* PageWord(int index) {
    switch (index) {
    case 19:
        return "FILTER";
    case 20:
        return "OSC";
    case 21:
        return "LFO";
    case 22:
        return "MIDI";
    case 23:
        return "FX";
    default:
        return "PRESETS";
    }
}

void PageButton(const TSkinImage& image, const TArtCanvas& c, int f) {
    const TButtonState s = kStates[static_cast<std::size_t>(f)];
    const bool selected = f >= 2;
    if (!image.keyed) c.FillRect(0, 0, 56, 52, theme::kChassis);
    const double d = s.pressed ? 0.6 : 0.0;
    // The well, the shadow, the tile.
    c.RoundedRect(2, 1.5, 52, 49, 6);
    Fill(c, theme::kChassisEdge.WithAlpha(0.7));
    const double x = 3, y = 2.5 + d, w = 50, h = 46.5 - d;
    c.RoundedRect(x, y, w, h, 5);
    Fill(c, kCapRim);
    c.RoundedRect(x + 1, y + 1, w - 2, h - 2, 4);
    if (s.pressed)
        c.FillVertical(y, y + h, TColour::Hex(0x25272C), TColour::Hex(0x30323A));
    else if (selected)
        c.FillVertical(y, y + h, TColour::Hex(0x4C4F58), TColour::Hex(0x34363D));
    else
        c.FillVertical(y, y + h, TColour::Hex(0x3C3F47), TColour::Hex(0x2E3036));
    if (!s.pressed) c.Line(x + 4, y + 1, x + w - 4, y + 1, theme::kWhite.WithAlpha(selected ? 0.22 : 0.12));
    // The lit bar along the bottom edge of the selected page.
    if (selected) {
        Glow(c, 28, y + h - 4, 16, theme::kLit.WithAlpha(s.pressed ? 0.18 : 0.28));
        c.RoundedRect(15, y + h - 4.5, 26, 2, 1);
        Fill(c, theme::kLit);
    }
    const TColour ink = selected ? theme::kLit : (s.pressed ? TColour::Hex(0xB8BAC2) : TColour::Hex(0x9497A0));
    cairo_save(Cr(c));
    cairo_translate(Cr(c), 0, d);
    if (selected) { // a faint bloom under the lit icon
        cairo_save(Cr(c));
        PageIcon(c, image.index, theme::kLit.WithAlpha(0.25));
        cairo_restore(Cr(c));
    }
    PageIcon(c, image.index, ink);
    c.Text(PageWord(image.index), 28, 39.5, TFace::NarrowBold, 9, selected ? theme::kLitGlow : ink, TAlign::Centre);
    cairo_restore(Cr(c));
}

// ---------------------------------------------------------------------------------------------------------
// Handles and lamps

void LoopHandle(const TArtCanvas& c, bool left) {
    cairo_save(Cr(c));
    if (!left) { // the end handle is the start handle's mirror image
        cairo_translate(Cr(c), 10, 0);
        cairo_scale(Cr(c), -1, 1);
    }
    cairo_move_to(Cr(c), 0.5, 0.5);
    cairo_line_to(Cr(c), 9.5, 0.5);
    cairo_line_to(Cr(c), 2.5, 9.5);
    cairo_line_to(Cr(c), 0.5, 9.5);
    cairo_close_path(Cr(c));
    FillKeep(c, theme::kChassisEdge);
    Stroke(c, theme::kChassisEdge, 1);
    cairo_move_to(Cr(c), 1.2, 1.2);
    cairo_line_to(Cr(c), 8.2, 1.2);
    cairo_line_to(Cr(c), 2.0, 8.8);
    cairo_line_to(Cr(c), 1.2, 8.8);
    cairo_close_path(Cr(c));
    c.FillVertical(1, 9, theme::kLitGlow, theme::kLit.Shade(-0.1));
    cairo_restore(Cr(c));
}

void HarmonyHandle(const TArtCanvas& c) {
    Glow(c, 8.5, 9.2, 7.5, theme::kBlack.WithAlpha(0.5));
    auto diamond = [&](double r) {
        cairo_move_to(Cr(c), 8, 8 - r);
        cairo_line_to(Cr(c), 8 + r, 8);
        cairo_line_to(Cr(c), 8, 8 + r);
        cairo_line_to(Cr(c), 8 - r, 8);
        cairo_close_path(Cr(c));
    };
    diamond(7.2);
    Fill(c, theme::kChassisEdge);
    diamond(6.0);
    c.FillVertical(2, 14, theme::kLitGlow, theme::kLit.Shade(-0.15));
    diamond(2.2);
    Fill(c, theme::kWhite.WithAlpha(0.75));
}

void EnvelopeHandle(const TArtCanvas& c) {
    Circle(c, 5.5, 5.5, 5.2);
    Fill(c, theme::kChassisEdge);
    Circle(c, 5.5, 5.5, 4.2);
    FillRadial(c, 4.6, 4.4, 5, theme::kWhite, TColour::Hex(0xC9BFDA));
    Circle(c, 5.5, 5.5, 1.6);
    Fill(c, theme::kAccent);
}

void PresetLamp(const TArtCanvas& c) {
    Circle(c, 4.5, 4.5, 4.4);
    Fill(c, kCapRim);
    Circle(c, 4.5, 4.5, 3.4);
    FillRadial(c, 3.8, 3.6, 4.2, kLedCore, theme::kLit.Shade(-0.1));
    Circle(c, 3.6, 3.3, 1.0);
    Fill(c, theme::kWhite.WithAlpha(0.8));
}

// ---------------------------------------------------------------------------------------------------------
// The keyboard: the same keys, at rest and pressed, in each half. Each key keeps its last column (which the
// control never copies from the pressed half) as the gap to its neighbour.

// The case above the keys: its lower edge follows the keys' tops in one smooth curve, so the keyboard reads
// as a keybed seen in perspective, and the keys slide under its lip. Both halves get the same case, so a
// pressed key copied from the right half meets it exactly.
void KeyboardCase(const TArtCanvas& c, const std::array<TKeyboardKey, TBADIBQuillonKeyboard::kKeys>& keys, double ox) {
    std::vector<std::pair<double, double>> tops; // the middle of each white key's top
    for (const TKeyboardKey& key : keys)
        if (key.colour == TKeyColour::White && !key.rect.Empty())
            tops.emplace_back(ox + key.rect.left + key.rect.Width() / 2.0, key.rect.top + 0.5);
    if (tops.empty()) return;
    std::sort(tops.begin(), tops.end());
    cairo_t* cr = c.Cr();
    const auto edge = [&] {
        cairo_line_to(cr, ox, tops.front().second);
        for (std::size_t i = 0; i + 1 < tops.size(); ++i) {
            const double mx = (tops[i].first + tops[i + 1].first) / 2;
            const double my = (tops[i].second + tops[i + 1].second) / 2;
            cairo_curve_to(cr, tops[i].first, tops[i].second, tops[i].first, tops[i].second, mx, my);
        }
        cairo_line_to(cr, tops.back().first, tops.back().second);
        cairo_line_to(cr, ox + 376, tops.back().second);
    };
    cairo_new_path(cr);
    cairo_move_to(cr, ox, 0);
    edge();
    cairo_line_to(cr, ox + 376, 0);
    cairo_close_path(cr);
    c.FillVertical(0, 14, theme::kChassisLight, theme::kChassis);
    // A soft shadow the lip throws on the keys, then its lit edge.
    cairo_new_path(cr);
    cairo_move_to(cr, ox, tops.front().second + 1.2);
    cairo_save(cr);
    cairo_translate(cr, 0, 1.2);
    edge();
    cairo_restore(cr);
    c.SetColour(theme::kBlack.WithAlpha(0.35));
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, ox, tops.front().second);
    edge();
    c.SetColour(theme::kWhite.WithAlpha(0.22));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

void Keyboard(const TArtCanvas& c) {
    const auto& keys = TBADIBQuillonKeyboard::Keys();
    for (int half = 0; half < 2; ++half) {
        const double ox = half * 376;
        const bool pressed = half == 1;
        for (const TKeyColour pass : {TKeyColour::White, TKeyColour::Black}) {
            for (const TKeyboardKey& key : keys) {
                const bool white = key.colour == TKeyColour::White;
                if (key.colour != pass || key.rect.Empty()) continue;
                const double l = ox + key.rect.left, t = key.rect.top;
                const double w = key.rect.Width(), h = key.rect.Height();
                if (white) {
                    c.FillRect(l + w - 1, t, 1, h, theme::kChassisEdge); // the gap
                    c.RoundedRect(l, t - 2, w - 1, h + 2, 2);
                    c.FillVertical(t, t + h, pressed ? TColour::Hex(0xF6DFB4) : kIvoryTop,
                                   pressed ? TColour::Hex(0xE2BE82) : kIvoryBottom);
                    // The lip of the case shades the key's top; a pressed key sinks under it.
                    c.FillRect(l, t, w - 1, pressed ? 3 : 1.5, theme::kBlack.WithAlpha(pressed ? 0.22 : 0.12));
                    c.FillRect(l, t + h - (pressed ? 1 : 2.5), w - 1, pressed ? 1 : 2.5, theme::kBlack.WithAlpha(0.14));
                    c.Line(l, t + (pressed ? 3 : 1.5), l, t + h - 1, theme::kWhite.WithAlpha(0.7));
                } else {
                    c.FillRect(l + w - 1, t, 1, h, theme::kChassisEdge.WithAlpha(0.85)); // side shadow
                    c.RoundedRect(l, t - 2, w - 1, h + 2, 1.5);
                    c.FillVertical(t, t + h, pressed ? TColour::Hex(0x4A3A66) : kEbonyTop,
                                   pressed ? TColour::Hex(0x231833) : kEbonyBottom);
                    // The bevelled front of the key, shorter when it is down.
                    const double lip = pressed ? 1.5 : 3;
                    c.RoundedRect(l + 1, t + h - lip - 1, w - 3, lip, 1);
                    Fill(c, (pressed ? TColour::Hex(0x7A5FA0) : TColour::Hex(0x5C5F68)).WithAlpha(0.8));
                    c.Line(l + 1, t, l + 1, t + h - lip - 1, theme::kWhite.WithAlpha(0.14));
                }
            }
        }
        KeyboardCase(c, keys, ox);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The analysis panel

void Analyzing(const TArtCanvas& c) {
    c.FillRect(0, 0, 257, 124, theme::kChassisEdge);
    c.RoundedRect(1, 1, 255, 122, 5);
    c.FillVertical(1, 123, TColour::Hex(0x30333B), TColour::Hex(0x1B1C21));
    c.Line(6, 1, 251, 1, theme::kWhite.WithAlpha(0.12));
    c.Text("Analyzing audio\u2026", 14, 24, TFace::SansBold, 13, TColour::Hex(0xF2EEE6));
    Led(c, 238, 19.5, 6, 6, 1.0);
    // The display glass with the harmonics found so far.
    c.RoundedRect(12, 33, 233, 62, 3);
    FillKeep(c, theme::kDisplay);
    cairo_new_path(Cr(c));
    for (int g = 1; g < 4; ++g)
        c.Line(13, 33 + g * 15.5, 244, 33 + g * 15.5, theme::kGrid.WithAlpha(0.18));
    for (int i = 0; i < 32; ++i) {
        const double n = i + 1;
        const double level = std::min(1.0, (0.95 / std::sqrt(n)) * (0.75 + 0.25 * std::cos(n * 1.7)));
        const double h = 4 + level * 50;
        const double x = 17 + i * 7.0;
        cairo_rectangle(Cr(c), x, 92 - h, 4, h);
        c.FillVertical(92 - h, 92, theme::kLitGlow.WithAlpha(0.95), kArc.Shade(0.1));
    }
    c.RoundedRect(12, 33, 233, 62, 3);
    Stroke(c, theme::kChassisEdge, 1);
    c.Text("Please wait", 14, 112, TFace::Sans, 10, TColour::Hex(0xA8A5AE));
    for (int i = 0; i < 3; ++i) {
        Circle(c, 232 + i * 6, 108.5, 1.5);
        Fill(c, theme::kLit.WithAlpha(1.0 - i * 0.3));
    }
}

} // namespace

bool DrawControlArt(const TSkinImage& image, TArtCanvas& canvas) {
    const TArtCanvas& c = canvas;
    switch (image.index) {
    case 2:
    case 15:
        EachFrame(image, c, [&](int f) { Knob(c, image.height, f / 100.0); });
        return true;
    case 3:
        EachFrame(image, c, [&](int f) { ToolDropDown(c, f); });
        return true;
    case 4:
    case 5:
        LoopHandle(c, image.index == 4);
        SettleEdges(c, theme::kDisplay);
        return true;
    case 6:
        EachFrame(image, c, [&](int f) { DropDownButton(c, f); });
        return true;
    case 7:
        EachFrame(image, c, [&](int f) { SpinButton(c, f); });
        return true;
    case 8:
        EachFrame(image, c, [&](int f) { StandardButton(c, f); });
        return true;
    case 9:
        EachFrame(image, c, [&](int f) { StandardButtonGlow(c, f); });
        return true;
    case 11:
        HarmonyHandle(c);
        SettleEdges(c, theme::kDisplay);
        return true;
    case 12:
        EachFrame(image, c, [&](int f) { EnvelopeButton(c, f); });
        return true;
    case 14:
        EnvelopeHandle(c);
        SettleEdges(c, theme::kAccent);
        return true;
    case 16:
        EachFrame(image, c, [&](int f) { WordToggle(c, f, "LEVEL", "PHASE"); });
        return true;
    case 17:
        EachFrame(image, c, [&](int f) { WordToggle(c, f, "UNLINKED", "LINKED"); });
        return true;
    case 18:
        EachFrame(image, c, [&](int f) { MidiButton(c, f); });
        SettleEdges(c, theme::kChassis);
        return true;
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
        EachFrame(image, c, [&](int f) { PageButton(image, c, f); });
        if (image.keyed) SettleEdges(c, theme::kChassis);
        return true;
    case 30:
        EachFrame(image, c, [&](int f) { ScrollButton(c, f, 1); });
        return true;
    case 31:
        EachFrame(image, c, [&](int f) { ScrollButton(c, f, -1); });
        return true;
    case 32:
        EachFrame(image, c, [&](int f) { WordToggle(c, f, "BANK 1", "BANK 2"); });
        return true;
    case 33:
        Keyboard(c);
        SettleEdges(c, theme::kChassis);
        return true;
    case 34:
        Analyzing(c);
        return true;
    case 35:
        PresetLamp(c);
        return true;
    default:
        return false;
    }
}

} // namespace quillon::skingen
