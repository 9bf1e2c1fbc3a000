// The form's five envelope editors, their loop bars, information labels, "EDIT" and handling selectors,
// and the scrolled backgrounds of the time lines (the harmony time line's among them).
#include "editor/TPluginGUI.h"

#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "engine/DisplayFormat.h"
#include "files/LittleEndian.h"
#include "files/ParameterIndex.h"
#include "toolkit/TDIBEnvelope.h"

#include <cmath>

namespace quillon {

using namespace form;

namespace {

// The information label of each envelope, by envelope number.
constexpr const char* kEnvelopeInfoLabels[record::kEnvelopeCount] = {
    "AmplifierEnvelopeInfoLabel", "FilterEnvelopeInfoLabel", "PitchEnvelopeInfoLabel", "Lfo1EnvelopeInfoLabel",
    "Lfo2EnvelopeInfoLabel"};

// The "EDIT" drop-downs and the envelope each one edits.
struct TEditSelector {
    std::string_view handler;
    int envelope;
};
constexpr TEditSelector kEditSelectors[] = {{"AmpEnvEditSelectorChange", record::kAmplitudeEnvelope},
                                            {"FilterEnvEditSelectorChange", record::kFilterEnvelope},
                                            {"PitchEnvEditSelectorChange", record::kPitchEnvelope},
                                            {"Lfo1EnvEditSelectorChange", record::kLfo1Envelope},
                                            {"Lfo2EnvEditSelectorChange", record::kLfo2Envelope}};

// Items of the envelopes' "EDIT" menu.
constexpr int kDeleteSelectedPoint = 0;
constexpr int kDeleteAllPoints = 1;

constexpr double kSilentAmplitude = 0.000001; // below it the level reads "-oo dB"

// A point's time in seconds and level 0..1 from its percent coordinates.
float PointTime(const TEnvelopePoint& point) {
    return static_cast<float>(point.X() / kPercentPerSecond);
}

float PointLevel(const TEnvelopePoint& point) {
    return static_cast<float>(1.0L - point.Y() / 100.0L);
}

} // namespace

// Loading from the plug-in ---------------------------------------------------------------------------------

void TPluginGUI::AddEnvelopeHandlers(THandlerTable& table) {
    for (const TEditSelector& selector : kEditSelectors) {
        const int envelope = selector.envelope;
        table.controls.insert(
            {selector.handler, [this, envelope](TDIBControl& c) { EnvelopeEditSelectorChange(c, envelope); }});
    }
    table.points.insert({
        {"EnvelopeControlPointAdded", [this](TDIBControl& c, TEnvelopePoint* p) { EnvelopePointAdded(c, p); }},
        {"EnvelopeControlPointMoved", [this](TDIBControl& c, TEnvelopePoint* p) { EnvelopePointMoved(c, p); }},
        {"EnvelopeControlPointRemoved", [this](TDIBControl& c, TEnvelopePoint* p) { EnvelopePointRemoved(c, p); }},
        {"EnvelopeControlSelectedPointChanged",
         [this](TDIBControl& c, TEnvelopePoint* p) { EnvelopeSelectedPointChanged(c, p); }},
    });
    table.controls.insert({
        {"EnvelopeLoopControlLeftChange", [this](TDIBControl& c) { EnvelopeLoopControlChange(c, true); }},
        {"EnvelopeLoopControlRightChange", [this](TDIBControl& c) { EnvelopeLoopControlChange(c, false); }},
    });
    table.mouse.insert({
        {"EnvelopeBackImageMouseDown",
         [this](TDIBControl& c, const TMouseEvent& e) { EnvelopeBackImageMouseDown(c, e); }},
        {"EnvelopeBackImageMouseMove",
         [this](TDIBControl& c, const TMouseEvent& e) { EnvelopeBackImageMouseMove(c, e); }},
        {"EnvelopeBackImageMouseUp", [this](TDIBControl& c, const TMouseEvent& e) { EnvelopeBackImageMouseUp(c, e); }},
    });
    AddAnalysisHandlers(table);
}

void TPluginGUI::LoadEnvelopeEditors() {
    programCopy_.resize(record::kRecordSize);
    plugin_.GetCurrentProgramCopy(programCopy_);
    for (int number = 0; number < record::kEnvelopeCount; ++number) {
        const std::uint8_t* block = programCopy_.data() + record::EnvelopeOffset(number);
        const TEnvelopeViews& views = kEnvelopeViews[number];
        if (auto* envelope = ControlAs<TDIBEnvelope>(views.envelope)) {
            envelope->SetEnabled(false);
            envelope->DeleteAllPoints();
            const int points = std::clamp(static_cast<int>(le::LoadI32(block + record::kEnvelopePointCountOffset)), 0,
                                          record::kMaxEnvelopePoints);
            for (int i = 0; i < points; ++i) {
                const std::uint8_t* point =
                    block + record::kEnvelopePointsOffset + record::kEnvelopePointSize * static_cast<std::size_t>(i);
                const float level = le::LoadF32(point + 4);
                envelope->AddPoint(TimeToPercent(le::LoadF32(point)), 100.0L * (1.0L - level));
            }
            envelope->SetEnabled(true);
        }
        if (auto* loop = ControlAs<TDIBRangeControl>(views.loop))
            SetLoopRange(*loop, le::LoadF32(block + record::kEnvelopeLoopStartOffset),
                         le::LoadF32(block + record::kEnvelopeLoopEndOffset));
    }
    envelopesOutOfStep_ = 0; // every editor shows the plug-in's points again
}

// Edits to the plug-in -------------------------------------------------------------------------------------

int TPluginGUI::EditedEnvelope(const TDIBControl& sender) const {
    const int envelope = sender.Tag() - 1;
    if (refreshGuard_ || envelope < 0 || envelope >= record::kEnvelopeCount) return -1;
    return (envelopesOutOfStep_ & (1u << envelope)) != 0 ? -1 : envelope;
}

void TPluginGUI::EnvelopeOutOfStep(int envelope) {
    // The editor's points no longer match the plug-in's: any further edit would land on the wrong point.
    envelopesOutOfStep_ |= 1u << envelope;
    plugin_.RequestRefresh(2);
}

void TPluginGUI::EnvelopePointAdded(TDIBControl& sender, TEnvelopePoint* point) {
    const int envelope = EditedEnvelope(sender);
    if (envelope < 0 || point == nullptr) return;
    if (!plugin_.InsertEnvelopePoint(envelope, point->Index(), PointTime(*point), PointLevel(*point)))
        EnvelopeOutOfStep(envelope);
}

void TPluginGUI::EnvelopePointMoved(TDIBControl& sender, TEnvelopePoint* point) {
    const int envelope = EditedEnvelope(sender);
    if (envelope < 0 || point == nullptr) return;
    if (!plugin_.SetEnvelopePoint(envelope, point->Index(), PointTime(*point), PointLevel(*point))) {
        EnvelopeOutOfStep(envelope);
        return;
    }
    // A drag or stretch moves several points; the label stays with the one the user holds.
    const TEnvelopePoint* selected = static_cast<const TDIBEnvelope&>(sender).SelectedPoint();
    SetEnvelopeInfo(envelope, EnvelopePointText(envelope, selected != nullptr ? *selected : *point));
}

void TPluginGUI::EnvelopePointRemoved(TDIBControl& sender, TEnvelopePoint* point) {
    const int envelope = EditedEnvelope(sender);
    if (envelope < 0 || point == nullptr) return;
    if (!plugin_.DeleteEnvelopePoint(envelope, point->Index())) EnvelopeOutOfStep(envelope);
}

void TPluginGUI::EnvelopeSelectedPointChanged(TDIBControl& sender, TEnvelopePoint* point) {
    const int envelope = EditedEnvelope(sender);
    if (envelope < 0 || point == nullptr) return;
    SetEnvelopeInfo(envelope, EnvelopePointText(envelope, *point));
}

void TPluginGUI::EnvelopeLoopControlChange(TDIBControl& sender, bool left) {
    const int envelope = sender.Tag() - 1;
    if (refreshGuard_ || envelope < 0 || envelope >= record::kEnvelopeCount) return;
    const auto& loop = static_cast<const TDIBRangeControl&>(sender);
    const float seconds = static_cast<float>((left ? loop.LeftPos() : loop.RightPos()) / 100.0);
    if (left)
        plugin_.SetEnvelopeLoopStart(envelope, seconds);
    else
        plugin_.SetEnvelopeLoopEnd(envelope, seconds);
    SetEnvelopeInfo(envelope, (left ? "Loop start: " : "Loop end: ") + FormatFixed(seconds, 2) + " sec");
}

std::string TPluginGUI::EnvelopePointText(int envelope, const TEnvelopePoint& point) const {
    const double level = PointLevel(point);
    std::string text = std::to_string(point.Index() + 1) + ": " + FormatFixed(PointTime(point), 2) + " s. ";
    switch (envelope) {
    case record::kFilterEnvelope:
        return text + FormatFixed(100.0 * (2.0 * level - 1.0), 0) + " %";
    case record::kPitchEnvelope: {
        // In semitones of the pitch envelope's intensity as its knob shows it.
        const double intensity = ParameterTable::DisplayValue(kPitchEnvAmount, LatestValue(kPitchEnvAmount));
        return text + FormatFixed((2.0 * level - 1.0) * intensity, 2) + " n";
    }
    default: {
        const double amplitude = level * level * level;
        if (amplitude < kSilentAmplitude) return text + "-oo dB";
        return text + FormatFixed(20.0 * std::log10(amplitude), 2) + " dB";
    }
    }
}

void TPluginGUI::SetEnvelopeInfo(int envelope, const std::string& text) {
    if (auto* label = ControlAs<TDIBLabel>(kEnvelopeInfoLabels[envelope])) label->SetCaption(text);
}

// Commands -------------------------------------------------------------------------------------------------

void TPluginGUI::EnvelopeEditSelectorChange(TDIBControl& sender, int envelope) {
    auto* control = ControlAs<TDIBEnvelope>(kEnvelopeViews[envelope].envelope);
    if (control == nullptr) return;
    // Each point leaves through the control, whose removal notification deletes it in the plug-in; the
    // anchored first point stays.
    switch (static_cast<const TBADIBDropDownMenu&>(sender).MenuTag()) {
    case kDeleteSelectedPoint:
        control->DeleteSelectedPoint();
        break;
    case kDeleteAllPoints:
        for (int i = control->PointCount() - 1; i >= 1; --i)
            control->FreePoint(control->Point(i));
        break;
    default:
        break;
    }
}

void TPluginGUI::HandlingSelectorChange(TDIBControl& sender, std::size_t settingsOffset, std::string_view envelope) {
    const int mode = std::clamp(static_cast<const TBADIBDropDownMenu&>(sender).MenuTag(), 0, 2);
    WriteInt(plugin_.GetGlobalSettings(), settingsOffset, mode);
    if (auto* control = ControlAs<TDIBEnvelope>(envelope)) control->PointEditing = static_cast<TPointEditing>(mode);
}

// Scrolling the time lines ---------------------------------------------------------------------------------
// The grab offset is kept in window coordinates: the container moves under the cursor while it scrolls.

void TPluginGUI::EnvelopeBackImageMouseDown(TDIBControl& sender, const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    envelopeScrolling_ = true;
    envelopeGrab_ = sender.WindowRect().left + event.x - sender.Bounds().left;
}

void TPluginGUI::EnvelopeBackImageMouseMove(TDIBControl& sender, const TMouseEvent& event) {
    if (!envelopeScrolling_ || sender.Parent() == nullptr) return;
    const int cursor = sender.WindowRect().left + event.x;
    const int lowest = std::min(0, sender.Parent()->Width() - kTimeLineWidth);
    int left = cursor - envelopeGrab_;
    if (left > 0 || left < lowest) {
        left = std::clamp(left, lowest, 0);
        envelopeGrab_ = cursor - left;
    }
    const TRect& at = sender.Bounds();
    if (left != at.left) sender.SetBounds(TRect::FromSize(left, at.top, at.Width(), at.Height()));
    for (const TScrolled& scrolled : kScrolled)
        if (Control(scrolled.container) == &sender) WriteInt(plugin_.GetGlobalSettings(), scrolled.offset, left);
}

void TPluginGUI::EnvelopeBackImageMouseUp(TDIBControl& /*sender*/, const TMouseEvent& /*event*/) {
    envelopeScrolling_ = false;
}

} // namespace quillon
