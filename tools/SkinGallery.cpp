#include "SkinGallery.h"

#include "editor/SkinTable.h"
#include "toolkit/TBADIBButton.h"
#include "toolkit/TBADIBDropDownMenu.h"
#include "toolkit/TBADIBKnob.h"
#include "toolkit/TBADIBQuillonKeyboard.h"
#include "toolkit/TBADIBSpin.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBRangeControl.h"
#include "toolkit/THookEdit.h"
#include "toolkit/TPatchListBox.h"
#include "toolkit/TPopupMenu.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

namespace {

constexpr TPixel kBackground = Rgb(112, 114, 118);
constexpr TPixel kTitleColour = Rgb(255, 255, 255);
constexpr TPixel kLabelColour = Rgb(226, 228, 232);
constexpr TPixel kControlText = Rgb(235, 235, 235);
constexpr TPixel kTrack = Rgb(60, 62, 66);

const TGlyphAtlas& RequireFont(const TEditorSkin& skin, const char* name) {
    const TGlyphAtlas* font = skin.Font(name);
    if (!font) throw TSkinArchiveError(std::string("The skin lacks the font \"") + name + "\".");
    return *font;
}

// The sheet under construction: a root container holding every control, the menu layer on top and the
// labels painted straight into the buffer.
class TGallery {
public:
    explicit TGallery(const TEditorSkin& skin)
        : skin_(skin), title_(RequireFont(skin, "Sans Bold 11")), label_(RequireFont(skin, "Sans 10")),
          narrow_(RequireFont(skin, "Narrow 10")), pixel_(RequireFont(skin, "Pixel 8")),
          buffer_(kGalleryWidth * skin.Scale(), kGalleryHeight * skin.Scale(), kBackground),
          painter_(buffer_, skin.Scale()), root_(TRect::FromSize(0, 0, kGalleryWidth, kGalleryHeight)) {
        root_.SetDIBImageList(&skin.Images());
        layer_.Style.atlas = &label_;
        root_.SetMenuLayer(&layer_);
    }

    TPixelBuffer Draw() {
        Title(12, 18,
              "Quillon skin at scale " + std::to_string(skin_.Scale()) +
                  ": every control class of the toolkit, drawn with the embedded images and fonts");
        Knobs(12, 30);
        Panels(700, 30);
        Buttons(12, 128);
        SpinsAndDropDowns(12, 392);
        Envelope(12, 452);
        Range(370, 452);
        Keyboard(12, 604);
        PopupMenu(560, 392);
        Lists(560, 540);
        root_.Paint(painter_);
        return std::move(buffer_);
    }

private:
    template <typename T> T& Add(const TRect& bounds, TDIBImageContainer* parent = nullptr) {
        auto control = std::make_unique<T>(bounds);
        T& result = *control;
        result.SetDIBImageList(&skin_.Images());
        (parent ? *parent : root_).Add(result);
        controls_.push_back(std::move(control));
        return result;
    }

    void Title(int x, int baseline, const std::string& text) {
        painter_.DrawText(title_, text, x, baseline, kTitleColour);
    }
    void Label(int x, int baseline, const std::string& text) {
        painter_.DrawText(label_, text, x, baseline, kLabelColour);
    }
    // A label centred on a control `width` wide at x.
    void LabelUnder(int x, int width, int baseline, const std::string& text) {
        Label(x + (width - label_.TextWidth(text)) / 2, baseline, text);
    }

    void Knobs(int x, int y) {
        Title(x, y + 12, "TBADIBKnob");
        int left = x;
        for (const int image : {2, 15}) {
            const TSkinImage& strip = SkinImage(image);
            Label(left, y + 30, strip.name);
            for (const int percent : {0, 50, 100}) {
                auto& knob = Add<TBADIBKnob>(TRect::FromSize(left, y + 36, strip.FrameWidth(), strip.FrameHeight()));
                knob.SetFrames(strip.frames);
                knob.SetIndexMain(image);
                knob.SetPosition(percent);
                LabelUnder(left, strip.FrameWidth(), y + 50 + 38, std::to_string(percent) + " %");
                left += strip.FrameWidth() + 22;
            }
            left += 20;
        }
    }

    // The loading lamp and the analyzing panel: plain images, in image containers.
    void Panels(int x, int y) {
        Title(x - 300, y + 12, "TDIBImageContainer");
        const TSkinImage& lamp = SkinImage(35);
        Label(x - 300, y + 30, lamp.name);
        Add<TDIBImageContainer>(TRect::FromSize(x - 300, y + 40, lamp.width, lamp.height)).SetIndexMain(35);
        const TSkinImage& panel = SkinImage(34);
        Label(x, y + 12, panel.name);
        Add<TDIBImageContainer>(TRect::FromSize(x, y + 18, panel.width, panel.height)).SetIndexMain(34);
    }

    // A button of `image` in `state`: off and on are set, the pressed states are reached by a press.
    TBADIBButton& Button(int x, int y, int image, int state) {
        const TSkinImage& strip = SkinImage(image);
        auto& button = Add<TBADIBButton>(TRect::FromSize(x, y, strip.FrameWidth(), strip.FrameHeight()));
        if (image == 8) {
            button.SetEffectLayer(9);
            button.SetEffectOpacity(127);
        }
        button.ButtonBehavior = TButtonBehavior::bbHold;
        button.SetIndexMain(image);
        button.SetActive(state >= 2);
        if (state == 1 || state == 3) button.MouseDown(TMouseEvent{1, 1, TMouseButton::Left, false, false});
        return button;
    }

    // The four states of the buttons of `image` side by side, named above and numbered below; returns the
    // x after the group.
    int ButtonStates(int x, int y, int image, const char* caption) {
        const TSkinImage& strip = SkinImage(image);
        const int step = std::max(strip.FrameWidth() + 6, 22);
        Label(x, y + 10, caption);
        for (int state = 0; state < TBADIBButton::kFrames; ++state) {
            Button(x + state * step, y + 16, image, state);
            LabelUnder(x + state * step, strip.FrameWidth(), y + 16 + strip.FrameHeight() + 12, std::to_string(state));
        }
        return x + std::max(4 * step, label_.TextWidth(caption)) + 16;
    }

    void Buttons(int x, int y) {
        Title(x, y + 12, "TBADIBButton: states 0 off, 1 switching on, 2 on, 3 switching off");
        int left = ButtonStates(x, y + 18, 8, "Standard (with St button fx at 127)");
        left = ButtonStates(left, y + 18, 12, "Envelope");
        ButtonStates(left, y + 18, 18, "Midi");
        left = x;
        for (const auto& [image, caption] : std::array<std::pair<int, const char*>, 5>{
                 {{30, "Scroll down"}, {31, "Scroll up"}, {32, "Bank selector"}, {16, "Level-phase"}, {17, "Linked"}}})
            left = ButtonStates(left, y + 84, image, caption);
        // The six page selectors, off and on.
        Label(x, y + 148, "Page selectors, off and on");
        constexpr std::array<const char*, 6> kPages{"Amp & Filter", "Osc", "LFO", "Midi & Voices", "FX", "Presets"};
        for (int page = 0; page < 6; ++page) {
            const int image = 19 + page;
            const int pairX = x + page * 126;
            Button(pairX, y + 154, image, 0);
            Button(pairX + 58, y + 154, image, 2);
            LabelUnder(pairX, 114, y + 154 + 52 + 12, kPages[static_cast<std::size_t>(page)]);
        }
    }

    void SpinsAndDropDowns(int x, int y) {
        Title(x, y + 12, "Spins and drop-downs");
        const int top = y + 20;
        auto spin = [&](TBACustomDIBSpin& control, int left, const char* name) {
            control.Font = TDIBFont{&label_, kControlText};
            control.SetArrows(7);
            LabelUnder(left, control.Width(), top + 30, name);
        };
        auto& number = Add<TBADIBSpin>(TRect::FromSize(x, top, 45, 15));
        number.SetMin(1);
        number.SetMax(8);
        number.SetPosition(4);
        spin(number, x, "TBADIBSpin");
        auto& channel = Add<TBAMidiChSelector>(TRect::FromSize(x + 110, top, 45, 15));
        channel.SetPosition(0);
        spin(channel, x + 110, "TBAMidiChSelector");
        auto& note = Add<TBADIBSpinNote>(TRect::FromSize(x + 220, top, 45, 15));
        note.SetPosition(48);
        spin(note, x + 220, "TBADIBSpinNote");

        auto& value = Add<TBADIBDropDownMenu>(TRect::FromSize(x + 310, top, 98, 15));
        value.Font = TDIBFont{&label_, kControlText};
        value.SetButton(6);
        value.SetCaption("Lowpass 12");
        LabelUnder(x + 310, 98, top + 30, "TBADIBDropDownMenu");
        auto& tool = Add<TBADIBDropDownMenu>(TRect::FromSize(x + 450, top, 51, 13));
        tool.Font = TDIBFont{&pixel_, Rgb(0, 0, 0)}; // the tool drop-downs' black pixel font
        tool.AllCaps = true;
        tool.SetYCorrection(1);
        tool.SetIndexMain(3);
        tool.SetAlignInFreeSpace(false);
        tool.SetAlignment(TSpinAlignment::taCenter);
        tool.SetCaption("EDIT");
        LabelUnder(x + 450, 51, top + 30, "(tool)");
    }

    void Envelope(int x, int y) {
        Title(x, y + 12, "TDIBEnvelope on the envelope timeline");
        const TSkinImage& timeline = SkinImage(13);
        auto& back = Add<TDIBImageContainer>(TRect::FromSize(x, y + 20, 340, timeline.height));
        back.SetIndexMain(13);
        auto& envelope = Add<TDIBEnvelope>(TRect::FromSize(0, 0, 340, timeline.height), &back);
        envelope.SetPointImage(14);
        envelope.SetFillBrush(TBrush{Rgb(90, 160, 230), true});
        envelope.SetFillPen(TPen{Rgb(200, 230, 255), 1.0f, true});
        envelope.SetLinePen(TPen{Rgb(255, 255, 255), 1.0f, true});
        envelope.SetFillOpacity(110);
        envelope.SetPointOpacity(180);
        constexpr std::array<std::array<double, 2>, 5> kPoints{{{0, 100}, {12, 8}, {35, 45}, {70, 45}, {100, 100}}};
        for (const auto& [px, py] : kPoints)
            envelope.AddPoint(px, py);
        envelope.SetSelectedPoint(envelope.Point(2));
        Label(x, y + 20 + timeline.height + 14, "5 points, the third selected");
    }

    void Range(int x, int y) {
        Title(x, y + 12, "TDIBRangeControl");
        const TRect bar = TRect::FromSize(x, y + 24, 170, 16);
        painter_.FillRect(bar, kTrack);
        auto& range = Add<TDIBRangeControl>(bar);
        range.SetLeftHandle(4);
        range.SetRightHandle(5);
        range.SetHandleAlign(THandleAlign::haBottom);
        range.SetLeftPos(20);
        range.SetRightPos(75);
        Label(x, y + 56, "Loop start and Loop End handles");
    }

    void Keyboard(int x, int y) {
        Title(x, y + 12, "TBADIBQuillonKeyboard, one key pressed");
        const TSkinImage& keys = SkinImage(33);
        auto& keyboard = Add<TBADIBQuillonKeyboard>(TRect::FromSize(x, y + 20, keys.FrameWidth(), keys.height));
        keyboard.SetIndexMain(33);
        keyboard.SetKeyPressed(21);
        Label(x, y + 20 + keys.height + 14, "Key 21 (note " + TBADIBSpinNote::NoteName(keyboard.Note()) + ")");
    }

    void PopupMenu(int x, int y) {
        Title(x, y + 12, "TPopupMenu in a TMenuLayer: a checked item and an open sub-menu");
        TMenuItem& items = menu_.Items;
        items.Add(1, "Lowpass 12").SetChecked(true);
        items.Add(2, "Lowpass 24");
        items.Add(3, "Bandpass 12");
        items.AddSeparator();
        items.Add(4, "Highpass 12");
        TMenuItem& more = items.Add(5, "More filters");
        more.Add(6, "Notch");
        more.Add(7, "Comb");
        more.Add(8, "Formant \xC9");
        layer_.Open(menu_, x, y + 20);
        const TRect row = layer_.ItemRect(0, 5);
        router_.MouseMove(TMouseEvent{(row.left + row.right) / 2, (row.top + row.bottom) / 2});
    }

    void Lists(int x, int y) {
        Title(x, y + 12, "TPatchListBox, TBAListBox, THookEdit");
        auto& patches = Add<TPatchListBox>(TRect::FromSize(x, y + 20, 220, 96));
        patches.Font = &label_;
        patches.SetPrograms(128);
        constexpr std::array<const char*, 6> kNames{"Warm Pad",   "Glass Bells", "Choir \xC9t\xE9",
                                                    "Bass Pluck", "Strings",     "Sweep"};
        for (std::size_t r = 0; r < kNames.size(); ++r)
            patches.SetProgramName(static_cast<int>(r), kNames[r]);
        patches.SetItemIndex(2);
        auto& banks = Add<TBAListBox>(TRect::FromSize(x + 232, y + 20, 120, 96));
        banks.Font = &label_;
        for (TBAListBox* list : {static_cast<TBAListBox*>(&patches), &banks}) {
            // The presets page's row colours.
            list->LineColorOdd = Rgb(0xEF, 0xE7, 0xD2);
            list->LineColorEven = Rgb(0xCE, 0xC7, 0xB4);
            list->LineColorSelected = Rgb(0x2A, 0xC4, 0x24);
            list->FontSelectedColor = Rgb(255, 255, 255);
        }
        for (const char* bank : {"Factory", "User 1", "User 2", "Imported"})
            banks.AddItem(bank);
        banks.SetItemIndex(1);
        Label(x, y + 130, "Patch list, row 3 selected; bank list, row 2");

        auto& edit = Add<THookEdit>(TRect::FromSize(x + 364, y + 20, 62, 16));
        edit.Font = &narrow_;
        edit.SetText("Warm Pad");
        edit.Activate();
        edit.SetSelection(5, 3);
        Label(x + 364, y + 50, "editing");
    }

    const TEditorSkin& skin_;
    const TGlyphAtlas& title_;
    const TGlyphAtlas& label_;
    const TGlyphAtlas& narrow_;
    const TGlyphAtlas& pixel_;
    TPixelBuffer buffer_;
    TPainter painter_;
    TMenuLayer layer_;
    TPopupMenu menu_;
    TDIBImageContainer root_;
    TMouseRouter router_{root_};
    std::vector<std::unique_ptr<TDIBControl>> controls_;
};

} // namespace

TPixelBuffer DrawSkinGallery(const TEditorSkin& skin) {
    TGallery gallery(skin);
    return gallery.Draw();
}

} // namespace quillon
