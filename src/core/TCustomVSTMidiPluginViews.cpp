// What the editor reads and sets of the engine directly: the LFO waveforms behind its scopes and the texts
// of its value labels that depend on engine state (note lengths, modulation amounts).
#include "core/TCustomVSTMidiPlugin.h"

#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulationAssignment.h"
#include "files/ParameterIndex.h"

#include <algorithm>

namespace quillon {

namespace {

int LfoIndex(int lfo) {
    return std::clamp(lfo, 0, 1);
}

} // namespace

void TCustomVSTMidiPlugin::SetLfoWaveform(int lfo, int waveform) {
    engine_->Lfo(LfoIndex(lfo)).SetWaveform(waveform);
}

void TCustomVSTMidiPlugin::NextLfoWaveform(int lfo) {
    engine_->Lfo(LfoIndex(lfo)).NextWaveform();
}

int TCustomVSTMidiPlugin::LfoWaveform(int lfo) const {
    return engine_->Lfo(LfoIndex(lfo)).Waveform();
}

float TCustomVSTMidiPlugin::LfoWaveValue(int lfo, float phase) const {
    return engine_->Lfo(LfoIndex(lfo)).TableValue(std::clamp(phase, 0.0f, 1.0f));
}

std::string TCustomVSTMidiPlugin::TempoSyncText(int index, float value) const {
    switch (index) {
    case kLfo1Rate:
    case kLfo1HoldRate:
        return engine_->Lfo(0).RateLabel(value);
    case kLfo2Rate:
    case kLfo2HoldRate:
        return engine_->Lfo(1).RateLabel(value);
    case kChorusRate:
        return engine_->Chorus().RateLabel(value);
    case kPhaserRate:
        return engine_->Phaser().RateLabel(value);
    case kDelayTime:
        return engine_->Delay().TimeLabel(value);
    default:
        return {};
    }
}

std::string TCustomVSTMidiPlugin::ModulationAmountText(int row, float value) const {
    return engine_->Routing().AmountLabel(row, value);
}

int TCustomVSTMidiPlugin::ModulationRange(int target) {
    return TModulationAssignment::DisplayRange(target);
}

} // namespace quillon
