#include "core/TCustomVSTMidiPlugin.h"

#include "core/ParameterTable.h"
#include "core/TCustomMidiHandler.h"
#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TIFFTVoiceOsc.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulationAssignment.h"
#include "files/LittleEndian.h"
#include "midi/TMidiHandler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon {

using namespace vst2;

namespace {

constexpr float kInitialRate = 44100.0f;

int Rounded(float v) {
    return static_cast<int>(std::nearbyint(v));
}
bool On(float v) {
    return v >= 0.5f;
}

} // namespace

TCustomVSTMidiPlugin::TCustomVSTMidiPlugin(audioMasterCallback audioMaster)
    : TVSTMidiPlugin(audioMaster), engine_(std::make_unique<TSynthEngine>()) {
    auto handler = std::make_unique<TCustomMidiHandler>(*this);
    engine_->SetVoiceListener(handler.get());
    SetMidiHandler(std::move(handler));

    // The editor's view state starts on its fifth page; every other setting is zero.
    le::StoreI32(GetGlobalSettings().data(), 5);
    setSampleRate(kInitialRate);
}

TCustomVSTMidiPlugin::~TCustomVSTMidiPlugin() {
    // The editor may read engine state while it closes, and the worker may be preparing a program: both
    // go before the engine.
    DestroyEditor();
    StopWorker();
}

void TCustomVSTMidiPlugin::setSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return;
    TVSTMidiPlugin::setSampleRate(rate);
    engine_->SetSampleRate(rate);
}

void TCustomVSTMidiPlugin::suspend() {
    engine_->ResetEffects();
}

void TCustomVSTMidiPlugin::SetVoiceCount(int count) {
    engine_->SetVoiceCount(count);
    MidiHandler().SetVoiceCount(count);
}

void TCustomVSTMidiPlugin::VoiceStart(int voice, int velocity, bool legato) {
    engine_->VoiceStart(voice, MidiHandler().VoiceNote(voice), velocity, legato);
}

void TCustomVSTMidiPlugin::VoiceRelease(int voice) {
    engine_->VoiceRelease(voice);
}

// Program switch ----------------------------------------------------------------------------------

void TCustomVSTMidiPlugin::PrepareProgram(int slot) {
    const TProgramBank& bank = Programs();
    TIFFTVoiceOsc& oscillator = Oscillator();
    modelSlot_ = slot;
    oscillator.CollectGarbage(); // frees the harmony the last switch replaced
    oscillator.DeleteAllFrames();
    const int frames = std::clamp(bank.FrameCount(slot), 1, record::kMaxFrames);
    for (int i = 0; i < frames; ++i) {
        oscillator.InsertFrame(i, bank.FrameTime(slot, i));
        for (int k = 1; k < record::kHarmonicCount; ++k) { // harmonic 0 (DC) stays silent
            oscillator.SetHarmonicLevel(i, k, bank.Level(slot, i, k));
            oscillator.SetHarmonicPhase(i, k, bank.Phase(slot, i, k));
        }
        oscillator.RebuildFrame(i);
    }
    oscillator.SetLoopStart(bank.HarmonyLoopStart(slot));
    oscillator.SetLoopEnd(bank.HarmonyLoopEnd(slot));
    for (int e = 0; e < kEnvelopeCount; ++e) {
        TEnvelopeHolder& envelope = Envelope(e);
        envelope.DeleteAllPoints();
        const int points = std::clamp(bank.PointCount(slot, e), 1, record::kMaxEnvelopePoints);
        for (int i = 0; i < points; ++i)
            envelope.InsertPoint(i, bank.PointTime(slot, e, i), bank.PointLevel(slot, e, i));
        envelope.SetLoopStart(bank.EnvelopeLoopStart(slot, e));
        envelope.SetLoopEnd(bank.EnvelopeLoopEnd(slot, e));
    }
}

void TCustomVSTMidiPlugin::FinishProgram() {
    // The new frames are waiting in the oscillator's queue: take them over before the next block renders.
    engine_->ApplyEdits();
    TVSTMidiPlugin::FinishProgram();
}

// Parameter texts -------------------------------------------------------------------------------

std::string TCustomVSTMidiPlugin::ParameterDisplayText(int index, float value) const {
    std::string text;
    switch (index) {
    case kLfo1Rate:
    case kLfo1HoldRate:
        if (On(ParamTarget(kLfo1Sync))) text = engine_->Lfo(0).RateLabel(value);
        break;
    case kLfo2Rate:
    case kLfo2HoldRate:
        if (On(ParamTarget(kLfo2Sync))) text = engine_->Lfo(1).RateLabel(value);
        break;
    case kPitchBendAmount:
    case kAftertouchAmount:
    case kModWheelAmount:
    case kBreathAmount:
    case kExpressionAmount:
    case kSoftPedalAmount:
        text = engine_->Routing().AmountLabel(TSynthEngine::RoutingRow(index), value);
        break;
    case kChorusRate:
        if (On(ParamTarget(kChorusSync))) text = engine_->Chorus().RateLabel(value);
        break;
    case kPhaserRate:
        if (On(ParamTarget(kPhaserSync))) text = engine_->Phaser().RateLabel(value);
        break;
    case kDelayTime:
        if (On(ParamTarget(kDelaySync))) text = engine_->Delay().TimeLabel(value);
        break;
    default:
        break;
    }
    if (text.empty()) return ParameterTable::DisplayText(index, value);
    return text.substr(0, ParameterTable::kMaxTextLength);
}

void TCustomVSTMidiPlugin::getParameterDisplay(VstInt32 index, char* text) {
    if (!text || !ParameterTable::Valid(index)) return;
    const std::string display = ParameterDisplayText(index, getParameter(index));
    std::memcpy(text, display.data(), display.size());
    text[display.size()] = 0;
}

// Parameter actions -----------------------------------------------------------------------------

void TCustomVSTMidiPlugin::ParameterChanged(int index) {
    const float v = ParamCurrent(index);
    engine_->SetParameter(index, v);
    // The MIDI handler's settings.
    TMidiHandler& midi = MidiHandler();
    switch (index) {
    case kAmpRelTime:
        midi.SetReleaseTime(v);
        engine_->SetAmplitudeReleaseTime(midi.CurrentReleaseTime());
        break;
    case kAmpHold2Time:
        midi.SetHold2ReleaseTime(v);
        engine_->SetAmplitudeReleaseTime(midi.CurrentReleaseTime());
        break;
    case kVoices:
        midi.SetVoiceCount(Rounded(v));
        break;
    case kMidiChannel:
        midi.SetMidiChannel(Rounded(v));
        break;
    case kRangeLow:
        midi.SetRangeLow(Rounded(v));
        break;
    case kRangeHigh:
        midi.SetRangeHigh(Rounded(v));
        break;
    case kTransposeNotes:
        midi.SetTransposeSemitones(Rounded(v));
        break;
    case kTransposeOctaves:
        midi.SetTransposeOctaves(Rounded(v));
        break;
    case kKeyAssign:
        midi.SetAssignMode(Rounded(v));
        break;
    case kOverlap:
        midi.SetRetriggerMode(Rounded(v));
        break;
    default:
        break;
    }
}

// Rendering -------------------------------------------------------------------------------------

void TCustomVSTMidiPlugin::ProcessBlock(int frames, float* left, float* right) {
    if (!ProgramChangePending()) {
        if (const VstTimeInfo* time = getTimeInfo(kVstTempoValid); time && (time->flags & kVstTempoValid)) {
            const double tempo = time->tempo;
            const double position = std::isfinite(time->samplePos) ? time->samplePos : 0.0;
            if (std::isfinite(tempo) && tempo > 0.0 && tempo < 10000.0) engine_->SetHostTempo(tempo, position);
        }
        engine_->ApplyEdits();
    }
    TVSTMidiPlugin::ProcessBlock(frames, left, right);
}

void TCustomVSTMidiPlugin::RenderSubBlock(float* left, float* right, int offset, int frames) {
    engine_->RenderSubBlock(left, right, offset, frames);
}

} // namespace quillon
