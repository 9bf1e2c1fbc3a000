#include "editor/LayoutTable.h"

#include "core/ParameterTable.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

using C = TControlClass;

// Every control, parents before children, each page's controls in creation order (later ones on top).
// Knobs: Min 0, Coarse 100, Fine 1000, 101 frames, no effect layer. Value labels (`...Value`, 37 × 14)
// sit 18 pixels above their knob, centred on it, and carry its parameter. The information labels are
// placed in their envelope's tool row, right of its drop-downs, where the row has room for their text.
// Buttons of image 8 draw image 9 under their own at opacity 127. `BankSelectorButton`,
// `ViewHarmonicsPhaseButton` and `HarmonicsLinkedControl` are named among its users too, but they are 51 × 13
// and image 9's frames 40 × 24: a layer of another size would hang out of their face, so they have none.
// `MidiLearnButton` and `MidiUnLearnButton` keep their places although their faces overlap by six pixels:
// the areas that react to the mouse do not.
// clang-format off
constexpr TControlLayout kControls[] = {
    {"PrimaryContainer", C::TDIBImageContainer, nullptr, {0, 0, 800, 556}, 0, -1, {}},
    {"ManualLink", C::TImage, kPrimaryContainer, {526, 480, 33, 51}, -1, -1, {.handlers = "OnClick=UsersManualClick"}},
    {"MidiLearnButton", C::TBADIBButton, kPrimaryContainer, {21, 408, 32, 32}, 18, -1, {.behavior = TButtonBehavior::bbHold, .blink = true, .active = {7, 7, 17, 17}, .handlers = "OnChange=MidiLearnButtonChange"}},
    {"MidiUnLearnButton", C::TBADIBButton, kPrimaryContainer, {21, 434, 32, 32}, 18, -1, {.behavior = TButtonBehavior::bbHold, .blink = true, .active = {7, 7, 17, 17}, .handlers = "OnChange=MidiLearnButtonChange"}},
    {"WebLink", C::TImage, kPrimaryContainer, {660, 470, 112, 30}, -1, -1, {.handlers = "OnClick=LogoClick"}},
    {"PageSelectorAmpAndFilter", C::TBADIBButton, kPrimaryContainer, {18, 127, 56, 52}, 19, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 1, .handlers = "OnChange=PageSelectorChange"}},
    {"PageSelectorOsc", C::TBADIBButton, kPrimaryContainer, {18, 75, 56, 52}, 20, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 0, .handlers = "OnChange=PageSelectorChange"}},
    {"PageSelectorLFO", C::TBADIBButton, kPrimaryContainer, {18, 179, 56, 52}, 21, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 2, .handlers = "OnChange=PageSelectorChange"}},
    {"PageSelectorGlobal", C::TBADIBButton, kPrimaryContainer, {18, 231, 56, 52}, 22, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 3, .handlers = "OnChange=PageSelectorChange"}},
    {"PageSelectorFX", C::TBADIBButton, kPrimaryContainer, {18, 283, 56, 52}, 23, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 4, .handlers = "OnChange=PageSelectorChange"}},
    {"PageSelectorPresets", C::TBADIBButton, kPrimaryContainer, {18, 335, 56, 52}, 24, -1, {.behavior = TButtonBehavior::bbRadio, .group = 1, .tag = 5, .handlers = "OnChange=PageSelectorChange"}},
    {"KeyboardControl", C::TBADIBQuillonKeyboard, kPrimaryContainer, {21, 515, 376, 38}, 33, -1, {.handlers = "OnChange=KeyboardControlChange"}},
    {"MasterLevelKnob", C::TBADIBKnob, kPrimaryContainer, {375, 476, 38, 38}, 15, 26, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PanKnob", C::TBADIBKnob, kPrimaryContainer, {455, 476, 38, 38}, 15, 27, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"AnalyzingNowImage", C::TDIBImageContainer, kPrimaryContainer, {288, 208, 257, 124}, 34, -1, {}},
    {"PresetsPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 29, -1, {}},
    {"FxPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 28, -1, {}},
    {"GlobalPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 27, -1, {}},
    {"LfoPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 26, -1, {}},
    {"AmpAndFilterPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 25, -1, {}},
    {"OscillatorPage", C::TDIBImageContainer, kPrimaryContainer, {83, 29, 703, 404}, 1, -1, {}},
    {"PitchEnvEditSelector", C::TBADIBDropDownMenu, "OscillatorPage", {277, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::EnvelopeEdit, .menu = "EnvelopeEditMenu", .caption = "EDIT", .handlers = "OnChange=PitchEnvEditSelectorChange"}},
    {"PitchEnvHandlingSelector", C::TBADIBDropDownMenu, "OscillatorPage", {331, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=PitchEnvHandlingSelectorChange"}},
    {"PitchEnvelopeInfoLabel", C::TLabel, "OscillatorPage", {385, 257, 118, 14}, -1, -1, {}},
    {"NoiseEqSelector", C::TBADIBDropDownMenu, "OscillatorPage", {25, 150, 98, 15}, 6, 12, {.dropDown = TDropDownKind::Value, .menu = "NoiseEqMenu", .caption = "Off"}},
    {"OscillatorsNumberControl", C::TBADIBSpin, "OscillatorPage", {26, 67, 45, 15}, 7, 0, {.min = 1, .max = 8, .pixelsPerStep = 10}},
    {"PortamentoEnableButton", C::TBADIBButton, "OscillatorPage", {28, 207, 40, 24}, 8, 3, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"OscillatorSyncButton", C::TBADIBButton, "OscillatorPage", {28, 105, 40, 24}, 8, 2, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"LoopPitchEnvelopeButton", C::TBADIBButton, "OscillatorPage", {507, 249, 39, 18}, 12, 10, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"PitchEnvelopeStretchButton", C::TBADIBButton, "OscillatorPage", {553, 249, 39, 18}, 12, 11, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"LoopHarmoniesButton", C::TBADIBButton, "OscillatorPage", {593, 162, 39, 18}, 12, 5, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"HarmonyStretchButton", C::TBADIBButton, "OscillatorPage", {639, 162, 39, 18}, 12, 6, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"HarmonyEnvEditSelector", C::TBADIBDropDownMenu, "OscillatorPage", {277, 171, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "HarmonyEnvEditMenu", .caption = "EDIT"}},
    {"HarmonyEnvHandlingSelector", C::TBADIBDropDownMenu, "OscillatorPage", {331, 171, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=HarmonyEnvHandlingSelectorChange"}},
    {"AnalyzerSelector", C::TBADIBDropDownMenu, "OscillatorPage", {385, 171, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "AudioAnalyzerMenu", .caption = "IMPORT"}},
    {"HarmPointInfoLabel", C::TLabel, "OscillatorPage", {439, 170, 150, 14}, -1, -1, {}},
    {"HarmonyInspectorPresetsSelector", C::TBADIBDropDownMenu, "OscillatorPage", {277, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "HarmonyInspectorPresetsMenu", .caption = "PRESETS"}},
    {"ViewHarmonicsPhaseButton", C::TBADIBButton, "OscillatorPage", {331, 31, 51, 13}, 16, -1, {.behavior = TButtonBehavior::bbHold, .handlers = "OnChange=ViewHarmonicsPhaseLevelChanged"}},
    {"HarmonyInspectorRangeSelector", C::TBADIBDropDownMenu, "OscillatorPage", {385, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "HarmonyInspectorRangeMenu", .caption = "1- 50", .handlers = "OnChange=HarmonyInspectorRangeSelectorChange"}},
    {"HarmonyInspectorEditTypeSelector", C::TBADIBDropDownMenu, "OscillatorPage", {439, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "HarmonyInspectorEditTypeMenu", .caption = "EDIT ALL", .handlers = "OnChange=HarmonyInspectorEditTypeSelectorChange"}},
    {"HarmInfoLabel", C::TLabel, "OscillatorPage", {547, 30, 124, 14}, -1, -1, {}},
    {"HarmonicsLinkedControl", C::TBADIBButton, "OscillatorPage", {493, 31, 51, 13}, 17, -1, {.behavior = TButtonBehavior::bbHold, .handlers = "OnChange=HarmonicsLinkedControlChange"}},
    {"OscillatorDetuneKnob", C::TBADIBKnob, "OscillatorPage", {88, 84, 25, 25}, 2, 1, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"OscillatorDetuneValue", C::TLabel, "OscillatorPage", {82, 66, 37, 14}, -1, 1, {}},
    {"PortamentoKnob", C::TBADIBKnob, "OscillatorPage", {88, 230, 25, 25}, 2, 4, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PortamentoValue", C::TLabel, "OscillatorPage", {82, 212, 37, 14}, -1, 4, {}},
    {"OscillatorLevelKnob", C::TBADIBKnob, "OscillatorPage", {35, 320, 25, 25}, 2, 24, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"OscillatorLevelValue", C::TLabel, "OscillatorPage", {29, 302, 37, 14}, -1, 24, {}},
    {"NoiseLevelKnob", C::TBADIBKnob, "OscillatorPage", {88, 320, 25, 25}, 2, 25, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"NoiseLevelValue", C::TLabel, "OscillatorPage", {82, 302, 37, 14}, -1, 25, {}},
    {"PitchEnvelopeIntensityKnob", C::TBADIBKnob, "OscillatorPage", {608, 312, 25, 25}, 2, 7, {.max = 18, .coarse = 100, .fine = 1000}},
    {"PitchEnvelopeIntensityValue", C::TLabel, "OscillatorPage", {602, 294, 37, 14}, -1, 7, {}},
    {"PitchEnvelopeReleaseTimeKnob", C::TBADIBKnob, "OscillatorPage", {652, 279, 25, 25}, 2, 8, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PitchEnvelopeReleaseTimeValue", C::TLabel, "OscillatorPage", {646, 261, 37, 14}, -1, 8, {}},
    {"PitchEnvelopeReleaseLevelKnob", C::TBADIBKnob, "OscillatorPage", {652, 347, 25, 25}, 2, 9, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PitchEnvelopeReleaseLevelValue", C::TLabel, "OscillatorPage", {646, 329, 37, 14}, -1, 9, {}},
    {"HarmonyEnvDragMask", C::TDIBImageContainer, "OscillatorPage", {151, 188, 518, 49}, -1, -1, {}},
    // 2020 wide like its image 10 and the envelope time lines (listed 2019, one pixel narrower than the
    // image and than the range bar it holds at x 1, 2019 wide).
    {"HarmoniHandleContainer", C::TDIBImageContainer, "HarmonyEnvDragMask", {0, 0, 2020, 49}, 10, -1, {.handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"HarmonyLoopControl", C::TDIBRangeControl, "HarmoniHandleContainer", {1, 1, 2019, 36}, -1, -1, {.leftHandle = 4, .rightHandle = 5, .handlers = "OnLeftChange=HarmonyLoopControlLeftChange OnRightChange=HarmonyLoopControlRightChange"}},
    {"HarmonyEnv", C::TDIBEnvelope, "HarmoniHandleContainer", {3, 16, 2016, 16}, 11, -1, {.handlers = "OnPointAdded=HarmonyEnvPointAdded OnPointMoved=HarmonyEnvPointMoved OnPointRemoved=HarmonyEnvPointRemoved OnSelectedPointChanged=HarmonyEnvSelectedPointChanged"}},
    {"HarmonyInspector", C::TChart, "OscillatorPage", {150, 44, 521, 109}, -1, -1, {.handlers = "OnMouseDown=HarmonyInspectorMouseDown OnMouseMove=HarmonyInspectorMouseMove OnMouseUp=HarmonyInspectorMouseUp"}},
    {"Series1", C::TBarSeries, "HarmonyInspector", {0, 0, 521, 109}, -1, -1, {}},
    {"PitchEnvDragMask", C::TDIBImageContainer, "OscillatorPage", {151, 275, 434, 109}, -1, -1, {}},
    {"PitchEnvelopeContainer", C::TDIBImageContainer, "PitchEnvDragMask", {0, 0, 2020, 109}, 13, -1, {.tag = 3, .handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"PitchEnvelopeLoopControl", C::TDIBRangeControl, "PitchEnvelopeContainer", {1, 1, 2019, 95}, -1, -1, {.tag = 3, .leftHandle = 4, .rightHandle = 5, .rangeMax = 2000, .handlers = "OnLeftChange=EnvelopeLoopControlLeftChange OnRightChange=EnvelopeLoopControlRightChange"}},
    {"PitchEnvelopeControl", C::TDIBEnvelope, "PitchEnvelopeContainer", {5, 12, 2011, 83}, 14, -1, {.tag = 3, .yOrigin = 50, .handlers = "OnPointAdded=EnvelopeControlPointAdded OnPointMoved=EnvelopeControlPointMoved OnPointRemoved=EnvelopeControlPointRemoved OnSelectedPointChanged=EnvelopeControlSelectedPointChanged"}},
    {"FilterEnableButton", C::TBADIBButton, "AmpAndFilterPage", {59, 185, 40, 24}, 8, 13, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"FilterSelector", C::TBADIBDropDownMenu, "AmpAndFilterPage", {121, 193, 98, 15}, 6, 14, {.dropDown = TDropDownKind::Value, .menu = "FilterMenu", .caption = "Off"}},
    {"LoopAmpEnvelopeButton", C::TBADIBButton, "AmpAndFilterPage", {507, 249, 39, 18}, 12, 32, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"AmpEnvelopeStretchButton", C::TBADIBButton, "AmpAndFilterPage", {553, 249, 39, 18}, 12, 33, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"FilterEnvelopeStretchButton", C::TBADIBButton, "AmpAndFilterPage", {553, 22, 39, 18}, 12, 23, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"LoopFilterEnvelopeButton", C::TBADIBButton, "AmpAndFilterPage", {507, 22, 39, 18}, 12, 22, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"AmpEnvEditSelector", C::TBADIBDropDownMenu, "AmpAndFilterPage", {223, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::EnvelopeEdit, .menu = "EnvelopeEditMenu", .caption = "EDIT", .handlers = "OnChange=AmpEnvEditSelectorChange"}},
    {"AmpEnvHandlingSelector", C::TBADIBDropDownMenu, "AmpAndFilterPage", {277, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=AmpEnvHandlingSelectorChange"}},
    {"AmplifierEnvelopeInfoLabel", C::TLabel, "AmpAndFilterPage", {331, 257, 170, 14}, -1, -1, {}},
    {"FilterEnvEditSelector", C::TBADIBDropDownMenu, "AmpAndFilterPage", {223, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::EnvelopeEdit, .menu = "EnvelopeEditMenu", .caption = "EDIT", .handlers = "OnChange=FilterEnvEditSelectorChange"}},
    {"FilterEnvHandlingSelector", C::TBADIBDropDownMenu, "AmpAndFilterPage", {277, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=FilterEnvHandlingSelectorChange"}},
    {"FilterEnvelopeInfoLabel", C::TLabel, "AmpAndFilterPage", {331, 30, 170, 14}, -1, -1, {}},
    {"FilterCutoffKnob", C::TBADIBKnob, "AmpAndFilterPage", {249, 202, 25, 25}, 2, 15, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterCutoffValue", C::TLabel, "AmpAndFilterPage", {243, 184, 37, 14}, -1, 15, {}},
    {"FilterResonanceKnob", C::TBADIBKnob, "AmpAndFilterPage", {311, 202, 25, 25}, 2, 16, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterResonanceValue", C::TLabel, "AmpAndFilterPage", {305, 184, 37, 14}, -1, 16, {}},
    {"FilterKeyboardTrackingKnob", C::TBADIBKnob, "AmpAndFilterPage", {373, 202, 25, 25}, 2, 19, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterKeyboardTrackingValue", C::TLabel, "AmpAndFilterPage", {367, 184, 37, 14}, -1, 19, {}},
    {"FilterBypassKnob", C::TBADIBKnob, "AmpAndFilterPage", {434, 202, 25, 25}, 2, 17, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterBypassValue", C::TLabel, "AmpAndFilterPage", {428, 184, 37, 14}, -1, 17, {}},
    {"VcaVelocityKnob", C::TBADIBKnob, "AmpAndFilterPage", {505, 202, 25, 25}, 2, 74, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"VcaVelocityValue", C::TLabel, "AmpAndFilterPage", {499, 184, 37, 14}, -1, 74, {}},
    {"VcfVelocityKnob", C::TBADIBKnob, "AmpAndFilterPage", {560, 202, 25, 25}, 2, 75, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"VcfVelocityValue", C::TLabel, "AmpAndFilterPage", {554, 184, 37, 14}, -1, 75, {}},
    {"FilterEnvelopeIntensityKnob", C::TBADIBKnob, "AmpAndFilterPage", {608, 85, 25, 25}, 2, 18, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterEnvelopeIntensityValue", C::TLabel, "AmpAndFilterPage", {602, 67, 37, 14}, -1, 18, {}},
    {"FilterEnvelopeReleaseTimeKnob", C::TBADIBKnob, "AmpAndFilterPage", {652, 52, 25, 25}, 2, 20, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterEnvelopeReleaseTimeValue", C::TLabel, "AmpAndFilterPage", {646, 34, 37, 14}, -1, 20, {}},
    {"FilterEnvelopeReleaseLevelKnob", C::TBADIBKnob, "AmpAndFilterPage", {652, 120, 25, 25}, 2, 21, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"FilterEnvelopeReleaseLevelValue", C::TLabel, "AmpAndFilterPage", {646, 102, 37, 14}, -1, 21, {}},
    {"AmpEnvelopeReleaseTimeKnob", C::TBADIBKnob, "AmpAndFilterPage", {635, 279, 25, 25}, 2, 30, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"AmpEnvelopeReleaseTimeValue", C::TLabel, "AmpAndFilterPage", {629, 261, 37, 14}, -1, 30, {}},
    {"AmpEnvelopeRelease2TimeKnob", C::TBADIBKnob, "AmpAndFilterPage", {635, 347, 25, 25}, 2, 31, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"AmpEnvelopeRelease2TimeValue", C::TLabel, "AmpAndFilterPage", {629, 329, 37, 14}, -1, 31, {}},
    {"AmpEnvDragMask", C::TDIBImageContainer, "AmpAndFilterPage", {65, 275, 518, 109}, -1, -1, {}},
    {"AmpEnvelopeContainer", C::TDIBImageContainer, "AmpEnvDragMask", {0, 0, 2020, 109}, 13, -1, {.tag = 1, .handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"AmpEnvelopeLoopControl", C::TDIBRangeControl, "AmpEnvelopeContainer", {1, 1, 2019, 95}, -1, -1, {.tag = 1, .leftHandle = 4, .rightHandle = 5, .rangeMax = 2000, .handlers = "OnLeftChange=EnvelopeLoopControlLeftChange OnRightChange=EnvelopeLoopControlRightChange"}},
    {"AmplifierEnvelopeControl", C::TDIBEnvelope, "AmpEnvelopeContainer", {5, 12, 2011, 83}, 14, -1, {.tag = 1, .yOrigin = 100, .handlers = "OnPointAdded=EnvelopeControlPointAdded OnPointMoved=EnvelopeControlPointMoved OnPointRemoved=EnvelopeControlPointRemoved OnSelectedPointChanged=EnvelopeControlSelectedPointChanged"}},
    {"FilterEnvDragMask", C::TDIBImageContainer, "AmpAndFilterPage", {65, 48, 518, 109}, -1, -1, {}},
    {"FilterEnvelopeContainer", C::TDIBImageContainer, "FilterEnvDragMask", {0, 0, 2020, 109}, 13, -1, {.tag = 2, .handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"FilterEnvelopeLoopControl", C::TDIBRangeControl, "FilterEnvelopeContainer", {1, 1, 2019, 95}, -1, -1, {.tag = 2, .leftHandle = 4, .rightHandle = 5, .rangeMax = 2000, .handlers = "OnLeftChange=EnvelopeLoopControlLeftChange OnRightChange=EnvelopeLoopControlRightChange"}},
    {"FilterEnvelopeControl", C::TDIBEnvelope, "FilterEnvelopeContainer", {5, 12, 2011, 83}, 14, -1, {.tag = 2, .yOrigin = 50, .handlers = "OnPointAdded=EnvelopeControlPointAdded OnPointMoved=EnvelopeControlPointMoved OnPointRemoved=EnvelopeControlPointRemoved OnSelectedPointChanged=EnvelopeControlSelectedPointChanged"}},
    {"Lfo1SyncButton", C::TBADIBButton, "LfoPage", {79, 58, 40, 24}, 8, 37, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo1EnableHoldButton", C::TBADIBButton, "LfoPage", {79, 163, 40, 24}, 8, 38, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo1EnableButton", C::TBADIBButton, "LfoPage", {28, 58, 40, 24}, 8, 34, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo1EnvButton", C::TBADIBButton, "LfoPage", {130, 58, 40, 24}, 8, 43, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo2EnableButton", C::TBADIBButton, "LfoPage", {28, 222, 40, 24}, 8, 48, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo2EnvButton", C::TBADIBButton, "LfoPage", {130, 222, 40, 24}, 8, 57, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo2SyncButton", C::TBADIBButton, "LfoPage", {79, 222, 40, 24}, 8, 51, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo2EnableHoldButton", C::TBADIBButton, "LfoPage", {79, 327, 40, 24}, 8, 52, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"Lfo1WaveformSelector", C::TBADIBDropDownMenu, "LfoPage", {51, 100, 98, 15}, 6, 35, {.dropDown = TDropDownKind::Value, .menu = "LfoWaveformMenu", .caption = "Off"}},
    {"Lfo2WaveformSelector", C::TBADIBDropDownMenu, "LfoPage", {51, 264, 98, 15}, 6, 49, {.dropDown = TDropDownKind::Value, .menu = "LfoWaveformMenu", .caption = "Off"}},
    {"LoopLfo1EnvelopeButton", C::TBADIBButton, "LfoPage", {550, 22, 39, 18}, 12, 46, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"Lfo1EnvelopeStretchButton", C::TBADIBButton, "LfoPage", {596, 22, 39, 18}, 12, 47, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"LoopLfo2EnvelopeButton", C::TBADIBButton, "LfoPage", {550, 249, 39, 18}, 12, 60, {.behavior = TButtonBehavior::bbHold, .hint = "Loop", .active = {0, 0, 39, 14}}},
    {"Lfo2EnvelopeStretchButton", C::TBADIBButton, "LfoPage", {596, 249, 39, 18}, 12, 61, {.behavior = TButtonBehavior::bbHold, .hint = "Time Stretch", .active = {0, 0, 39, 14}}},
    {"Lfo1EnvEditSelector", C::TBADIBDropDownMenu, "LfoPage", {320, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::EnvelopeEdit, .menu = "EnvelopeEditMenu", .caption = "EDIT", .handlers = "OnChange=Lfo1EnvEditSelectorChange"}},
    {"Lfo1EnvHandlingSelector", C::TBADIBDropDownMenu, "LfoPage", {374, 31, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=Lfo1EnvHandlingSelectorChange"}},
    {"Lfo1EnvelopeInfoLabel", C::TLabel, "LfoPage", {428, 30, 118, 14}, -1, -1, {}},
    {"Lfo2EnvEditSelector", C::TBADIBDropDownMenu, "LfoPage", {320, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::EnvelopeEdit, .menu = "EnvelopeEditMenu", .caption = "EDIT", .handlers = "OnChange=Lfo2EnvEditSelectorChange"}},
    {"Lfo2EnvHandlingSelector", C::TBADIBDropDownMenu, "LfoPage", {374, 258, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Mode, .menu = "EnvelopeHandlingMenu", .caption = "MOVE", .handlers = "OnChange=Lfo2EnvHandlingSelectorChange"}},
    {"Lfo2EnvelopeInfoLabel", C::TLabel, "LfoPage", {428, 257, 118, 14}, -1, -1, {}},
    {"Lfo1RateKnob", C::TBADIBKnob, "LfoPage", {35, 156, 25, 25}, 2, 36, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1RateValue", C::TLabel, "LfoPage", {29, 138, 37, 14}, -1, 36, {}},
    {"Lfo1HoldFrequencyKnob", C::TBADIBKnob, "LfoPage", {137, 156, 25, 25}, 2, 39, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1HoldFrequencyValue", C::TLabel, "LfoPage", {131, 138, 37, 14}, -1, 39, {}},
    {"Lfo2RateKnob", C::TBADIBKnob, "LfoPage", {35, 320, 25, 25}, 2, 50, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2RateValue", C::TLabel, "LfoPage", {29, 302, 37, 14}, -1, 50, {}},
    {"Lfo2HoldFrequencyKnob", C::TBADIBKnob, "LfoPage", {137, 320, 25, 25}, 2, 53, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2HoldFrequencyValue", C::TLabel, "LfoPage", {131, 302, 37, 14}, -1, 53, {}},
    {"Lfo1FilterModKnob", C::TBADIBKnob, "LfoPage", {204, 202, 25, 25}, 2, 41, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1FilterModValue", C::TLabel, "LfoPage", {198, 184, 37, 14}, -1, 41, {}},
    {"Lfo1PitchModKnob", C::TBADIBKnob, "LfoPage", {254, 202, 25, 25}, 2, 40, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1PitchModValue", C::TLabel, "LfoPage", {248, 184, 37, 14}, -1, 40, {}},
    {"Lfo1AmpModKnob", C::TBADIBKnob, "LfoPage", {304, 202, 25, 25}, 2, 42, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1AmpModValue", C::TLabel, "LfoPage", {298, 184, 37, 14}, -1, 42, {}},
    {"Lfo2FilterModKnob", C::TBADIBKnob, "LfoPage", {498, 202, 25, 25}, 2, 55, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2FilterModValue", C::TLabel, "LfoPage", {492, 184, 37, 14}, -1, 55, {}},
    {"Lfo2PitchModKnob", C::TBADIBKnob, "LfoPage", {548, 202, 25, 25}, 2, 54, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2PitchModValue", C::TLabel, "LfoPage", {542, 184, 37, 14}, -1, 54, {}},
    {"Lfo2AmpModKnob", C::TBADIBKnob, "LfoPage", {598, 202, 25, 25}, 2, 56, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2AmpModValue", C::TLabel, "LfoPage", {592, 184, 37, 14}, -1, 56, {}},
    {"Lfo1EnvelopeReleaseTimeKnob", C::TBADIBKnob, "LfoPage", {652, 52, 25, 25}, 2, 44, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1EnvelopeReleaseTimeValue", C::TLabel, "LfoPage", {646, 34, 37, 14}, -1, 44, {}},
    {"Lfo1EnvelopeReleaseLevelKnob", C::TBADIBKnob, "LfoPage", {652, 120, 25, 25}, 2, 45, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo1EnvelopeReleaseLevelValue", C::TLabel, "LfoPage", {646, 102, 37, 14}, -1, 45, {}},
    {"Lfo2EnvelopeReleaseTimeKnob", C::TBADIBKnob, "LfoPage", {652, 279, 25, 25}, 2, 58, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2EnvelopeReleaseTimeValue", C::TLabel, "LfoPage", {646, 261, 37, 14}, -1, 58, {}},
    {"Lfo2EnvelopeReleaseLevelKnob", C::TBADIBKnob, "LfoPage", {652, 347, 25, 25}, 2, 59, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"Lfo2EnvelopeReleaseLevelValue", C::TLabel, "LfoPage", {646, 329, 37, 14}, -1, 59, {}},
    {"Lfo1WaveformScope", C::TChart, "LfoPage", {80, 138, 37, 19}, -1, -1, {.handlers = "OnClick=Lfo1WaveformScopeClick"}},
    {"Series2", C::TFastLineSeries, "Lfo1WaveformScope", {0, 0, 37, 19}, -1, -1, {}},
    {"Lfo1EnvDragMask", C::TDIBImageContainer, "LfoPage", {198, 48, 428, 109}, -1, -1, {}},
    {"Lfo1EnvelopeContainer", C::TDIBImageContainer, "Lfo1EnvDragMask", {0, 0, 2020, 109}, 13, -1, {.tag = 4, .handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"Lfo1EnvelopeLoopControl", C::TDIBRangeControl, "Lfo1EnvelopeContainer", {1, 1, 2019, 95}, -1, -1, {.tag = 4, .leftHandle = 4, .rightHandle = 5, .rangeMax = 2000, .handlers = "OnLeftChange=EnvelopeLoopControlLeftChange OnRightChange=EnvelopeLoopControlRightChange"}},
    {"Lfo1EnvelopeControl", C::TDIBEnvelope, "Lfo1EnvelopeContainer", {5, 12, 2011, 83}, 14, -1, {.tag = 4, .yOrigin = 100, .handlers = "OnPointAdded=EnvelopeControlPointAdded OnPointMoved=EnvelopeControlPointMoved OnPointRemoved=EnvelopeControlPointRemoved OnSelectedPointChanged=EnvelopeControlSelectedPointChanged"}},
    {"Lfo2EnvDragMask", C::TDIBImageContainer, "LfoPage", {198, 275, 428, 109}, -1, -1, {}},
    {"Lfo2EnvelopeContainer", C::TDIBImageContainer, "Lfo2EnvDragMask", {0, 0, 2020, 109}, 13, -1, {.tag = 5, .handlers = "OnMouseDown=EnvelopeBackImageMouseDown OnMouseMove=EnvelopeBackImageMouseMove OnMouseUp=EnvelopeBackImageMouseUp"}},
    {"Lfo2EnvelopeLoopControl", C::TDIBRangeControl, "Lfo2EnvelopeContainer", {1, 1, 2019, 95}, -1, -1, {.tag = 5, .leftHandle = 4, .rightHandle = 5, .rangeMax = 2000, .handlers = "OnLeftChange=EnvelopeLoopControlLeftChange OnRightChange=EnvelopeLoopControlRightChange"}},
    {"Lfo2EnvelopeControl", C::TDIBEnvelope, "Lfo2EnvelopeContainer", {5, 12, 2011, 83}, 14, -1, {.tag = 5, .yOrigin = 100, .handlers = "OnPointAdded=EnvelopeControlPointAdded OnPointMoved=EnvelopeControlPointMoved OnPointRemoved=EnvelopeControlPointRemoved OnSelectedPointChanged=EnvelopeControlSelectedPointChanged"}},
    {"Lfo2WaveformScope", C::TChart, "LfoPage", {80, 302, 37, 19}, -1, -1, {.handlers = "OnClick=Lfo2WaveformScopeClick"}},
    {"Series3", C::TFastLineSeries, "Lfo2WaveformScope", {0, 0, 37, 19}, -1, -1, {}},
    {"PitchBendSellector", C::TBADIBDropDownMenu, "GlobalPage", {314, 62, 98, 15}, 6, 62, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"KeyRangeHighControl", C::TBADIBSpinNote, "GlobalPage", {235, 159, 45, 15}, 7, 110, {.pixelsPerStep = 2}},
    {"VoicesControl", C::TBADIBSpin, "GlobalPage", {235, 100, 45, 15}, 7, 106, {.min = 1, .max = 256, .pixelsPerStep = 10}},
    {"VoiceAssignmentButton1", C::TBADIBButton, "GlobalPage", {589, 126, 40, 24}, 8, -1, {.behavior = TButtonBehavior::bbRadio, .group = 2, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}, .handlers = "OnChange=KeyAssignChange"}},
    {"MidiChannelControl", C::TBAMidiChSelector, "GlobalPage", {177, 100, 45, 15}, 7, 108, {.pixelsPerStep = 5}},
    {"KeyRangeLowControl", C::TBADIBSpinNote, "GlobalPage", {177, 159, 45, 15}, 7, 109, {.pixelsPerStep = 2}},
    {"TransposeOctavesControl", C::TBADIBSpin, "GlobalPage", {177, 217, 45, 15}, 7, 112, {.min = -4, .max = 4, .pixelsPerStep = 10}},
    {"TransposeNotesControl", C::TBADIBSpin, "GlobalPage", {235, 217, 45, 15}, 7, 111, {.min = -11, .max = 11, .pixelsPerStep = 10}},
    {"MasterTuneControl", C::TBADIBSpin, "GlobalPage", {206, 261, 45, 15}, 7, 107, {.min = -50, .max = 50, .pixelsPerStep = 10}},
    {"MidiResetButton", C::TBADIBButton, "GlobalPage", {173, 294, 32, 32}, 18, -1, {.behavior = TButtonBehavior::bbAction, .active = {7, 7, 17, 17}, .handlers = "OnChange=MidiLearnButtonChange"}},
    {"VoiceAssignmentButton2", C::TBADIBButton, "GlobalPage", {589, 156, 40, 24}, 8, -1, {.behavior = TButtonBehavior::bbRadio, .group = 2, .tag2 = 1, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}, .handlers = "OnChange=KeyAssignChange"}},
    {"NoteOverlapButton1", C::TBADIBButton, "GlobalPage", {589, 216, 40, 24}, 8, -1, {.behavior = TButtonBehavior::bbRadio, .group = 3, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}, .handlers = "OnChange=NoteOverlapChange"}},
    {"NoteOverlapButton2", C::TBADIBButton, "GlobalPage", {589, 246, 40, 24}, 8, -1, {.behavior = TButtonBehavior::bbRadio, .group = 3, .tag2 = 1, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}, .handlers = "OnChange=NoteOverlapChange"}},
    {"NoteOverlapButton3", C::TBADIBButton, "GlobalPage", {589, 276, 40, 24}, 8, -1, {.behavior = TButtonBehavior::bbRadio, .group = 3, .tag2 = 2, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}, .handlers = "OnChange=NoteOverlapChange"}},
    {"AfterTouchSellector", C::TBADIBDropDownMenu, "GlobalPage", {434, 62, 98, 15}, 6, 64, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"ExpressionSellector", C::TBADIBDropDownMenu, "GlobalPage", {314, 170, 98, 15}, 6, 70, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"SoftPedalSellector", C::TBADIBDropDownMenu, "GlobalPage", {434, 170, 98, 15}, 6, 72, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"ModWheelSellector", C::TBADIBDropDownMenu, "GlobalPage", {314, 278, 98, 15}, 6, 66, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"BreathContrSellector", C::TBADIBDropDownMenu, "GlobalPage", {434, 278, 98, 15}, 6, 68, {.dropDown = TDropDownKind::Value, .menu = "ModAssignPopupMenu", .caption = "Off"}},
    {"StretchOriginSpinNote", C::TBADIBSpinNote, "GlobalPage", {49, 116, 45, 15}, 7, 115, {.pixelsPerStep = 2}},
    {"StretchKBIntensityKnob", C::TBADIBKnob, "GlobalPage", {58, 171, 25, 25}, 2, 116, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"StretchKBIntensityValue", C::TLabel, "GlobalPage", {52, 153, 37, 14}, -1, 116, {}},
    {"StretchVolIntensityKnob", C::TBADIBKnob, "GlobalPage", {111, 171, 25, 25}, 2, 117, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"StretchVolIntensityValue", C::TLabel, "GlobalPage", {105, 153, 37, 14}, -1, 117, {}},
    {"KeySpreadStereoKnob", C::TBADIBKnob, "GlobalPage", {58, 269, 25, 25}, 2, 28, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"KeySpreadStereoValue", C::TLabel, "GlobalPage", {52, 251, 37, 14}, -1, 28, {}},
    {"NoteWeightingKnob", C::TBADIBKnob, "GlobalPage", {111, 269, 25, 25}, 2, 29, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"NoteWeightingValue", C::TLabel, "GlobalPage", {105, 251, 37, 14}, -1, 29, {}},
    {"PitchBendRangeKnob", C::TBADIBKnob, "GlobalPage", {346, 115, 25, 25}, 2, 63, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PitchBendRangeValue", C::TLabel, "GlobalPage", {340, 97, 37, 14}, -1, 63, {}},
    {"AfterTouchIntensityKnob", C::TBADIBKnob, "GlobalPage", {466, 115, 25, 25}, 2, 65, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"AfterTouchIntensityValue", C::TLabel, "GlobalPage", {460, 97, 37, 14}, -1, 65, {}},
    {"ExpressionIntensityKnob", C::TBADIBKnob, "GlobalPage", {346, 223, 25, 25}, 2, 71, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ExpressionIntensityValue", C::TLabel, "GlobalPage", {340, 205, 37, 14}, -1, 71, {}},
    {"SoftPedalIntensityKnob", C::TBADIBKnob, "GlobalPage", {466, 223, 25, 25}, 2, 73, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"SoftPedalIntensityValue", C::TLabel, "GlobalPage", {460, 205, 37, 14}, -1, 73, {}},
    {"ModWheelIntensityKnob", C::TBADIBKnob, "GlobalPage", {346, 331, 25, 25}, 2, 67, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ModWheelIntensityValue", C::TLabel, "GlobalPage", {340, 313, 37, 14}, -1, 67, {}},
    {"BreathContrIntensityKnob", C::TBADIBKnob, "GlobalPage", {466, 331, 25, 25}, 2, 69, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"BreathContrIntensityValue", C::TLabel, "GlobalPage", {460, 313, 37, 14}, -1, 69, {}},
    {"ChorusEnableButton", C::TBADIBButton, "FxPage", {49, 83, 40, 24}, 8, 76, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"ChorusSyncButton", C::TBADIBButton, "FxPage", {109, 83, 40, 24}, 8, 79, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"ChorusSpreadButton", C::TBADIBButton, "FxPage", {169, 83, 40, 24}, 8, 81, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"DelayEnableButton", C::TBADIBButton, "FxPage", {372, 83, 40, 24}, 8, 92, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"DelaySyncButton", C::TBADIBButton, "FxPage", {432, 83, 40, 24}, 8, 94, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"DelayPingPongButton", C::TBADIBButton, "FxPage", {492, 83, 40, 24}, 8, 96, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"PhaserEnableButton", C::TBADIBButton, "FxPage", {49, 241, 40, 24}, 8, 84, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"PhaserSyncButton", C::TBADIBButton, "FxPage", {109, 241, 40, 24}, 8, 87, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"PhaserSpreadButton", C::TBADIBButton, "FxPage", {169, 241, 40, 24}, 8, 89, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"ReverbEnableButton", C::TBADIBButton, "FxPage", {372, 241, 40, 24}, 8, 100, {.behavior = TButtonBehavior::bbHold, .effectLayer = 9, .effectOpacity = 127, .active = {7, 7, 26, 10}}},
    {"ChorusDelayKnob", C::TBADIBKnob, "FxPage", {56, 143, 25, 25}, 2, 77, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ChorusDelayValue", C::TLabel, "FxPage", {50, 125, 37, 14}, -1, 77, {}},
    {"ChorusRateKnob", C::TBADIBKnob, "FxPage", {116, 143, 25, 25}, 2, 78, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ChorusRateValue", C::TLabel, "FxPage", {110, 125, 37, 14}, -1, 78, {}},
    {"ChorusDepthKnob", C::TBADIBKnob, "FxPage", {176, 143, 25, 25}, 2, 80, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ChorusDepthValue", C::TLabel, "FxPage", {170, 125, 37, 14}, -1, 80, {}},
    {"ChorusFeedbackKnob", C::TBADIBKnob, "FxPage", {236, 143, 25, 25}, 2, 82, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ChorusFeedbackValue", C::TLabel, "FxPage", {230, 125, 37, 14}, -1, 82, {}},
    {"ChorusMixKnob", C::TBADIBKnob, "FxPage", {296, 143, 25, 25}, 2, 83, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ChorusMixValue", C::TLabel, "FxPage", {290, 125, 37, 14}, -1, 83, {}},
    {"DelayDelayKnob", C::TBADIBKnob, "FxPage", {379, 143, 25, 25}, 2, 93, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"DelayDelayValue", C::TLabel, "FxPage", {373, 125, 37, 14}, -1, 93, {}},
    {"DelayFeedbackKnob", C::TBADIBKnob, "FxPage", {439, 143, 25, 25}, 2, 95, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"DelayFeedbackValue", C::TLabel, "FxPage", {433, 125, 37, 14}, -1, 95, {}},
    {"DelayLowCutKnob", C::TBADIBKnob, "FxPage", {499, 143, 25, 25}, 2, 97, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"DelayLowCutValue", C::TLabel, "FxPage", {493, 125, 37, 14}, -1, 97, {}},
    {"DelayHiCutKnob", C::TBADIBKnob, "FxPage", {559, 143, 25, 25}, 2, 98, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"DelayHiCutValue", C::TLabel, "FxPage", {553, 125, 37, 14}, -1, 98, {}},
    {"DelayMixKnob", C::TBADIBKnob, "FxPage", {619, 143, 25, 25}, 2, 99, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"DelayMixValue", C::TLabel, "FxPage", {613, 125, 37, 14}, -1, 99, {}},
    {"PhaserManualKnob", C::TBADIBKnob, "FxPage", {56, 301, 25, 25}, 2, 85, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PhaserManualValue", C::TLabel, "FxPage", {50, 283, 37, 14}, -1, 85, {}},
    {"PhaserRateKnob", C::TBADIBKnob, "FxPage", {116, 301, 25, 25}, 2, 86, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PhaserRateValue", C::TLabel, "FxPage", {110, 283, 37, 14}, -1, 86, {}},
    {"PhaserDepthKnob", C::TBADIBKnob, "FxPage", {176, 301, 25, 25}, 2, 88, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PhaserDepthValue", C::TLabel, "FxPage", {170, 283, 37, 14}, -1, 88, {}},
    {"PhaserFeedbackKnob", C::TBADIBKnob, "FxPage", {236, 301, 25, 25}, 2, 90, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PhaserFeedbackValue", C::TLabel, "FxPage", {230, 283, 37, 14}, -1, 90, {}},
    {"PhaserMixKnob", C::TBADIBKnob, "FxPage", {296, 301, 25, 25}, 2, 91, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"PhaserMixValue", C::TLabel, "FxPage", {290, 283, 37, 14}, -1, 91, {}},
    {"ReverbSizeKnob", C::TBADIBKnob, "FxPage", {379, 301, 25, 25}, 2, 101, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ReverbSizeValue", C::TLabel, "FxPage", {373, 283, 37, 14}, -1, 101, {}},
    {"ReverbDampingKnob", C::TBADIBKnob, "FxPage", {439, 301, 25, 25}, 2, 102, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ReverbDampingValue", C::TLabel, "FxPage", {433, 283, 37, 14}, -1, 102, {}},
    {"ReverbHiDampKnob", C::TBADIBKnob, "FxPage", {499, 301, 25, 25}, 2, 103, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ReverbHiDampValue", C::TLabel, "FxPage", {493, 283, 37, 14}, -1, 103, {}},
    {"ReverbLowCutKnob", C::TBADIBKnob, "FxPage", {559, 301, 25, 25}, 2, 104, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ReverbLowCutValue", C::TLabel, "FxPage", {553, 283, 37, 14}, -1, 104, {}},
    {"ReverbMixKnob", C::TBADIBKnob, "FxPage", {619, 301, 25, 25}, 2, 105, {.max = 1000, .coarse = 100, .fine = 1000}},
    {"ReverbMixValue", C::TLabel, "FxPage", {613, 283, 37, 14}, -1, 105, {}},
    {"ProgramsFilesSelector", C::TBADIBDropDownMenu, "PresetsPage", {152, 93, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "ProgramsFilesMenu", .caption = "FILE"}},
    {"BankSelectorButton", C::TBADIBButton, "PresetsPage", {206, 93, 51, 13}, 32, -1, {.behavior = TButtonBehavior::bbHold, .handlers = "OnChange=BankSelectorButtonChange"}},
    {"ProgramsEditSelector", C::TBADIBDropDownMenu, "PresetsPage", {260, 93, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "ProgramsEditMenu", .caption = "EDIT"}},
    {"BankFilesSelector", C::TBADIBDropDownMenu, "PresetsPage", {634, 93, 51, 13}, 3, -1, {.dropDown = TDropDownKind::Command, .menu = "BankListMenu", .caption = "FILE"}},
    {"BankScrollUpButton", C::TBADIBButton, "PresetsPage", {603, 324, 14, 14}, 31, -1, {.behavior = TButtonBehavior::bbAction, .tag2 = -15, .handlers = "OnChange=BankScrollButtonChange"}},
    {"BankScrollDnButton", C::TBADIBButton, "PresetsPage", {623, 324, 14, 14}, 30, -1, {.behavior = TButtonBehavior::bbAction, .tag2 = 15, .handlers = "OnChange=BankScrollButtonChange"}},
    // The whole 9 × 9 lamp of image 35 (listed 8 × 8, which would cut off its right and bottom edge).
    {"PresetLoadingIndicator", C::TDIBImage, "PresetsPage", {17, 66, 9, 9}, 35, -1, {}},
    {"PatchListBank2", C::TPatchListBox, "PresetsPage", {23, 111, 528, 208}, -1, -1, {.tag = 1, .handlers = "OnClick=PatchListClick OnMouseDown=PatchListMouseDown OnMouseUp=PatchListMouseUp OnChange=PatchListBankChange"}},
    {"PatchListBank1", C::TPatchListBox, "PresetsPage", {23, 111, 528, 208}, -1, -1, {.tag = 0, .handlers = "OnClick=PatchListClick OnMouseDown=PatchListMouseDown OnMouseUp=PatchListMouseUp OnChange=PatchListBankChange"}},
    {"HookEdit1", C::THookEdit, "PresetsPage", {320, 96, 109, 13}, -1, -1, {}},
    {"HookEdit2", C::THookEdit, "PresetsPage", {432, 96, 109, 13}, -1, -1, {}},
    {"BanksScrollMask", C::TDIBContainer, "PresetsPage", {555, 111, 130, 208}, -1, -1, {}},
    {"BankListControl", C::TBAListBox, "BanksScrollMask", {0, 0, 147, 208}, -1, -1, {.handlers = "OnClick=BankListControlClick"}},
};
// clang-format on

constexpr std::array<const char*, 20> kClassNames{"TDIBImageContainer",
                                                  "TDIBContainer",
                                                  "TImage",
                                                  "TDIBImage",
                                                  "TLabel",
                                                  "TBADIBKnob",
                                                  "TBADIBButton",
                                                  "TBADIBSpin",
                                                  "TBAMidiChSelector",
                                                  "TBADIBSpinNote",
                                                  "TBADIBDropDownMenu",
                                                  "TDIBEnvelope",
                                                  "TBADIBQuillonKeyboard",
                                                  "TDIBRangeControl",
                                                  "TBAListBox",
                                                  "TPatchListBox",
                                                  "THookEdit",
                                                  "TChart",
                                                  "TBarSeries",
                                                  "TFastLineSeries"};
static_assert(kClassNames.size() == static_cast<std::size_t>(C::TFastLineSeries) + 1);

constexpr int kCaptionWidth = 44; // eight characters of the captions' narrow font
constexpr int kCaptionHeight = 10;
constexpr int kCaptionGap = 2;

} // namespace

const char* const kPageIds[kPageCount] = {"OscillatorPage", "AmpAndFilterPage", "LfoPage",
                                          "GlobalPage",     "FxPage",           "PresetsPage"};

bool IsWindow(const TControlLayout& control) {
    return (control.kind == C::TDIBImageContainer || control.kind == C::TDIBContainer) && control.image < 0;
}

bool InsideWindow(const TControlLayout& control) {
    for (const TControlLayout* parent = FindControl(control.parent ? control.parent : ""); parent != nullptr;
         parent = FindControl(parent->parent ? parent->parent : "")) {
        if (IsWindow(*parent)) return true;
    }
    return false;
}

bool IsPage(std::string_view id) {
    return std::find(std::begin(kPageIds), std::end(kPageIds), id) != std::end(kPageIds);
}

const char* ClassName(TControlClass kind) {
    return kClassNames.at(static_cast<std::size_t>(kind));
}

std::span<const TControlLayout> LayoutControls() {
    return kControls;
}

const TControlLayout* FindControl(std::string_view id) {
    for (const TControlLayout& control : kControls)
        if (id == control.id) return &control;
    return nullptr;
}

const char* PageOf(const TControlLayout& control) {
    const TControlLayout* current = &control;
    while (current != nullptr && current->parent != nullptr) {
        if (current != &control && IsPage(current->id)) return current->id;
        current = FindControl(current->parent);
    }
    return kPrimaryContainer;
}

TLayoutRect RectOnPage(const TControlLayout& control) {
    TLayoutRect rect = control.rect;
    const char* page = PageOf(control);
    for (const TControlLayout* parent = FindControl(control.parent ? control.parent : "");
         parent != nullptr && std::string_view(parent->id) != page;
         parent = FindControl(parent->parent ? parent->parent : "")) {
        rect.x += parent->rect.x;
        rect.y += parent->rect.y;
    }
    return rect;
}

std::vector<const TControlLayout*> ControlsOf(std::string_view page) {
    std::vector<const TControlLayout*> found;
    for (const TControlLayout& control : kControls)
        if (control.parent != nullptr && page == PageOf(control)) found.push_back(&control);
    return found;
}

namespace {

// The words printed under the parameter controls: what a musician calls the control, at most nine narrow
// characters. A control not listed is named by its parameter's short name.
struct TCaptionText {
    const char* control;
    const char* text;
};
constexpr TCaptionText kCaptionTexts[] = {
    {"OscillatorsNumberControl", "Unison"},
    {"OscillatorSyncButton", "Sync"},
    {"OscillatorDetuneKnob", "Detune"},
    {"NoiseEqSelector", "Noise EQ"},
    {"PortamentoEnableButton", "Glide"},
    {"PortamentoKnob", "Time"},
    {"OscillatorLevelKnob", "Oscillator"},
    {"NoiseLevelKnob", "Noise"},
    {"PitchEnvelopeIntensityKnob", "Depth"},
    {"PitchEnvelopeReleaseTimeKnob", "Release"},
    {"PitchEnvelopeReleaseLevelKnob", "Rel. Level"},
    {"FilterEnableButton", "On"},
    {"FilterSelector", "Type"},
    {"FilterCutoffKnob", "Cutoff"},
    {"FilterResonanceKnob", "Resonance"},
    {"FilterKeyboardTrackingKnob", "Key Track"},
    {"FilterBypassKnob", "Dry"},
    {"VcaVelocityKnob", "Amp"},
    {"VcfVelocityKnob", "Filter"},
    {"FilterEnvelopeIntensityKnob", "Depth"},
    {"FilterEnvelopeReleaseTimeKnob", "Release"},
    {"FilterEnvelopeReleaseLevelKnob", "Rel. Level"},
    {"AmpEnvelopeReleaseTimeKnob", "Release"},
    {"AmpEnvelopeRelease2TimeKnob", "Release 2"},
    {"Lfo1EnableButton", "On"},
    {"Lfo1SyncButton", "Sync"},
    {"Lfo1EnvButton", "Envelope"},
    {"Lfo1WaveformSelector", "Waveform"},
    {"Lfo1RateKnob", "Rate"},
    {"Lfo1EnableHoldButton", "S & H"},
    {"Lfo1HoldFrequencyKnob", "S & H Rate"},
    {"Lfo1FilterModKnob", "Filter"},
    {"Lfo1PitchModKnob", "Vibrato"},
    {"Lfo1AmpModKnob", "Tremolo"},
    {"Lfo1EnvelopeReleaseTimeKnob", "Release"},
    {"Lfo1EnvelopeReleaseLevelKnob", "Rel. Level"},
    {"Lfo2EnableButton", "On"},
    {"Lfo2SyncButton", "Sync"},
    {"Lfo2EnvButton", "Envelope"},
    {"Lfo2WaveformSelector", "Waveform"},
    {"Lfo2RateKnob", "Rate"},
    {"Lfo2EnableHoldButton", "S & H"},
    {"Lfo2HoldFrequencyKnob", "S & H Rate"},
    {"Lfo2FilterModKnob", "Filter"},
    {"Lfo2PitchModKnob", "Vibrato"},
    {"Lfo2AmpModKnob", "Tremolo"},
    {"Lfo2EnvelopeReleaseTimeKnob", "Release"},
    {"Lfo2EnvelopeReleaseLevelKnob", "Rel. Level"},
    {"PitchBendSellector", "Target"},
    {"AfterTouchSellector", "Target"},
    {"ExpressionSellector", "Target"},
    {"SoftPedalSellector", "Target"},
    {"ModWheelSellector", "Target"},
    {"BreathContrSellector", "Target"},
    {"PitchBendRangeKnob", "Amount"},
    {"AfterTouchIntensityKnob", "Amount"},
    {"ExpressionIntensityKnob", "Amount"},
    {"SoftPedalIntensityKnob", "Amount"},
    {"ModWheelIntensityKnob", "Amount"},
    {"BreathContrIntensityKnob", "Amount"},
    {"KeyRangeLowControl", "Lowest"},
    {"KeyRangeHighControl", "Highest"},
    {"VoicesControl", "Voices"},
    {"MidiChannelControl", "Channel"},
    {"TransposeOctavesControl", "Octaves"},
    {"TransposeNotesControl", "Semitones"},
    {"MasterTuneControl", "Cents"},
    {"StretchOriginSpinNote", "Origin"},
    {"StretchKBIntensityKnob", "By Key"},
    {"StretchVolIntensityKnob", "By Velocity"},
    {"KeySpreadStereoKnob", "Stereo"},
    {"NoteWeightingKnob", "Weight"},
    {"ChorusEnableButton", "On"},
    {"ChorusSyncButton", "Sync"},
    {"ChorusSpreadButton", "Spread"},
    {"ChorusDelayKnob", "Delay"},
    {"ChorusRateKnob", "Rate"},
    {"ChorusDepthKnob", "Depth"},
    {"ChorusFeedbackKnob", "Feedback"},
    {"ChorusMixKnob", "Mix"},
    {"DelayEnableButton", "On"},
    {"DelaySyncButton", "Sync"},
    {"DelayPingPongButton", "Ping-Pong"},
    {"DelayDelayKnob", "Time"},
    {"DelayFeedbackKnob", "Feedback"},
    {"DelayLowCutKnob", "Low Cut"},
    {"DelayHiCutKnob", "High Cut"},
    {"DelayMixKnob", "Mix"},
    {"PhaserEnableButton", "On"},
    {"PhaserSyncButton", "Sync"},
    {"PhaserSpreadButton", "Spread"},
    {"PhaserManualKnob", "Manual"},
    {"PhaserRateKnob", "Rate"},
    {"PhaserDepthKnob", "Depth"},
    {"PhaserFeedbackKnob", "Feedback"},
    {"PhaserMixKnob", "Mix"},
    {"ReverbEnableButton", "On"},
    {"ReverbSizeKnob", "Size"},
    {"ReverbDampingKnob", "Damping"},
    {"ReverbHiDampKnob", "High Damp"},
    {"ReverbLowCutKnob", "Low Cut"},
    {"ReverbMixKnob", "Mix"},
};

std::string CaptionText(const TControlLayout& control) {
    for (const TCaptionText& caption : kCaptionTexts)
        if (std::string_view(caption.control) == control.id) return caption.text;
    return ParameterTable::Name(control.parameter);
}

std::vector<TLayoutRect> CaptionObstacles(std::string_view page) {
    std::vector<TLayoutRect> obstacles;
    for (const TControlLayout* control : ControlsOf(page)) {
        // A scrolled window stands for its contents; a chart's series lie inside the chart.
        const TControlLayout* parent = FindControl(control->parent);
        const bool inside = InsideWindow(*control) || (parent != nullptr && parent->kind == C::TChart);
        if (!IsPage(control->id) && !inside) obstacles.push_back(RectOnPage(*control));
    }
    return obstacles;
}

} // namespace

std::vector<TCaption> CaptionsOf(std::string_view page) {
    const TControlLayout* pageControl = FindControl(page);
    if (pageControl == nullptr) return {};
    const TLayoutRect area{0, 0, pageControl->rect.w, pageControl->rect.h};
    std::vector<TLayoutRect> taken = CaptionObstacles(page);
    std::vector<TCaption> captions;
    for (const TControlLayout* control : ControlsOf(page)) {
        // The "Loop" and "Time Stretch" buttons are named by their hints: the rows between the harmony
        // inspector and its time line, and above the envelope time lines, leave no room for a caption.
        if (control->parameter < 0 || control->kind == C::TLabel || control->settings.hint != nullptr) continue;
        const TLayoutRect at = RectOnPage(*control);
        const int middleX = at.x + (at.w - kCaptionWidth) / 2;
        const int middleY = at.y + (at.h - kCaptionHeight) / 2;
        // Under the control where there is room, else above it, right of it or left of it.
        const TLayoutRect candidates[] = {{middleX, at.Bottom() + kCaptionGap, kCaptionWidth, kCaptionHeight},
                                          {middleX, at.y - kCaptionGap - kCaptionHeight, kCaptionWidth, kCaptionHeight},
                                          {at.Right() + kCaptionGap, middleY, kCaptionWidth, kCaptionHeight},
                                          {at.x - kCaptionGap - kCaptionWidth, middleY, kCaptionWidth, kCaptionHeight}};
        const TLayoutRect* chosen = &candidates[0];
        for (const TLayoutRect& candidate : candidates) {
            const bool free = area.Contains(candidate) &&
                              std::none_of(taken.begin(), taken.end(),
                                           [&](const TLayoutRect& other) { return candidate.Intersects(other); });
            if (free) {
                chosen = &candidate;
                break;
            }
        }
        taken.push_back(*chosen);
        captions.push_back({CaptionText(*control), PageOf(*control), control->id, *chosen});
    }
    return captions;
}

} // namespace quillon

namespace quillon {

namespace {

// How far a section's frame keeps from what it holds.
struct TMargins {
    int left = 6, top = 6, right = 6, bottom = 4;
};

// A section as planned: the controls it frames (ids separated by spaces), the column whose left and right
// edges it shares (0 for none) and its margins where the neighbours leave less room than usual.
struct TSectionPlan {
    const char* page;
    const char* title;
    const char* controls;
    int column = 0;
    TMargins margin{};
};

// Sections of one page follow each other in page order. Where two sections lie closer than the usual
// margins (the envelope tool rows, the harmony time line under the inspector, the two lists of the presets
// page), the smaller margin is given.
// clang-format off
constexpr TSectionPlan kSectionPlans[] = {
    {"OscillatorPage", "OSCILLATORS", "OscillatorsNumberControl OscillatorDetuneKnob OscillatorSyncButton NoiseEqSelector", 1},
    {"OscillatorPage", "PORTAMENTO", "PortamentoEnableButton PortamentoKnob", 1},
    {"OscillatorPage", "LEVELS", "OscillatorLevelKnob NoiseLevelKnob", 1},
    {"OscillatorPage", "HARMONY INSPECTOR", "HarmonyInspectorPresetsSelector ViewHarmonicsPhaseButton HarmonyInspectorRangeSelector HarmonyInspectorEditTypeSelector HarmonicsLinkedControl HarmInfoLabel HarmonyInspector", 2, {.bottom = 2}},
    {"OscillatorPage", "HARMONIES", "LoopHarmoniesButton HarmonyStretchButton HarmPointInfoLabel HarmonyEnvEditSelector HarmonyEnvHandlingSelector AnalyzerSelector HarmonyEnvDragMask", 2, {.top = 2, .bottom = 3}},
    {"OscillatorPage", "PITCH ENVELOPE", "LoopPitchEnvelopeButton PitchEnvelopeStretchButton PitchEnvelopeInfoLabel PitchEnvEditSelector PitchEnvHandlingSelector PitchEnvDragMask PitchEnvelopeIntensityKnob PitchEnvelopeReleaseTimeKnob PitchEnvelopeReleaseLevelKnob", 2, {.top = 3}},
    {"AmpAndFilterPage", "FILTER ENVELOPE", "LoopFilterEnvelopeButton FilterEnvelopeStretchButton FilterEnvelopeInfoLabel FilterEnvEditSelector FilterEnvHandlingSelector FilterEnvDragMask FilterEnvelopeIntensityKnob FilterEnvelopeReleaseTimeKnob FilterEnvelopeReleaseLevelKnob", 1, {.top = 5}},
    {"AmpAndFilterPage", "FILTER", "FilterEnableButton FilterSelector FilterCutoffKnob FilterResonanceKnob FilterKeyboardTrackingKnob FilterBypassKnob", 0, {.bottom = 2}},
    {"AmpAndFilterPage", "VELOCITY", "VcaVelocityKnob VcfVelocityKnob", 0, {.bottom = 2}},
    {"AmpAndFilterPage", "AMPLIFIER ENVELOPE", "LoopAmpEnvelopeButton AmpEnvelopeStretchButton AmplifierEnvelopeInfoLabel AmpEnvEditSelector AmpEnvHandlingSelector AmpEnvDragMask AmpEnvelopeReleaseTimeKnob AmpEnvelopeRelease2TimeKnob", 1, {.top = 3}},
    {"LfoPage", "LFO 1", "Lfo1EnableButton Lfo1SyncButton Lfo1EnvButton Lfo1WaveformSelector Lfo1RateKnob Lfo1WaveformScope Lfo1HoldFrequencyKnob Lfo1EnableHoldButton", 1},
    {"LfoPage", "LFO 1 ENVELOPE", "LoopLfo1EnvelopeButton Lfo1EnvelopeStretchButton Lfo1EnvelopeInfoLabel Lfo1EnvEditSelector Lfo1EnvHandlingSelector Lfo1EnvDragMask Lfo1EnvelopeReleaseTimeKnob Lfo1EnvelopeReleaseLevelKnob", 2, {.top = 5}},
    {"LfoPage", "LFO 1 DEPTH", "Lfo1FilterModKnob Lfo1PitchModKnob Lfo1AmpModKnob", 0, {.bottom = 2}},
    {"LfoPage", "LFO 2 DEPTH", "Lfo2FilterModKnob Lfo2PitchModKnob Lfo2AmpModKnob", 0, {.bottom = 2}},
    {"LfoPage", "LFO 2", "Lfo2EnableButton Lfo2SyncButton Lfo2EnvButton Lfo2WaveformSelector Lfo2RateKnob Lfo2WaveformScope Lfo2HoldFrequencyKnob Lfo2EnableHoldButton", 1},
    {"LfoPage", "LFO 2 ENVELOPE", "LoopLfo2EnvelopeButton Lfo2EnvelopeStretchButton Lfo2EnvelopeInfoLabel Lfo2EnvEditSelector Lfo2EnvHandlingSelector Lfo2EnvDragMask Lfo2EnvelopeReleaseTimeKnob Lfo2EnvelopeReleaseLevelKnob", 2, {.top = 3}},
    {"GlobalPage", "TIME STRETCH", "StretchOriginSpinNote StretchKBIntensityKnob StretchVolIntensityKnob", 1},
    {"GlobalPage", "KEY SCALING", "KeySpreadStereoKnob NoteWeightingKnob", 1},
    {"GlobalPage", "MIDI", "MidiChannelControl", 0, {3, 6, 3, 4}},
    {"GlobalPage", "VOICES", "VoicesControl", 0, {3, 6, 3, 4}},
    {"GlobalPage", "KEY RANGE", "KeyRangeLowControl KeyRangeHighControl", 2},
    {"GlobalPage", "TRANSPOSE", "TransposeOctavesControl TransposeNotesControl", 2},
    {"GlobalPage", "TUNE", "MasterTuneControl", 2, {.bottom = 2}},
    {"GlobalPage", "PITCH BEND", "PitchBendSellector PitchBendRangeKnob", 3},
    {"GlobalPage", "EXPRESSION", "ExpressionSellector ExpressionIntensityKnob", 3},
    {"GlobalPage", "MOD WHEEL", "ModWheelSellector ModWheelIntensityKnob", 3},
    {"GlobalPage", "AFTERTOUCH", "AfterTouchSellector AfterTouchIntensityKnob", 4},
    {"GlobalPage", "SOFT PEDAL", "SoftPedalSellector SoftPedalIntensityKnob", 4},
    {"GlobalPage", "BREATH", "BreathContrSellector BreathContrIntensityKnob", 4},
    {"GlobalPage", "VOICE ASSIGNMENT", "VoiceAssignmentButton1 VoiceAssignmentButton2", 5},
    {"GlobalPage", "NOTE OVERLAP", "NoteOverlapButton1 NoteOverlapButton2 NoteOverlapButton3", 5},
    {"FxPage", "CHORUS", "ChorusEnableButton ChorusSyncButton ChorusSpreadButton ChorusDelayKnob ChorusRateKnob ChorusDepthKnob ChorusFeedbackKnob ChorusMixKnob", 1, {8, 12, 8, 8}},
    {"FxPage", "DELAY", "DelayEnableButton DelaySyncButton DelayPingPongButton DelayDelayKnob DelayFeedbackKnob DelayLowCutKnob DelayHiCutKnob DelayMixKnob", 2, {8, 12, 8, 8}},
    {"FxPage", "PHASER", "PhaserEnableButton PhaserSyncButton PhaserSpreadButton PhaserManualKnob PhaserRateKnob PhaserDepthKnob PhaserFeedbackKnob PhaserMixKnob", 1, {8, 12, 8, 8}},
    {"FxPage", "REVERB", "ReverbEnableButton ReverbSizeKnob ReverbDampingKnob ReverbHiDampKnob ReverbLowCutKnob ReverbMixKnob", 2, {8, 12, 8, 8}},
    {"PresetsPage", "PROGRAMS", "ProgramsFilesSelector BankSelectorButton ProgramsEditSelector HookEdit1 HookEdit2 PatchListBank1", 0, {1, 1, 1, 1}},
    {"PresetsPage", "BANKS", "BankFilesSelector BanksScrollMask BankScrollUpButton BankScrollDnButton", 0, {1, 1, 1, 1}},
};
// clang-format on

// The radio groups' choices (voice assignment: the lowest free voice or the voices in turn, the previous
// one gliding to the new note; note overlap: a repeated note is ignored, restarts its voice or takes a new
// one) and the MIDI buttons.
struct TLegendPlan {
    const char* control;
    const char* text;
};
constexpr TLegendPlan kLegendPlans[] = {
    {"MidiLearnButton", "LEARN"},         {"MidiUnLearnButton", "UNLEARN"},    {"MidiResetButton", "RESET LEARN"},
    {"VoiceAssignmentButton1", "LOWEST"}, {"VoiceAssignmentButton2", "CYCLE"}, {"NoteOverlapButton1", "IGNORE"},
    {"NoteOverlapButton2", "RETRIGGER"},  {"NoteOverlapButton3", "NEW VOICE"},
};

// Printed text measures in pixels (the narrow bold font at 8 pixels keeps capitals under 5 pixels wide).
constexpr int kLegendCharWidth = 5;
constexpr int kLegendHeight = 10;
constexpr int kLegendGap = 3;
constexpr int kTitleCharWidth = 5;
constexpr int kTitleInset = 8;   // from the frame's left edge
constexpr int kTitlePadding = 3; // gap in the line either side of the title
constexpr int kTitleHalfHeight = 4;

TLayoutRect Union(const TLayoutRect& a, const TLayoutRect& b) {
    if (a.w == 0) return b;
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

std::vector<std::string_view> SplitIds(std::string_view ids) {
    std::vector<std::string_view> parts;
    while (!ids.empty()) {
        const std::size_t end = std::min(ids.find(' '), ids.size());
        if (end > 0) parts.push_back(ids.substr(0, end));
        ids.remove_prefix(std::min(end + 1, ids.size()));
    }
    return parts;
}

std::vector<TSection> PlanSections() {
    std::vector<TSection> sections;
    std::vector<int> columns;
    for (const TSectionPlan& plan : kSectionPlans) {
        const std::vector<TCaption> captions = CaptionsOf(plan.page);
        const std::vector<TLegend> legends = LegendsOf(plan.page);
        TLayoutRect held{};
        for (const std::string_view id : SplitIds(plan.controls)) {
            const TControlLayout* control = FindControl(id);
            if (control == nullptr) continue;
            held = Union(held, RectOnPage(*control));
            for (const TControlLayout* label : ControlsOf(plan.page))
                if (label->kind == C::TLabel && control->parameter >= 0 && label->parameter == control->parameter)
                    held = Union(held, RectOnPage(*label));
            for (const TCaption& caption : captions)
                if (id == caption.control) held = Union(held, caption.rect);
            for (const TLegend& legend : legends)
                if (id == legend.control) held = Union(held, legend.rect);
        }
        const TMargins& m = plan.margin;
        const TLayoutRect frame{held.x - m.left, held.y - m.top, held.w + m.left + m.right, held.h + m.top + m.bottom};
        sections.push_back({plan.page, plan.title, frame, {}});
        columns.push_back(plan.column);
    }
    // The sections of a column share the widest left and right edges.
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (columns[i] == 0) continue;
        int left = sections[i].rect.x, right = sections[i].rect.Right();
        for (std::size_t j = 0; j < sections.size(); ++j)
            if (columns[j] == columns[i] && std::string_view(sections[j].page) == sections[i].page) {
                left = std::min(left, sections[j].rect.x);
                right = std::max(right, sections[j].rect.Right());
            }
        sections[i].rect.x = left;
        sections[i].rect.w = right - left;
    }
    for (TSection& section : sections) {
        const int width = static_cast<int>(std::string_view(section.title).size()) * kTitleCharWidth;
        section.titleRect = {section.rect.x + kTitleInset, section.rect.y - kTitleHalfHeight, width + 2 * kTitlePadding,
                             2 * kTitleHalfHeight};
    }
    return sections;
}

} // namespace

std::vector<TLegend> LegendsOf(std::string_view page) {
    std::vector<TLegend> legends;
    for (const TLegendPlan& plan : kLegendPlans) {
        const TControlLayout* control = FindControl(plan.control);
        if (control == nullptr || page != PageOf(*control)) continue;
        const TLayoutRect at = RectOnPage(*control);
        const TLayoutRect& active = control->settings.active;
        const int middle = at.y + (active.h > 0 ? active.y + active.h / 2 : at.h / 2);
        const int width = static_cast<int>(std::string_view(plan.text).size()) * kLegendCharWidth;
        legends.push_back({PageOf(*control),
                           plan.control,
                           plan.text,
                           {at.Right() + kLegendGap, middle - kLegendHeight / 2, width, kLegendHeight}});
    }
    return legends;
}

std::span<const TSection> SectionsOf(std::string_view page) {
    static const std::vector<TSection> sections = PlanSections();
    const auto first =
        std::find_if(sections.begin(), sections.end(), [&](const TSection& section) { return page == section.page; });
    const auto last =
        std::find_if(first, sections.end(), [&](const TSection& section) { return page != section.page; });
    return {first, last};
}

} // namespace quillon
