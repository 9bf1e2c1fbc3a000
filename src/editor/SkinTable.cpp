#include "editor/SkinTable.h"

#include <array>

namespace quillon {

namespace {

// Index, name, width × height, frames, keyed, key colour, used by. The keyboard's two frames are the
// keyboard at rest and with every key pressed. Image 9 is also said to lie under `BankSelectorButton`,
// `ViewHarmonicsPhaseButton` and `HarmonicsLinkedControl`, but its 40 × 24 frames do not fit their 51 × 13
// faces; they draw none (see the layout).
constexpr std::array<TSkinImage, kSkinImageCount> kImages{{
    {0, "Chassis", 800, 556, 1, false, 0, "PrimaryContainer"},
    {1, "Oscillator page", 703, 404, 1, false, 0, "OscillatorPage"},
    {2, "Small knob", 2525, 25, 101, true, kSkinKeyColour, "all small knobs"},
    {3, "Tool dropdown", 102, 13, 2, false, 0, "tool drop-downs (\"FILE\", \"EDIT\", \"MOVE\", ...)"},
    {4, "Loop start", 10, 10, 1, true, kSkinKeyColour, "left handle of every loop range control"},
    {5, "Loop End", 10, 10, 1, true, kSkinKeyColour, "right handle of every loop range control"},
    {6, "Dropdown Button", 30, 15, 2, true, kSkinKeyColour, "value drop-downs"},
    {7, "Spinbutton", 45, 15, 3, true, kSkinKeyColour, "arrows of every spin control"},
    {8, "Standard Button", 160, 24, 4, true, kSkinKeyColour, "on/off buttons"},
    {9, "St button fx", 160, 24, 4, true, kSkinKeyColour,
     "effect layer (drawn under the main image at opacity 127) of the on/off buttons"},
    {10, "Harmony Timeline", 2020, 49, 1, false, 0, "HarmoniHandleContainer"},
    {11, "Harmony handle", 16, 16, 1, true, kSkinKeyColour, "points of HarmonyEnv"},
    {12, "Envelope button", 156, 18, 4, true, kSkinKeyColour, "\"Loop\" and \"Time Stretch\" buttons"},
    {13, "Envelope Timeline", 2020, 109, 1, false, 0, "the five envelope containers"},
    {14, "Envelope Handle", 11, 11, 1, true, kSkinKeyColour, "points of the five envelope controls"},
    {15, "Big knob", 3838, 38, 101, true, kSkinKeyColour, "MasterLevelKnob, PanKnob"},
    {16, "Level-phase button", 204, 13, 4, false, 0, "ViewHarmonicsPhaseButton"},
    {17, "Linked-unlinked button", 204, 13, 4, false, 0, "HarmonicsLinkedControl"},
    {18, "Midi button", 128, 32, 4, true, kSkinKeyColour, "MIDI learn, unlearn and reset buttons"},
    {19, "Pagebutton Amp and Filter", 224, 52, 4, true, kSkinKeyColour, "PageSelectorAmpAndFilter"},
    {20, "Pagebutton Osc", 224, 52, 4, true, kSkinKeyColour, "PageSelectorOsc"},
    {21, "Pagebutton LFO", 224, 52, 4, false, 0, "PageSelectorLFO"},
    {22, "Pagebutton Midi and Voices", 224, 52, 4, false, 0, "PageSelectorGlobal"},
    {23, "Pagebutton FX", 224, 52, 4, false, 0, "PageSelectorFX"},
    {24, "Pagebutton Presets", 224, 52, 4, true, kSkinKeyColour, "PageSelectorPresets"},
    {25, "Amp & Filter Page", 703, 404, 1, false, 0, "AmpAndFilterPage"},
    {26, "Lfo page", 703, 404, 1, false, 0, "LfoPage"},
    {27, "Midi and Voices page", 703, 404, 1, false, 0, "GlobalPage"},
    {28, "Fx page", 703, 404, 1, false, 0, "FxPage"},
    {29, "Presets page", 703, 404, 1, false, 0, "PresetsPage"},
    {30, "Scroll down", 56, 14, 4, false, 0, "BankScrollDnButton"},
    {31, "Scroll up", 56, 14, 4, false, 0, "BankScrollUpButton"},
    {32, "Bank selector", 204, 13, 4, false, 0, "BankSelectorButton"},
    {33, "Keyboard", 752, 38, 2, true, kSkinKeyColour, "KeyboardControl"},
    {34, "Analyzing", 257, 124, 1, false, 0, "AnalyzingNowImage"},
    {35, "Preset Loading", 9, 9, 1, true, kSkinKeyColour, "PresetLoadingIndicator"},
    // Not in the image list: the harmony inspector's chart draws it under its bars.
    {36, "Harmony inspector background", 521, 109, 1, false, 0, "HarmonyInspector"},
}};

constexpr bool ImagesWellFormed() {
    for (int i = 0; i < kSkinImageCount; ++i) {
        const TSkinImage& image = kImages[static_cast<std::size_t>(i)];
        if (image.index != i || image.frames < 1 || image.width % image.frames != 0) return false;
        if (image.keyed != (image.keyColour == kSkinKeyColour)) return false;
    }
    return true;
}
static_assert(ImagesWellFormed(), "images are listed by index and split into whole frames");

} // namespace

const TSkinImage& SkinImage(int index) {
    return kImages.at(static_cast<std::size_t>(index));
}

const TSkinImage* FindSkinImage(std::string_view name) {
    for (const TSkinImage& image : kImages)
        if (name == image.name) return &image;
    return nullptr;
}

} // namespace quillon
