// The form's harmony time line, its loop bar, the harmony inspector and the harmony commands.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "toolkit/TDIBEnvelope.h"

namespace quillon {

using namespace form;

namespace {

// Inspector bar of a level byte (0.5 dB steps, silent from -90 dB) and of a phase byte (degrees).
double LevelBar(int level) {
    return std::max(-0.5 * level, kSilentBar);
}

double PhaseBar(int phase) {
    return phase / 256.0 * 360.0 - 180.0;
}

} // namespace

// Harmony time line and inspector --------------------------------------------------------------------------

void TPluginGUI::AddHarmonyHandlers(THandlerTable& table) {
    table.controls.insert({
        {"ViewHarmonicsPhaseLevelChanged", [this](TDIBControl& c) { ViewHarmonicsPhaseLevelChanged(c); }},
        {"HarmonyInspectorRangeSelectorChange", [this](TDIBControl& c) { HarmonyInspectorRangeSelectorChange(c); }},
        {"HarmonyInspectorEditTypeSelectorChange",
         [this](TDIBControl& c) { HarmonyInspectorEditTypeSelectorChange(c); }},
        {"HarmonicsLinkedControlChange", [this](TDIBControl& c) { HarmonicsLinkedControlChange(c); }},
    });
    table.menuItems.insert({
        {"DeleteOnRightClickMenuItemClick", [this](TMenuItem& item) { DeleteOnRightClickMenuItemClick(item); }},
    });
}

void TPluginGUI::LoadHarmonyTimeLine() {
    auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv");
    if (harmonies == nullptr) return;
    if (TDIBControl* inspector = Control("HarmonyInspector")) inspector->SetEnabled(false);
    harmonies->SetEnabled(false);
    harmonies->DeleteAllPoints();
    const int frames = plugin_.GetFrameCount();
    for (int frame = 0; frame < frames; ++frame)
        harmonies->AddPoint(TimeToPercent(plugin_.GetFrameTime(frame)), 0);
    harmonies->SetEnabled(true);
    if (harmonies->PointCount() > 0) {
        harmonies->SetSelectedPoint(nullptr);
        harmonies->SetSelectedPoint(harmonies->Point(0));
    }
    FillInspectorBars();
    if (auto* loop = ControlAs<TDIBRangeControl>("HarmonyLoopControl"))
        SetLoopRange(*loop, plugin_.GetLoopStart(), plugin_.GetLoopEnd());
}

void TPluginGUI::FillInspectorBars() {
    auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector");
    const auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv");
    if (inspector == nullptr || harmonies == nullptr) return;
    const TEnvelopePoint* selected = harmonies->SelectedPoint();
    inspector->SetEnabled(selected != nullptr);
    if (selected == nullptr) return;
    const int frame = selected->Index();
    const bool phase = plugin_.GetGlobalSettings()[kPhaseViewOffset] != 0;
    for (int harmonic = 0; harmonic < std::min(kInspectorBars, inspector->BarCount()); ++harmonic)
        inspector->SetBar(harmonic, phase ? PhaseBar(plugin_.GetHarmonicPhase(frame, harmonic))
                                          : LevelBar(plugin_.GetHarmonicLevel(frame, harmonic)));
}

void TPluginGUI::ViewHarmonicsPhaseLevelChanged(TDIBControl& sender) {
    const bool phase = static_cast<const TBADIBButton&>(sender).Active();
    plugin_.GetGlobalSettings()[kPhaseViewOffset] = phase ? 1 : 0;
    SetInspectorView(phase);
    FillInspectorBars();
}

void TPluginGUI::HarmonyInspectorRangeSelectorChange(TDIBControl& sender) {
    const int range = static_cast<const TBADIBDropDownMenu&>(sender).MenuTag();
    WriteInt(plugin_.GetGlobalSettings(), kInspectorRangeOffset, range);
    SetInspectorRange(range);
}

void TPluginGUI::HarmonyInspectorEditTypeSelectorChange(TDIBControl& sender) {
    WriteInt(plugin_.GetGlobalSettings(), kEditTypeOffset, static_cast<const TBADIBDropDownMenu&>(sender).MenuTag());
}

void TPluginGUI::HarmonicsLinkedControlChange(TDIBControl& sender) {
    plugin_.GetGlobalSettings()[kLinkedOffset] = static_cast<const TBADIBButton&>(sender).Active() ? 1 : 0;
}

void TPluginGUI::DeleteOnRightClickMenuItemClick(TMenuItem& item) {
    plugin_.GetGlobalSettings()[kDeleteOnRightClickOffset] = item.Checked() ? 1 : 0;
    if (auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv")) harmonies->DeletePointOnRightClick = item.Checked();
}

void TPluginGUI::SetInspectorView(bool phase) {
    auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector");
    if (inspector == nullptr) return;
    inspector->SetLeftAxis(phase ? TChartAxis{-180, 180, 60} : TChartAxis{-90, 0, 20});
    inspector->SetBarOrigin(phase ? 0 : -100);
}

void TPluginGUI::SetInspectorRange(int range) {
    auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector");
    if (inspector == nullptr) return;
    const TInspectorRange& chosen = kInspectorRanges[std::clamp(range, 0, 7)];
    TChartAxis bottom = inspector->BottomAxis();
    bottom.min = 0;
    inspector->SetBottomAxis(bottom);
    // A label every 2 harmonics over 50, every 5 over 125, every 10 over 250.
    const double span = chosen.max - chosen.min;
    inspector->SetBottomAxis(TChartAxis{chosen.min, chosen.max, span <= 50 ? 2.0 : (span <= 125 ? 5.0 : 10.0)});
    inspector->SetBarsPerPage(chosen.bars);
}

} // namespace quillon
