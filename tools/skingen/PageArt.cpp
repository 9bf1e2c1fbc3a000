// The art of the backgrounds: the chassis, the six pages with their framed sections and printed captions,
// the harmony and envelope time lines and the harmony inspector. Everything printed on a page is placed
// from the layout (controls, captions, sections, legends), so the art follows the form when it moves.
#include "SkinArt.h"
#include "Theme.h"

#include "editor/LayoutTable.h"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

namespace quillon::skingen {

namespace {

using namespace theme;

// The pages' own shades: a lighter face for the sections and the fields the values are printed in.
constexpr TColour kSectionFace = TColour::Hex(0xEEEBE3);
constexpr TColour kFieldFace = TColour::Hex(0xF8F6F1);
constexpr TColour kFieldShadow = TColour::Hex(0x8A8377);
constexpr TColour kDisplayTop = TColour::Hex(0x262931);
constexpr TColour kDisplayLabel = TColour::Hex(0xB5B0A2);
constexpr TColour kEngraving = TColour::Hex(0xA9ABB3); // light print on the chassis
constexpr TColour kLogo = TColour::Hex(0xECE8DE);

constexpr double kPi = std::numbers::pi;

// The time lines: 100 pixels per second; a point at time 0 has its centre this far from the left edge
// (the envelope's or harmony line's left edge plus half its point image).
constexpr double kPixelsPerSecond = 100;
constexpr double kEnvelopeZeroX = 10.5;
constexpr double kHarmonyZeroX = 11.5;
constexpr int kSeconds = 20;

void Fill(const TArtCanvas& canvas, const TColour& colour) {
    canvas.SetColour(colour);
    cairo_fill(canvas.Cr());
}

void Stroke(const TArtCanvas& canvas, const TColour& colour, double width = 1.0) {
    canvas.SetColour(colour);
    cairo_set_line_width(canvas.Cr(), width);
    cairo_stroke(canvas.Cr());
}

// A recessed field of the page: light face, shaded top and left inner edge, light lower rim outside.
void Field(const TArtCanvas& canvas, const TLayoutRect& r, const TColour& face = kFieldFace) {
    canvas.RoundedRect(r.x - 0.5, r.y - 0.5, r.w + 1, r.h + 1, 2);
    Fill(canvas, kWhite.WithAlpha(0.55));
    canvas.RoundedRect(r.x - 1, r.y - 1, r.w + 1, r.h + 1, 2);
    Fill(canvas, kFieldShadow.WithAlpha(0.55));
    canvas.FillRect(r.x, r.y, r.w, r.h, face);
    canvas.Line(r.x, r.y + 0.5, r.x + r.w, r.y + 0.5, kBlack.WithAlpha(0.10));
    canvas.Line(r.x + 0.5, r.y + 1, r.x + 0.5, r.y + r.h, kBlack.WithAlpha(0.06));
}

// A dark window sunk into the page, `r` being the glass; the bezel lies outside it.
void DisplayWell(const TArtCanvas& canvas, const TLayoutRect& r) {
    canvas.RoundedRect(r.x - 2, r.y - 2, r.w + 4, r.h + 4, 3);
    canvas.FillVertical(r.y - 2, r.y + r.h + 2, kBlack.WithAlpha(0.30), kWhite.WithAlpha(0.8));
    canvas.RoundedRect(r.x - 1.5, r.y - 1.5, r.w + 3, r.h + 3, 2.5);
    Fill(canvas, kChassisEdge);
    canvas.RoundedRect(r.x, r.y, r.w, r.h, 1);
    canvas.FillVertical(r.y, r.y + r.h, kDisplayTop, kDisplay);
}

// A section: a lighter face in an engraved groove whose top line the title interrupts.
void Section(const TArtCanvas& canvas, const TSection& section) {
    cairo_t* cr = canvas.Cr();
    const TLayoutRect& r = section.rect;
    const double radius = 4;
    canvas.RoundedRect(r.x + 0.5, r.y + 0.5, r.w - 1, r.h - 1, radius);
    canvas.FillVertical(r.y, r.y + r.h, kSectionFace.Shade(0.25), kSectionFace.Shade(-0.02));
    // The groove: a dark line with a light one below and right of it, open where the title is.
    const double gapLeft = section.titleRect.x, gapRight = section.titleRect.x + section.titleRect.w;
    for (const int pass : {1, 0}) {
        const double x0 = r.x + 0.5 + pass, y0 = r.y + 0.5 + pass;
        const double x1 = r.x + r.w - 1.5 + pass, y1 = r.y + r.h - 1.5 + pass;
        cairo_new_path(cr);
        cairo_move_to(cr, gapRight, y0);
        cairo_arc(cr, x1 - radius, y0 + radius, radius, -kPi / 2, 0);
        cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, kPi / 2);
        cairo_arc(cr, x0 + radius, y1 - radius, radius, kPi / 2, kPi);
        cairo_arc(cr, x0 + radius, y0 + radius, radius, kPi, 3 * kPi / 2);
        cairo_line_to(cr, gapLeft, y0);
        Stroke(canvas, pass == 1 ? kWhite.WithAlpha(0.85) : kSectionFrame);
    }
    canvas.Text(section.title, section.titleRect.x + 3, r.y + 3.5, TFace::NarrowBold, 8.5, kInk);
}

// Dots around a knob of radius `radius` from 7 to 5 o'clock.
void KnobScale(const TArtCanvas& canvas, double cx, double cy, double radius, int steps, double dot,
               const TColour& colour) {
    for (int i = 0; i <= steps; ++i) {
        const double angle = kPi * (0.75 + 1.5 * i / steps);
        cairo_new_path(canvas.Cr());
        const double size = (i == 0 || i == steps || i * 2 == steps) ? dot * 1.4 : dot;
        cairo_arc(canvas.Cr(), cx + radius * std::cos(angle), cy + radius * std::sin(angle), size, 0, 2 * kPi);
        Fill(canvas, colour);
    }
}

void Captions(const TArtCanvas& canvas, std::string_view page) {
    for (const TCaption& caption : CaptionsOf(page))
        canvas.Text(caption.text, caption.rect.x + caption.rect.w / 2.0, caption.rect.y + 8, TFace::Narrow, 8.5,
                    kInk.WithAlpha(0.9), TAlign::Centre);
}

void Legends(const TArtCanvas& canvas, std::string_view page, const TColour& colour) {
    for (const TLegend& legend : LegendsOf(page))
        canvas.Text(legend.text, legend.rect.x, legend.rect.y + 8, TFace::NarrowBold, 8, colour);
}

// Behind the controls: the fields the values are printed in, the wells of the display windows and lists,
// the scales of the knobs and a faint shadow under the opaque tool buttons.
void ControlBeds(const TArtCanvas& canvas, std::string_view page) {
    for (const TControlLayout* control : ControlsOf(page)) {
        if (InsideWindow(*control)) continue;
        const TLayoutRect r = RectOnPage(*control);
        switch (control->kind) {
        case TControlClass::TBADIBDropDownMenu:
            if (control->settings.dropDown == TDropDownKind::Value)
                Field(canvas, r);
            else
                canvas.FillRect(r.x + 1, r.y + r.h, r.w - 1, 1, kBlack.WithAlpha(0.18));
            break;
        case TControlClass::TBADIBSpin:
        case TControlClass::TBAMidiChSelector:
        case TControlClass::TBADIBSpinNote:
        case TControlClass::TLabel:
            Field(canvas, r);
            break;
        case TControlClass::TBADIBKnob:
            if (control->rect.w < 30)
                KnobScale(canvas, r.x + r.w / 2.0, r.y + r.h / 2.0, 14.2, 10, 0.55, kInkSoft.WithAlpha(0.75));
            break;
        case TControlClass::TBADIBButton:
            if (control->rect.h == 13) canvas.FillRect(r.x + 1, r.y + r.h, r.w - 1, 1, kBlack.WithAlpha(0.18));
            break;
        case TControlClass::TChart:
            if (control->rect.h < 30)
                Field(canvas, r); // the LFO scopes draw their line on the page
            else
                DisplayWell(canvas, r);
            break;
        case TControlClass::TPatchListBox:
            DisplayWell(canvas, r);
            break;
        case TControlClass::TDIBImageContainer:
        case TControlClass::TDIBContainer:
            if (IsWindow(*control)) DisplayWell(canvas, r);
            break;
        default:
            break;
        }
    }
}

// The presets page's heading over its lists, and how its two program lists divide the 128 programs.
void LibraryHeading(const TArtCanvas& canvas) {
    const TLayoutRect lists = FindControl("PatchListBank1")->rect;
    canvas.Text("PRESET LIBRARY", lists.x, 52, TFace::SansBold, 17, kInk);
    canvas.FillRect(lists.x, 60, 150, 1.5, kLit);
    canvas.Text("128 programs in two banks of 64, and the bank files of your bank folder.", lists.x, 78, TFace::Sans,
                10, kInkSoft);
    canvas.Text("BANK 1 shows programs 1\u201364, BANK 2 programs 65\u2013128.", lists.x, lists.Bottom() + 40,
                TFace::Sans, 9.5, kInkSoft);
}

void DrawPage(const TSkinImage& image, TArtCanvas& canvas, const char* page) {
    const double w = image.width, h = image.height;
    canvas.FillRect(0, 0, w, h, kPanel);
    cairo_rectangle(canvas.Cr(), 0, 0, w, h);
    canvas.FillVertical(0, h, kPanel.Shade(0.22), kPanelShade);
    // The page's own bevel: lit top and left edge, shaded bottom and right.
    canvas.Line(0, 0.5, w, 0.5, kWhite.WithAlpha(0.7));
    canvas.Line(0.5, 0, 0.5, h, kWhite.WithAlpha(0.5));
    canvas.Line(0, h - 0.5, w, h - 0.5, kBlack.WithAlpha(0.25));
    canvas.Line(w - 0.5, 0, w - 0.5, h, kBlack.WithAlpha(0.2));
    for (const TSection& section : SectionsOf(page))
        Section(canvas, section);
    ControlBeds(canvas, page);
    Captions(canvas, page);
    Legends(canvas, page, kInk);
    if (std::string_view(page) == "PresetsPage") LibraryHeading(canvas);
}

// A screw head sunk into the chassis.
void Screw(const TArtCanvas& canvas, double cx, double cy) {
    cairo_t* cr = canvas.Cr();
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, 4.5, 0, 2 * kPi);
    Fill(canvas, kChassisEdge);
    cairo_arc(cr, cx, cy, 3.6, 0, 2 * kPi);
    canvas.FillVertical(cy - 4, cy + 4, kChassisLight.Shade(0.35), kChassis.Shade(-0.2));
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, 0.6);
    cairo_move_to(cr, -2.6, 0);
    cairo_line_to(cr, 2.6, 0);
    cairo_restore(cr);
    Stroke(canvas, kChassisEdge, 1.1);
}

// A groove in the chassis around `r` (its content lies inside).
void ChassisWell(const TArtCanvas& canvas, double x, double y, double w, double h, double radius) {
    canvas.RoundedRect(x - 1, y - 1, w + 2, h + 2, radius + 1);
    canvas.FillVertical(y - 1, y + h + 1, kBlack.WithAlpha(0.5), kWhite.WithAlpha(0.12));
    canvas.RoundedRect(x, y, w, h, radius);
    canvas.FillVertical(y, y + h, kChassisEdge, kChassis.Shade(-0.3));
}

void DrawChassis(const TSkinImage& image, TArtCanvas& canvas) {
    cairo_t* cr = canvas.Cr();
    const double w = image.width, h = image.height;
    cairo_rectangle(cr, 0, 0, w, h);
    canvas.FillVertical(0, h, kChassisLight, kChassis.Shade(-0.15));
    // Brushed texture: faint horizontal streaks.
    for (int y = 1; y < image.height; y += 2)
        canvas.Line(0, y, w, y, kWhite.WithAlpha(((y * 7919) % 13) / 13.0 * 0.018));
    canvas.Line(0, 0.5, w, 0.5, kWhite.WithAlpha(0.25));
    canvas.Line(0.5, 0, 0.5, h, kWhite.WithAlpha(0.15));
    canvas.Line(0, h - 0.5, w, h - 0.5, kBlack.WithAlpha(0.6));
    canvas.Line(w - 0.5, 0, w - 0.5, h, kBlack.WithAlpha(0.5));

    // The page opening with its bezel, and the page area itself as the pages' panel.
    const TLayoutRect page = FindControl(kPageIds[0])->rect;
    ChassisWell(canvas, page.x - 3, page.y - 3, page.w + 6, page.h + 6, 3);
    canvas.FillRect(page.x, page.y, page.w, page.h, kPanel);

    // The page selector column and the MIDI buttons below it.
    const TLayoutRect first = FindControl("PageSelectorOsc")->rect;
    const TLayoutRect last = FindControl("PageSelectorPresets")->rect;
    ChassisWell(canvas, first.x - 3, first.y - 3, first.w + 6, last.Bottom() - first.y + 6, 4);
    canvas.Text("PAGES", first.x + first.w / 2.0, first.y - 8, TFace::NarrowBold, 8, kEngraving, TAlign::Centre);
    const TLayoutRect learn = FindControl("MidiLearnButton")->rect;
    canvas.Text("MIDI", learn.x + learn.w / 2.0, learn.y - 1, TFace::NarrowBold, 8, kEngraving, TAlign::Centre);
    Legends(canvas, kPrimaryContainer, kEngraving);

    // The keyboard in its key bed.
    const TLayoutRect keys = FindControl("KeyboardControl")->rect;
    ChassisWell(canvas, keys.x - 3, keys.y - 2, keys.w + 6, h - keys.y + 2 + 2, 2);

    // Master level and pan: scales and captions above the knobs, the ends of the scales named beside them.
    for (const char* id : {"MasterLevelKnob", "PanKnob"}) {
        const TLayoutRect knob = FindControl(id)->rect;
        const double cx = knob.x + knob.w / 2.0, cy = knob.y + knob.h / 2.0;
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy + 1, knob.w / 2.0 + 1, 0, 2 * kPi);
        Fill(canvas, kBlack.WithAlpha(0.35));
        KnobScale(canvas, cx, cy, knob.w / 2.0 + 4, 10, 0.8, kEngraving);
        const bool pan = std::string_view(id) == "PanKnob";
        canvas.Text(pan ? "PAN" : "MASTER", cx, knob.y - 9, TFace::NarrowBold, 8.5, kEngraving, TAlign::Centre);
        const double side = knob.w / 2.0 + 11;
        canvas.Text(pan ? "L" : "0", cx - side, cy + 12, TFace::Narrow, 7.5, kEngraving, TAlign::Centre);
        canvas.Text(pan ? "R" : "10", cx + side, cy + 12, TFace::Narrow, 7.5, kEngraving, TAlign::Centre);
    }

    // The manual: a question mark in a ring with its word under it.
    const TLayoutRect manual = FindControl("ManualLink")->rect;
    const double mx = manual.x + manual.w / 2.0, my = manual.y + 16;
    cairo_new_path(cr);
    cairo_arc(cr, mx, my, 12, 0, 2 * kPi);
    canvas.FillVertical(my - 12, my + 12, kBlack.WithAlpha(0.45), kWhite.WithAlpha(0.1));
    cairo_arc(cr, mx, my, 10.5, 0, 2 * kPi);
    canvas.FillVertical(my - 11, my + 11, kChassisLight.Shade(0.1), kChassis.Shade(-0.2));
    canvas.Text("?", mx, my + 6, TFace::SansBold, 17, kEngraving, TAlign::Centre);
    canvas.Text("MANUAL", mx, manual.y + 42, TFace::NarrowBold, 8, kEngraving, TAlign::Centre);

    // The name plate.
    const TLayoutRect logo = FindControl("WebLink")->rect;
    const double lx = logo.x + logo.w / 2.0;
    canvas.Text("QUILLON", lx + 0.6, logo.y + 19.6, TFace::SansBold, 21, kBlack.WithAlpha(0.55), TAlign::Centre);
    canvas.Text("QUILLON", lx, logo.y + 19, TFace::SansBold, 21, kLogo, TAlign::Centre);
    canvas.Line(logo.x + 6, logo.y + 22.5, logo.x + logo.w - 6, logo.y + 22.5, kLit.WithAlpha(0.8));
    canvas.Text("HARMONIC SYNTHESIZER", lx, logo.y + 29.5, TFace::Narrow, 7.5, kEngraving, TAlign::Centre);

    for (const double x : {8.0, w - 8})
        for (const double y : {8.0, h - 8})
            Screw(canvas, x, y);
}

// The ticks and second labels of a time line: a faint line each second over the whole height, a tick
// each tenth of a second and each second at the top of the label strip that starts at `strip`.
void TimeScale(const TArtCanvas& canvas, double zeroX, double top, double strip, double height) {
    canvas.FillRect(0, strip, canvas.Width(), height - strip, kBlack.WithAlpha(0.25));
    canvas.Line(0, strip + 0.5, canvas.Width(), strip + 0.5, kGrid.WithAlpha(0.45));
    for (int tenth = 0; tenth <= kSeconds * 10; ++tenth) {
        const double x = std::floor(zeroX + tenth * kPixelsPerSecond / 10) + 0.5;
        const bool second = tenth % 10 == 0;
        if (second)
            canvas.Line(x, top, x, strip, kGrid.WithAlpha(tenth % 50 == 0 ? 0.22 : 0.13));
        else if (tenth % 5 == 0)
            canvas.Line(x, top, x, strip, kGrid.WithAlpha(0.05));
        canvas.Line(x, strip + 1, x, strip + (second ? 4 : 2.5), kGrid.WithAlpha(second ? 0.9 : 0.55));
        if (second)
            canvas.Text(std::to_string(tenth / 10) + "s", x, height - 2.5, TFace::Narrow, 8, kDisplayLabel,
                        TAlign::Centre);
    }
}

void DrawDisplayGlass(TArtCanvas& canvas, double w, double h) {
    canvas.FillRect(0, 0, w, h, kDisplay);
    cairo_rectangle(canvas.Cr(), 0, 0, w, h);
    canvas.FillVertical(0, h, kDisplayTop, kDisplay);
}

void DrawEnvelopeTimeline(const TSkinImage& image, TArtCanvas& canvas) {
    const double w = image.width, h = image.height;
    DrawDisplayGlass(canvas, w, h);
    // The loop handles' row at the top.
    canvas.FillRect(0, 0, w, 11, kBlack.WithAlpha(0.18));
    canvas.Line(0, 11.5, w, 11.5, kGrid.WithAlpha(0.18));
    // Level lines at the envelope's top, quarters and bottom (point centres 17.5 … 89.5).
    const TControlLayout& envelope = *FindControl("AmplifierEnvelopeControl");
    const TSkinImage& point = SkinImage(envelope.image);
    const double top = envelope.rect.y + point.height / 2.0;
    const double span = envelope.rect.h - point.height;
    for (int quarter = 0; quarter <= 4; ++quarter) {
        const double y = std::floor(top + span * quarter / 4) + 0.5;
        canvas.Line(0, y, w, y, kGrid.WithAlpha(quarter == 0 || quarter == 4 ? 0.14 : 0.07));
    }
    TimeScale(canvas, kEnvelopeZeroX, 12, 96, h);
}

void DrawHarmonyTimeline(const TSkinImage& image, TArtCanvas& canvas) {
    const double w = image.width, h = image.height;
    DrawDisplayGlass(canvas, w, h);
    canvas.FillRect(0, 0, w, 11, kBlack.WithAlpha(0.18));
    canvas.Line(0, 11.5, w, 11.5, kGrid.WithAlpha(0.18));
    // The lane the harmonies sit on.
    const TLayoutRect lane = FindControl("HarmonyEnv")->rect;
    canvas.Line(0, lane.y + lane.h / 2.0 + 0.5, w, lane.y + lane.h / 2.0 + 0.5, kGrid.WithAlpha(0.16));
    TimeScale(canvas, kHarmonyZeroX, 12, 37, h);
}

// The inspector's chart: 0 dB at the top, −90 dB just above the chart's label strip, a line each 20 dB.
void DrawInspectorBackground(const TSkinImage& image, TArtCanvas& canvas) {
    const double w = image.width, h = image.height;
    DrawDisplayGlass(canvas, w, h);
    const double zero = 3, bottom = h - 14;
    canvas.FillRect(0, bottom, w, h - bottom, kBlack.WithAlpha(0.25));
    canvas.Line(0, bottom + 0.5, w, bottom + 0.5, kGrid.WithAlpha(0.5));
    for (int db = 0; db >= -80; db -= 20) {
        const double y = std::floor(zero + (bottom - zero) * -db / 90.0) + 0.5;
        canvas.Line(0, y, w, y, kGrid.WithAlpha(db == 0 ? 0.45 : 0.3));
    }
    for (int column = 1; column < 10; ++column) {
        const double x = std::floor(w * column / 10) + 0.5;
        canvas.Line(x, zero, x, bottom, kGrid.WithAlpha(0.07));
    }
}

} // namespace

bool DrawPageArt(const TSkinImage& image, TArtCanvas& canvas) {
    if (image.index == 0) {
        DrawChassis(image, canvas);
        return true;
    }
    if (image.index == 10) {
        DrawHarmonyTimeline(image, canvas);
        return true;
    }
    if (image.index == 13) {
        DrawEnvelopeTimeline(image, canvas);
        return true;
    }
    if (image.index == kHarmonyInspectorBackground) {
        DrawInspectorBackground(image, canvas);
        return true;
    }
    for (const char* page : kPageIds)
        if (FindControl(page)->image == image.index) {
            DrawPage(image, canvas, page);
            return true;
        }
    return false;
}

} // namespace quillon::skingen
