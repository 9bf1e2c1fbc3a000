// The form's harmony time line, its loop bar, the harmony inspector and the harmony commands.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "engine/DisplayFormat.h"
#include "platform/ISettingsStore.h"
#include "toolkit/TDIBEnvelope.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace quillon {

using namespace form;

namespace {

// The inspector's plot inside the chart: 500 × 90 pixels from (11, 4).
constexpr double kPlotLeft = 11.0;
constexpr double kPlotTop = 4.0;
constexpr double kPlotWidth = 500.0;
constexpr double kPlotHeight = 90.0;
// Level bytes: 0.5 dB steps down from 0 dB; -90 dB (180) is stored as silence.
constexpr int kLowestLevel = 180;
constexpr int kSilentLevel = 255;
// "Brighten Harmony" and "Soften Harmony" tilt the harmonics by this much.
constexpr float kTilt = 2.0f;

// The commands that act on the selected harmony, enabled exactly while there is one ("Paste Harmony" also
// needs the clipboard).
constexpr std::string_view kSelectionCommands[] = {"Copy Harmony",
                                                   "Preset Waveforms",
                                                   "Clear Harmony",
                                                   "Delete Selected Harmony",
                                                   "Make Random Harmony",
                                                   "Load Harmony from File",
                                                   "Save Harmony to File",
                                                   "Delete Harmonies Below Selected",
                                                   "Delete Harmonies Above Selected",
                                                   "Brighten Harmony",
                                                   "Soften Harmony"};
constexpr std::string_view kPasteCommand = "Paste Harmony";

// Whether an inspector edit of edit type `type` reaches `harmonic`: 0 all, 1 odd ones, 2 to 11 every
// type-th, 12 the octaves 1, 2, 4, ... 128, any other none.
bool EditTypeTakes(int type, int harmonic) {
    if (type == 0) return true;
    if (type == 1) return harmonic % 2 == 1;
    if (type >= 2 && type <= 11) return harmonic % type == 0;
    if (type == 12) return harmonic >= 1 && harmonic <= 128 && (harmonic & (harmonic - 1)) == 0;
    return false;
}

// The time of a time-line point: 100 % is 20 seconds.
float PointTime(const TEnvelopePoint& point) {
    return static_cast<float>(point.X() / kPercentPerSecond);
}

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
    table.controls.insert({
        {"HarmonyLoopControlLeftChange", [this](TDIBControl&) { HarmonyLoopControlChange(true); }},
        {"HarmonyLoopControlRightChange", [this](TDIBControl&) { HarmonyLoopControlChange(false); }},
    });
    table.points.insert({
        {"HarmonyEnvPointAdded",
         [this](TDIBControl&, TEnvelopePoint* point) {
             if (point != nullptr) HarmonyEnvPointAdded(*point);
         }},
        {"HarmonyEnvPointMoved",
         [this](TDIBControl&, TEnvelopePoint* point) {
             if (point != nullptr) HarmonyEnvPointMoved(*point);
         }},
        {"HarmonyEnvPointRemoved",
         [this](TDIBControl&, TEnvelopePoint* point) {
             if (point != nullptr) HarmonyEnvPointRemoved(*point);
         }},
        {"HarmonyEnvSelectedPointChanged",
         [this](TDIBControl&, TEnvelopePoint* point) { HarmonyEnvSelectedPointChanged(point); }},
    });
    table.mouse.insert({
        {"HarmonyInspectorMouseDown", [this](TDIBControl&, const TMouseEvent& e) { HarmonyInspectorMouseDown(e); }},
        {"HarmonyInspectorMouseMove", [this](TDIBControl&, const TMouseEvent& e) { HarmonyInspectorMouseMove(e); }},
        {"HarmonyInspectorMouseUp", [this](TDIBControl&, const TMouseEvent& e) { HarmonyInspectorMouseUp(e); }},
    });
    table.menuItems.insert({
        {"DeleteOnRightClickMenuItemClick", [this](TMenuItem& item) { DeleteOnRightClickMenuItemClick(item); }},
        {"makeWaveformMenuItemClick",
         [this](TMenuItem& item) {
             const int shape = item.Tag;
             EditSelectedHarmony([this, shape](int frame) { plugin_.FillHarmonics(frame, shape); });
         }},
        {"BrightenHarmonyMenuItemClick",
         [this](TMenuItem&) { EditSelectedHarmony([this](int frame) { plugin_.TiltHarmonics(frame, kTilt); }); }},
        {"SoftenHarmonyMenuItemClick",
         [this](TMenuItem&) { EditSelectedHarmony([this](int frame) { plugin_.TiltHarmonics(frame, -kTilt); }); }},
        {"ClearHarmonyMenuItemClick",
         [this](TMenuItem&) { EditSelectedHarmony([this](int frame) { plugin_.ClearHarmonics(frame); }); }},
        {"CopyHarmonyMenuItemClick",
         [this](TMenuItem&) {
             if (const int frame = SelectedHarmony(); frame >= 0) plugin_.CopyHarmonyFrame(frame);
         }},
        {"PasteHarmonyMenuItemClick",
         [this](TMenuItem&) {
             if (plugin_.HarmonyClipboardFilled())
                 EditSelectedHarmony([this](int frame) { plugin_.PasteHarmonyFrame(frame); });
         }},
        {"DeleteHarmonyMenuItemClick", [this](TMenuItem&) { DeleteSelectedHarmony(); }},
        {"DeleteHarmoniesAboveSelectedMenuItemClick", [this](TMenuItem&) { DeleteHarmoniesAboveSelected(); }},
        {"DeleteHarmoniesBelowSelectedMenuItemClick", [this](TMenuItem&) { DeleteHarmoniesBelowSelected(); }},
        {"DeleteAllHarmoniesMenuItemClick", [this](TMenuItem&) { DeleteAllHarmonies(); }},
        {"LoadHarmonyfromFile",
         [this](TMenuItem&) {
             if (SelectedHarmony() < 0) return;
             ShowFileDialog(TFileDialogKind::OpenHarmony,
                            [this](const std::string& path) { LoadHarmonyFromFile(path); });
         }},
        {"SaveHarmonytoFile",
         [this](TMenuItem&) {
             if (SelectedHarmony() < 0) return;
             ShowFileDialog(TFileDialogKind::SaveHarmony, [this](const std::string& path) { SaveHarmonyToFile(path); });
         }},
        {"ChangeDefaultHarmonyDirectory",
         [this](TMenuItem&) {
             ChooseFolder("Change default directory for harmony files.", [this](const std::string& folder) {
                 plugin_.Settings().WriteSetting(platform::kSettingPresetHarmonyDir, folder);
             });
         }},
    });
    table.menuPopups.insert({
        {"EnvelopeHandlingMenuPopup", [this](TPopupMenu& menu) { EnableHarmonyCommands(menu); }},
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

// Time line edits --------------------------------------------------------------------------------------------

int TPluginGUI::SelectedHarmony() const {
    const auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv");
    const TEnvelopePoint* selected = harmonies != nullptr ? harmonies->SelectedPoint() : nullptr;
    return selected != nullptr ? selected->Index() : -1;
}

void TPluginGUI::ShowHarmonyTime(int frame) {
    if (auto* label = ControlAs<TDIBLabel>("HarmPointInfoLabel"))
        label->SetCaption("Harmony: " + std::to_string(frame + 1) + ": " + FormatFixed(plugin_.GetFrameTime(frame), 2) +
                          " sec.");
}

void TPluginGUI::HarmonyEnvPointAdded(const TEnvelopePoint& point) {
    if (refreshGuard_) return;
    plugin_.InsertHarmonyFrame(point.Index(), PointTime(point));
}

void TPluginGUI::HarmonyEnvPointMoved(const TEnvelopePoint& point) {
    if (refreshGuard_) return;
    const int frame = point.Index();
    const float time = PointTime(point);
    const float stored = plugin_.GetFrameTime(frame);
    // A harmony beyond the 20-second scale shows at its right end and keeps its time while it stays there;
    // so does a point that only moved up or down.
    const bool atEnd = point.X() >= 100.0L && stored >= time;
    if (time != stored && !atEnd) plugin_.SetFrameTime(frame, time);
    if (point.Envelope().SelectedPoint() == &point) ShowHarmonyTime(frame);
}

void TPluginGUI::HarmonyEnvPointRemoved(const TEnvelopePoint& point) {
    if (refreshGuard_) return;
    if (TDIBControl* inspector = Control("HarmonyInspector")) inspector->SetEnabled(false);
    plugin_.DeleteHarmonyFrame(point.Index());
}

void TPluginGUI::HarmonyEnvSelectedPointChanged(const TEnvelopePoint* point) {
    if (refreshGuard_) return;
    FillInspectorBars(); // disables the inspector when none is selected
    if (point != nullptr) ShowHarmonyTime(point->Index());
}

void TPluginGUI::HarmonyLoopControlChange(bool start) {
    if (refreshGuard_) return;
    const auto* loop = ControlAs<TDIBRangeControl>("HarmonyLoopControl");
    if (loop == nullptr) return;
    const int position = start ? loop->LeftPos() : loop->RightPos();
    float seconds = static_cast<float>(position) / 100.0f;
    const float stored = start ? plugin_.GetLoopStart() : plugin_.GetLoopEnd();
    // Like a harmony, a loop end beyond the bar's end keeps its time while its handle stays at the end.
    if (position >= loop->Max() && stored >= seconds) {
        seconds = stored;
    } else if (start) {
        plugin_.SetLoopStart(seconds);
    } else {
        plugin_.SetLoopEnd(seconds);
    }
    if (auto* label = ControlAs<TDIBLabel>("HarmPointInfoLabel"))
        label->SetCaption((start ? "Loop start: " : "Loop end: ") + FormatFixed(seconds, 2) + " sec");
}

// Inspector mouse editing --------------------------------------------------------------------------------------

void TPluginGUI::HarmonyInspectorMouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    inspectorDragging_ = true;
    inspectorY_ = event.y;
}

void TPluginGUI::HarmonyInspectorMouseMove(const TMouseEvent& event) {
    auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector");
    if (inspector == nullptr) return;
    const TChartAxis bottom = inspector->BottomAxis();
    const TChartAxis left = inspector->LeftAxis();
    const double span = bottom.max - bottom.min;
    if (!(span > 0.0)) return;
    // The bar under the cursor; the slot left of the first harmonic shown is never edited.
    const int k = Round((event.x - kPlotLeft) / (kPlotWidth / span));
    if (k <= 0 || k > span) return;
    const int harmonic = Round(k + bottom.min);
    const auto valueAt = [&left](int y) {
        return std::clamp(left.max - (y - kPlotTop) * (left.max - left.min) / kPlotHeight, left.min, left.max);
    };
    const double value = valueAt(event.y);
    const bool phase = plugin_.GetGlobalSettings()[kPhaseViewOffset] != 0;
    const int frame = SelectedHarmony();
    if (!inspectorDragging_ || frame < 0) {
        inspectorValue_ = value;
    } else if (plugin_.GetGlobalSettings()[kLinkedOffset] == 0) {
        WriteHarmonic(frame, harmonic, value);
        inspectorValue_ = value;
    } else {
        // Linked: every harmonic shown moves by the same amount; silent ones stay silent in the level view.
        const double delta = value - valueAt(inspectorY_);
        if (delta != 0.0) {
            const int last = std::min(Round(bottom.max), inspector->BarCount() - 1);
            for (int g = Round(bottom.min + 1); g <= last; ++g) {
                const double bar = inspector->Bar(g);
                if (phase || bar > left.min) WriteHarmonic(frame, g, std::clamp(bar + delta, left.min, left.max));
            }
        }
        inspectorY_ = event.y;
        inspectorValue_ += delta;
    }
    if (auto* label = ControlAs<TDIBLabel>("HarmInfoLabel")) {
        const std::string prefix = "Harmonic: " + std::to_string(harmonic) + ": ";
        if (phase)
            label->SetCaption(prefix + FormatFixed(inspectorValue_, 0) + " Deg");
        else if (value == kSilentBar)
            label->SetCaption(prefix + "-oo dB");
        else
            label->SetCaption(prefix + FormatFixed(inspectorValue_, 1) + " dB");
    }
}

void TPluginGUI::HarmonyInspectorMouseUp(const TMouseEvent& event) {
    inspectorDragging_ = false;
    // The harmonics written during the drag sound once the harmony's tables are rebuilt, once per drag.
    if (event.button != TMouseButton::Left) return;
    if (const int frame = SelectedHarmony(); frame >= 0) plugin_.RebuildFrame(frame);
}

void TPluginGUI::WriteHarmonic(int frame, int harmonic, double value) {
    auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector");
    const std::span<std::uint8_t> settings = plugin_.GetGlobalSettings();
    if (inspector == nullptr || harmonic < 0 || harmonic >= inspector->BarCount() ||
        !EditTypeTakes(ReadInt(settings, kEditTypeOffset), harmonic))
        return;
    inspector->SetBar(harmonic, value);
    if (settings[kPhaseViewOffset] != 0) {
        plugin_.SetHarmonicPhase(frame, harmonic, Round(value / 360.0 * 256.0 + 128.0));
    } else {
        const int level = Round(-2.0 * value);
        plugin_.SetHarmonicLevel(frame, harmonic, level == kLowestLevel ? kSilentLevel : level);
    }
}

// Harmony commands ---------------------------------------------------------------------------------------------

void TPluginGUI::EnableHarmonyCommands(TPopupMenu& menu) {
    const bool selected = SelectedHarmony() >= 0;
    for (int i = 0; i < menu.Items.Count(); ++i) {
        TMenuItem& item = menu.Items[i];
        if (item.Caption == kPasteCommand)
            item.Enabled = selected && plugin_.HarmonyClipboardFilled();
        else if (std::ranges::find(kSelectionCommands, item.Caption) != std::end(kSelectionCommands))
            item.Enabled = selected;
    }
}

void TPluginGUI::EditSelectedHarmony(const std::function<void(int frame)>& edit) {
    const int frame = SelectedHarmony();
    if (frame < 0) return;
    edit(frame);
    FillInspectorBars();
}

void TPluginGUI::ReloadHarmonies(int select) {
    const bool guarded = refreshGuard_;
    refreshGuard_ = true;
    LoadHarmonyTimeLine();
    auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv");
    if (harmonies != nullptr && harmonies->Point(select) != nullptr)
        harmonies->SetSelectedPoint(harmonies->Point(select));
    refreshGuard_ = guarded;
    FillInspectorBars();
    if (const int frame = SelectedHarmony(); frame >= 0) ShowHarmonyTime(frame);
}

void TPluginGUI::DeleteSelectedHarmony() {
    const int frame = SelectedHarmony();
    if (frame < 0) return;
    // The first harmony sits at time 0 and always stays: it is cleared instead.
    if (frame == 0) {
        EditSelectedHarmony([this](int first) { plugin_.ClearHarmonics(first); });
        return;
    }
    plugin_.DeleteHarmonyFrame(frame);
    ReloadHarmonies(frame - 1);
}

void TPluginGUI::DeleteHarmoniesAboveSelected() {
    const int frame = SelectedHarmony();
    if (frame < 0) return;
    for (int later = plugin_.GetFrameCount() - 1; later > frame; --later)
        plugin_.DeleteHarmonyFrame(later);
    ReloadHarmonies(frame);
}

void TPluginGUI::DeleteHarmoniesBelowSelected() {
    const int frame = SelectedHarmony();
    if (frame < 0) return;
    for (int earlier = frame - 1; earlier >= 1; --earlier)
        plugin_.DeleteHarmonyFrame(earlier);
    ReloadHarmonies(0);
}

void TPluginGUI::DeleteAllHarmonies() {
    for (int later = plugin_.GetFrameCount() - 1; later >= 1; --later)
        plugin_.DeleteHarmonyFrame(later);
    plugin_.ClearHarmonics(0);
    ReloadHarmonies(0);
}

// Harmony files ------------------------------------------------------------------------------------------------

bool TPluginGUI::LoadHarmonyFromFile(const std::string& path) {
    const int frame = SelectedHarmony();
    if (frame < 0 || !plugin_.LoadHarmonyFile(frame, path)) return false;
    FillInspectorBars();
    return true;
}

bool TPluginGUI::SaveHarmonyToFile(const std::string& path) {
    const int frame = SelectedHarmony();
    return frame >= 0 && plugin_.SaveHarmonyFile(frame, path);
}

} // namespace quillon
