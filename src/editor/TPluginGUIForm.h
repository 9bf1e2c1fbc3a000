// What the form's source files share: the stored colours and sizes of the form, the editor settings
// block's offsets, the tables that tie controls to settings and parameters, and small conversions. Internal
// to the editor form; not part of its interface. [gui]
#pragma once

#include "editor/TPluginGUI.h"
#include "files/ProgramRecord.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBRangeControl.h"

#include "toolkit/TDIBControl.h"
#include "toolkit/TPopupMenu.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string_view>

namespace quillon::form {

// A colour as the form stores it: red in the low byte.
inline constexpr TPixel StoredColour(std::uint32_t stored) {
    return Rgb(static_cast<std::uint8_t>(stored & 0xffu), static_cast<std::uint8_t>((stored >> 8) & 0xffu),
               static_cast<std::uint8_t>((stored >> 16) & 0xffu));
}

inline constexpr TPixel kValueColour = StoredColour(6100791);
inline constexpr TPixel kEnvelopeFill = StoredColour(8921424);
inline constexpr TPixel kLoopFill = StoredColour(65793);
inline constexpr TPixel kRowOdd = StoredColour(13821935);
inline constexpr TPixel kRowEven = StoredColour(11847630);
inline constexpr TPixel kRowSelected = StoredColour(2409514);
inline constexpr TPixel kGrid = StoredColour(8293263);
inline constexpr std::uint8_t kLoopFillOpacity = 25;
inline constexpr const char* kDesignText = "-88,8dB";
inline constexpr int kRowHeight = 13;
inline constexpr int kProgramRows = 64;
inline constexpr int kProgramColumns = 4; // of 16 rows
inline constexpr int kEditOffsetLeft = 23;
inline constexpr int kEnvelopeMaxPoints = 100;
inline constexpr int kLoopScale = 2000; // loop bars: 0..2000 = 0..20 s
inline constexpr int kInitialLoopEnd = 100;
inline constexpr int kTimeLineWidth = 2019;
inline constexpr int kInspectorBars = 251;
inline constexpr int kScopeLast = 73; // the scopes show x = 0..73
inline constexpr int kNameLength = 24;
inline constexpr long double kPercentPerSecond = 5; // the time lines show 20 s across 100 %
inline constexpr double kSilentBar = -90.0;         // level bars: 0.5 dB per level step, -90 dB and below silent
inline constexpr int kProgramNameBuffer = 64;
inline constexpr std::string_view kBankExtension = ".bpb";

// Offsets in the editor settings block.
inline constexpr std::size_t kPageOffset = 0;
inline constexpr std::size_t kPhaseViewOffset = 52;
inline constexpr std::size_t kInspectorRangeOffset = 56;
inline constexpr std::size_t kEditTypeOffset = 60;
inline constexpr std::size_t kLinkedOffset = 64;
inline constexpr std::size_t kDeleteOnRightClickOffset = 65;

inline constexpr const char* kPageSelectors[TPluginGUI::kPresetsPage + 1] = {
    "PageSelectorOsc",    "PageSelectorAmpAndFilter", "PageSelectorLFO",
    "PageSelectorGlobal", "PageSelectorFX",           "PageSelectorPresets"};

// The scrolled time lines and the settings slot of their left edge.
struct TScrolled {
    const char* container;
    std::size_t offset;
};
inline constexpr TScrolled kScrolled[] = {{"HarmoniHandleContainer", 4},   {"PitchEnvelopeContainer", 12},
                                          {"FilterEnvelopeContainer", 20}, {"AmpEnvelopeContainer", 28},
                                          {"Lfo1EnvelopeContainer", 36},   {"Lfo2EnvelopeContainer", 44}};

// The point-editing selectors, their envelope and the settings slot of their choice.
struct THandling {
    const char* selector;
    const char* envelope;
    std::size_t offset;
};
inline constexpr THandling kHandling[] = {{"HarmonyEnvHandlingSelector", "HarmonyEnv", 8},
                                          {"PitchEnvHandlingSelector", "PitchEnvelopeControl", 16},
                                          {"FilterEnvHandlingSelector", "FilterEnvelopeControl", 24},
                                          {"AmpEnvHandlingSelector", "AmplifierEnvelopeControl", 32},
                                          {"Lfo1EnvHandlingSelector", "Lfo1EnvelopeControl", 40},
                                          {"Lfo2EnvHandlingSelector", "Lfo2EnvelopeControl", 48}};

// Value labels that show a note length while their sync switch is on.
struct TSyncLabel {
    int label;
    int sync;
};
inline constexpr TSyncLabel kSyncLabels[] = {{36, 37}, {39, 37}, {50, 51}, {53, 51}, {78, 79}, {86, 87}, {93, 94}};

// The modulation amount knobs and the routing row each one sets.
struct TAmountRow {
    int index;
    int row;
};
inline constexpr TAmountRow kAmountRows[] = {{63, 1}, {65, 0}, {67, 2}, {69, 3}, {71, 4}, {73, 5}};

// The inspector's bottom axis for each item of its range menu.
struct TInspectorRange {
    double min, max;
    int bars;
};
inline constexpr TInspectorRange kInspectorRanges[] = {{0, 50, 51},    {50, 100, 51}, {100, 150, 51},  {150, 200, 51},
                                                       {200, 250, 51}, {0, 125, 126}, {125, 250, 126}, {0, 250, 251}};

// round() of the form: to nearest, ties to even.
inline int Round(double x) {
    return static_cast<int>(std::lrint(x));
}

inline std::int32_t ReadInt(std::span<const std::uint8_t> block, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(block[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

inline void WriteInt(std::span<std::uint8_t> block, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        block[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// A time on the 20-second scale of the time lines, in percent.
inline long double TimeToPercent(float seconds) {
    return static_cast<long double>(seconds) * kPercentPerSecond;
}

// A loop range bar set from code: left first to 0 so that the new right end is not held back by the old
// left one. Times beyond the bar's end (a loop that never ends) show at the end.
inline void SetLoopRange(TDIBRangeControl& loop, float start, float end) {
    const auto position = [&loop](float seconds) {
        const double hundredths = 100.0 * static_cast<double>(seconds);
        if (!(hundredths > 0.0)) return 0;
        return Round(std::min(hundredths, static_cast<double>(loop.Max())));
    };
    loop.SetLeftPos(0);
    loop.SetRightPos(position(end));
    loop.SetLeftPos(position(start));
}

// The envelope editors and their loop bars by envelope number (record order, the controls' Tag − 1).
struct TEnvelopeViews {
    const char* envelope;
    const char* loop;
};
inline constexpr TEnvelopeViews kEnvelopeViews[record::kEnvelopeCount] = {
    {"AmplifierEnvelopeControl", "AmpEnvelopeLoopControl"},
    {"FilterEnvelopeControl", "FilterEnvelopeLoopControl"},
    {"PitchEnvelopeControl", "PitchEnvelopeLoopControl"},
    {"Lfo1EnvelopeControl", "Lfo1EnvelopeLoopControl"},
    {"Lfo2EnvelopeControl", "Lfo2EnvelopeLoopControl"}};

// The look of the form's panels (message boxes, file dialogs): the skin's fonts and colours
// (TPluginGUIDialogs.cpp).
TModalStyle PanelStyle(const TEditorSkin& skin);

} // namespace quillon::form

namespace quillon {

// The form's handlers by the names the layout table (a control's OnChange or OnClick) and the menu table
// (an item's click, a menu's opening) give them.
struct THandlerTable {
    std::map<std::string_view, TNotifyEvent> controls;
    std::map<std::string_view, std::function<void(TMenuItem& item)>> menuItems;
    std::map<std::string_view, std::function<void(TPopupMenu& menu)>> menuPopups;
    // An envelope editor's point notifications (OnPointAdded, OnPointMoved, OnPointRemoved,
    // OnSelectedPointChanged); a range bar's OnLeftChange and OnRightChange come from `controls`.
    std::map<std::string_view, TDIBEnvelope::TPointEvent> points;
    // Mouse notifications (OnMouseDown, OnMouseMove, OnMouseUp) of charts, envelope editors and containers.
    std::map<std::string_view, TMouseNotifyEvent> mouse;
};

} // namespace quillon
