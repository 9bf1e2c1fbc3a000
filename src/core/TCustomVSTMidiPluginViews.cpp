// What the editor reads and sets of the engine directly: the LFO waveforms behind its scopes and the texts
// of its value labels that depend on engine state (note lengths, modulation amounts).
#include "core/TCustomVSTMidiPlugin.h"

#include "core/ParameterTable.h"

#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulationAssignment.h"
#include "files/ParameterIndex.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

int LfoIndex(int lfo) {
    return std::clamp(lfo, 0, 1);
}

} // namespace

void TCustomVSTMidiPlugin::SetLfoWaveform(int lfo, int waveform) {
    scopeWaveform_[static_cast<std::size_t>(LfoIndex(lfo))] =
        std::clamp(waveform, 1, TLowFrequencyOscillator::kWaveformCount);
}

void TCustomVSTMidiPlugin::NextLfoWaveform(int lfo) {
    const int waveform = LfoWaveform(lfo);
    SetLfoWaveform(lfo, waveform >= TLowFrequencyOscillator::kWaveformCount ? 1 : waveform + 1);
}

int TCustomVSTMidiPlugin::LfoWaveform(int lfo) const {
    const int set = scopeWaveform_[static_cast<std::size_t>(LfoIndex(lfo))];
    if (set > 0) return set;
    const int index = LfoIndex(lfo) == 0 ? kLfo1Waveform : kLfo2Waveform;
    const ParameterSpec& row = ParameterTable::Spec(index);
    const double value = Programs().Parameter(CurrentProgram(), index);
    const auto waveform = static_cast<int>(std::lround(row.displayMin + value * (row.displayMax - row.displayMin)));
    return std::clamp(waveform, 1, TLowFrequencyOscillator::kWaveformCount);
}

float TCustomVSTMidiPlugin::LfoWaveValue(int lfo, float phase) const {
    std::unique_ptr<TLowFrequencyOscillator>& shape = scopeLfo_[static_cast<std::size_t>(LfoIndex(lfo))];
    if (!shape) shape = std::make_unique<TLowFrequencyOscillator>(20.0f, 0.02f, 44100.0f);
    shape->SetWaveform(LfoWaveform(lfo));
    return shape->TableValue(std::clamp(phase, 0.0f, 1.0f));
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
