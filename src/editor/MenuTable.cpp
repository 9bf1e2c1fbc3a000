#include "editor/MenuTable.h"

#include <array>

namespace quillon {

namespace {

using I = TMenuItemLayout;

// clang-format off
constexpr I kEnvelopeHandling[] = {
    {"MoveMenuItem", 0, "Move", nullptr},
    {"DragMenuItem", 1, "Drag", nullptr},
    {"StretchMenuItem", 2, "Stretch", nullptr},
};

constexpr I kHarmonyInspectorEditType[] = {
    {"EditAllMenuItem", 0, "Edit All", nullptr},
    {"EditOddMenuItem", 1, "Edit Odd", nullptr},
    {"EditEvenMenuItem", 2, "Edit Even", nullptr},
    {"Edit3ThsMenuItem", 3, "Edit 3'Ths", nullptr},
    {"Edit4ThsMenuItem", 4, "Edit 4'Ths", nullptr},
    {"Edit5ThsMenuItem", 5, "Edit 5'Ths", nullptr},
    {"Edit6ThsMenuItem", 6, "Edit 6'Ths", nullptr},
    {"Edit7ThsMenuItem", 7, "Edit 7'Ths", nullptr},
    {"EditOctavesMenuItem", 12, "Edit Oct.", nullptr},
};

constexpr I kLfoWaveform[] = {
    {"LfoSineMenuItem", 1, "Sine", nullptr},
    {"LfoTriangleMenuItem", 2, "Triangle", nullptr},
    {"LfoSquareMenuItem", 3, "Square", nullptr},
    {"LfoSawUpMenuItem", 4, "Sawtooth Up", nullptr},
    {"LfoSawDnMenuItem", 5, "Sawtooth Down", nullptr},
    {"LfoExponential1MenuItem", 6, "Exponential 1", nullptr},
    {"LfoExponential2MenuItem", 7, "Exponential 2", nullptr},
    {"LfoExponential3MenuItem", 8, "Exponential 3", nullptr},
    {"LfoExponential4MenuItem", 9, "Exponential 4", nullptr},
    {"LfoNoiseSHMenuItem", 10, "Noise S/H", nullptr},
};

constexpr I kEnvelopeEdit[] = {
    {"DeleteSelectedPointMenuItem", 0, "Delete Selected Point", nullptr},
    {"DeleteAllPointsMenuItem", 1, "Delete All Points", nullptr},
};

constexpr I kFilter[] = {
    {"Lowpass6MenuItem", 1, "Lowpass 6", nullptr},
    {"Lowpass12MenuItem", 2, "Lowpass 12", nullptr},
    {"Lowpass24MenuItem", 3, "Lowpass 24", nullptr},
    {"moogLowpassMenuItem", 4, "mg Lowpass", nullptr},
    {"Highpass6dBoctLowpass6MenuItem", 5, "Highpass 6", nullptr},
    {"Highpass12MenuItem", 6, "Highpass 12", nullptr},
    {"Highpass24MenuItem", 7, "Highpass 24", nullptr},
    {"mgHighpassMenuItem", 8, "mg Highpass", nullptr},
    {"Bandpass6MenuItem", 9, "Bandpass 6", nullptr},
    {"Bandpass12MenuItem", 10, "Bandpass 12", nullptr},
    {"Notch6MenuItem", 11, "Notch 6", nullptr},
    {"Notch12MenuItem", 12, "Notch 12", nullptr},
};

constexpr I kNoiseEq[] = {
    {"WhiteNoiseMenuItem", 1, "White", nullptr},
    {"PinkNoiseMenuItem", 2, "Pink", nullptr},
    {"Breath1NoiseMenuItem", 3, "Breath 1", nullptr},
    {"Breath2NoiseMenuItem", 4, "Breath 2", nullptr},
    {"BlowNoiseMenuItem", 5, "Blow", nullptr},
};

constexpr I kModAssign[] = {
    {"ModOffMenuItem", 0, "Off", nullptr},
    {"ModPitchMenuItem", 1, "Pitch", nullptr},
    {"ModFilterMenuItem", 2, "Filter Cutoff", nullptr},
    {"ModAmpMenuItem", 3, "Amplitude", nullptr},
    {"ModLFO1VibratoMenuItem", 4, "LFO1 Vibrato", nullptr},
    {"ModLFO1FilterMenuItem", 5, "LFO1 Filter", nullptr},
    {"ModLFO1TremoloMenuItem", 6, "LFO1 Tremolo", nullptr},
    {"ModLFO2FilterMenuItem", 7, "LFO2 Vibrato", nullptr},
    {"LFO2FilterMod1", 8, "LFO2 Filter", nullptr},
    {"ModLFO2TremoloMenuItem", 9, "LFO2 Tremolo", nullptr},
};

constexpr I kBankList[] = {
    {"SaveBankMenuItem", 0, "Save Bank", "SaveBankMenuItemClick"},
    {"SaveBankAsMenuItem", 1, "Save Bank As...", "SaveBankAsMenuItemClick"},
    {"N13", 0, "-", nullptr},
    {"DeleteBankMenuItem", 2, "Delete Bank", "DeleteBankMenuItemClick"},
    {"N14", 0, "-", nullptr},
    {"ChangeBankDirectoryMenuItem", 3, "Change Bank Directory", "ChangeBankDirectoryMenuItemClick"},
};

constexpr I kProgramsFiles[] = {
    {"LoadProgramMenuItem", 0, "Load Program", "LoadProgramMenuItemClick"},
    {"SaveProgramMenuItem", 1, "Save Program", "SaveProgramMenuItemClick"},
    {"ChangeProgramDirectoryMenuItem", 2, "Change Program Directory", "ChangeProgramDirectoryMenuItemClick"},
};

constexpr I kProgramsEdit[] = {
    {"InsertProgramIntoOppositeBankMenuItem", 0, "Insert Program into Opposite Bank", "InsertProgramIntoOppositeBankMenuItemClick"},
    {"CopyProgramMenuItem", 1, "Copy Program", "CopyProgramMenuItemClick"},
    {"PasteProgramMenuItem", 2, "Paste Program", "PasteProgramMenuItemClick"},
    {"N5", 0, "-", nullptr},
    {"ClearProgramMenuItem", 3, "Clear Selected Program", "ClearProgramMenuItemClick"},
    {"ClearBankMenuItem", 4, "Clear All Programs in Selected Bank", "ClearBankMenuItemClick"},
};

constexpr I kHarmonyInspectorRange[] = {
    {"HarmScale0MenuItem", 0, "1- 50", nullptr, false, false, 1},
    {"HarmScale1MenuItem", 1, "51- 100", nullptr, false, false, 1},
    {"HarmScale2MenuItem", 2, "101- 150", nullptr, false, false, 1},
    {"HarmScale3MenuItem", 3, "151- 200", nullptr, false, false, 1},
    {"HarmScale4MenuItem", 4, "201- 250", nullptr, false, false, 1},
    {"HarmScale5MenuItem", 5, "1- 125", nullptr, false, false, 1},
    {"HarmScale6MenuItem", 6, "126- 250", nullptr, false, false, 1},
    {"HarmScale7MenuItem", 7, "1- 250", nullptr, false, false, 1},
};

constexpr I kHarmonyInspectorPresets[] = {
    {"PresetWaveformsMenuItem", 0, "Preset Waveforms", nullptr},
    {"SawtoothWaveMenuItem", 0, "Sawtooth", "makeWaveformMenuItemClick", true},
    {"SquareWaveMenuItem", 1, "Square", "makeWaveformMenuItemClick", true},
    {"riangleWaveMenuItem", 2, "Triangle", "makeWaveformMenuItemClick", true},
    {"Pulse6WaveMenuItem", 3, "Pulse 6%", "makeWaveformMenuItemClick", true},
    {"Pulse12WaveMenuItem", 4, "Pulse 12%", "makeWaveformMenuItemClick", true},
    {"Pulse25WaveMenuItem", 5, "Pulse 25%", "makeWaveformMenuItemClick", true},
    {"AsymTriangle3WaveMenuItem", 6, "Asym. Triangle 3%", "makeWaveformMenuItemClick", true},
    {"AsymTriangle6WaveMenuItem", 7, "Asym. Triangle 6%", "makeWaveformMenuItemClick", true},
    {"AsymTriangle12WaveMenuItem", 8, "Asym. Triangle 12%", "makeWaveformMenuItemClick", true},
    {"AsymTriangle25WaveMenuItem", 9, "Asym. Triangle 25%", "makeWaveformMenuItemClick", true},
    {"MakeRandomHarmonyMenuItem", 10, "Make Random Harmony", "makeWaveformMenuItemClick"},
    {"N2", 0, "-", nullptr},
    {"BrightenHarmonyMenuItem", 0, "Brighten Harmony", "BrightenHarmonyMenuItemClick"},
    {"SoftenHarmonyMenuItem", 0, "Soften Harmony", "SoftenHarmonyMenuItemClick"},
    {"ClearHarmonyMenuItem", 0, "Clear Harmony", "ClearHarmonyMenuItemClick"},
    {"N1", 0, "-", nullptr},
    {"LoadHarmonyfromFileMenuItem", 0, "Load Harmony from File", "LoadHarmonyfromFile"},
    {"SaveHarmonytoFileMenuItem", 0, "Save Harmony to File", "SaveHarmonytoFile"},
    {"N6", 0, "-", nullptr},
    {"DefaultHarmonyDirectorymenuItem", 0, "Default Harmony Directory", "ChangeDefaultHarmonyDirectory"},
};

constexpr I kHarmonyEnvEdit[] = {
    {"CopyHarmonyMenuItem", 0, "Copy Harmony", "CopyHarmonyMenuItemClick"},
    {"PasteHarmonyMenuItem", 0, "Paste Harmony", "PasteHarmonyMenuItemClick"},
    {"N3", 0, "-", nullptr},
    {"DeleteHarmonyMenuItem", 0, "Delete Selected Harmony", "DeleteHarmonyMenuItemClick"},
    {"DeleteHarmoniesAboveSelectedMenuItem", 0, "Delete Harmonies Above Selected", "DeleteHarmoniesAboveSelectedMenuItemClick"},
    {"DeleteHarmoniesBelowSelectedMenuItem", 0, "Delete Harmonies Below Selected", "DeleteHarmoniesBelowSelectedMenuItemClick"},
    {"DeleteAllHarmoniesMenuItem", 0, "Delete All Harmonies", "DeleteAllHarmoniesMenuItemClick"},
    {"N7", 0, "-", nullptr},
    {"DeleteOnRightClickMenuItem", 0, "Delete On Right Click", "DeleteOnRightClickMenuItemClick", false, false, 0, false, true},
};

constexpr I kAudioAnalyzer[] = {
    {"AnalyzeAudioFile1", 0, "Analyze Audio File", "ImportAudioFileClick"},
    {"N4", 0, "-", nullptr},
    {"DynamicModeMenuItem", 0, "Dynamic Mode", "AnalyzerModeMenuItemClick", false, true, 1},
    {"MediumModeMenuItem", 0, "Medium Mode", "AnalyzerModeMenuItemClick", false, true, 1, true},
    {"SoftModeMenuItem", 0, "Soft Mode", "AnalyzerModeMenuItemClick", false, true, 1},
};

constexpr std::array<TMenuLayout, 14> kMenus{{
    {"EnvelopeHandlingMenu", nullptr, kEnvelopeHandling},
    {"HarmonyInspectorEditTypeMenu", nullptr, kHarmonyInspectorEditType},
    {"LfoWaveformMenu", nullptr, kLfoWaveform},
    {"EnvelopeEditMenu", nullptr, kEnvelopeEdit},
    {"FilterMenu", nullptr, kFilter},
    {"NoiseEqMenu", nullptr, kNoiseEq},
    {"ModAssignPopupMenu", nullptr, kModAssign},
    {"BankListMenu", "BankListMenuPopup", kBankList},
    {"ProgramsFilesMenu", "ProgramsMenuPopup", kProgramsFiles},
    {"ProgramsEditMenu", "ProgramsMenuPopup", kProgramsEdit},
    {"HarmonyInspectorRangeMenu", nullptr, kHarmonyInspectorRange},
    {"HarmonyInspectorPresetsMenu", "EnvelopeHandlingMenuPopup", kHarmonyInspectorPresets},
    {"HarmonyEnvEditMenu", "EnvelopeHandlingMenuPopup", kHarmonyEnvEdit},
    {"AudioAnalyzerMenu", nullptr, kAudioAnalyzer},
}};
// clang-format on

} // namespace

std::span<const TMenuLayout> LayoutMenus() {
    return kMenus;
}

const TMenuLayout* FindMenu(std::string_view id) {
    for (const TMenuLayout& menu : kMenus)
        if (id == menu.id) return &menu;
    return nullptr;
}

std::unique_ptr<TPopupMenu> BuildMenu(const TMenuLayout& layout, const TMenuHandlerBinder& bind) {
    auto menu = std::make_unique<TPopupMenu>();
    TMenuItem* lastTop = nullptr;
    for (const TMenuItemLayout& entry : layout.items) {
        TMenuItem& parent = entry.subItem && lastTop != nullptr ? *lastTop : menu->Items;
        TMenuItem& item = parent.Add(entry.tag, entry.caption);
        if (!entry.subItem) lastTop = &item;
        item.RadioItem = entry.radio;
        item.GroupIndex = entry.group;
        item.AutoCheck = entry.autoCheck;
        if (entry.checked) item.SetChecked(true);
        if (entry.onClick != nullptr && bind) item.OnClick = bind(entry);
    }
    return menu;
}

} // namespace quillon
