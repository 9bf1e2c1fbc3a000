// The form's five envelope editors, their loop bars, handling selectors and scrolled backgrounds.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "files/LittleEndian.h"
#include "toolkit/TDIBEnvelope.h"

namespace quillon {

using namespace form;

// Envelope editors -----------------------------------------------------------------------------------------

void TPluginGUI::AddEnvelopeHandlers(THandlerTable& /*table*/) {}

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
}

void TPluginGUI::HandlingSelectorChange(TDIBControl& sender, std::size_t settingsOffset, std::string_view envelope) {
    const int mode = std::clamp(static_cast<const TBADIBDropDownMenu&>(sender).MenuTag(), 0, 2);
    WriteInt(plugin_.GetGlobalSettings(), settingsOffset, mode);
    if (auto* control = ControlAs<TDIBEnvelope>(envelope)) control->PointEditing = static_cast<TPointEditing>(mode);
}

} // namespace quillon
