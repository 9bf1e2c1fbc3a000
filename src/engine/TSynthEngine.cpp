#include "engine/TSynthEngine.h"

#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "effects/TClassicReverbEffect.h"
#include "engine/NoteTable.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TIFFTNoiseGenerator.h"
#include "engine/TIFFTVoiceOsc.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulatedFilter.h"
#include "engine/TModulationAssignment.h"
#include "files/ParameterIndex.h"

#include <algorithm>
#include <cmath>

namespace quillon {

static_assert(TSynthEngine::kParameterCount == quillon::kParameterCount);

namespace {

constexpr float kInitialRate = 44100.0f;
constexpr int kInitialVoices = 8;

int Rounded(float v) {
    return static_cast<int>(std::nearbyint(v));
}
bool On(float v) {
    return v >= 0.5f;
}

} // namespace

TSynthEngine::TSynthEngine() {
    voiceState_.fill(-1);
    oscillator_ = std::make_unique<TIFFTVoiceOsc>(kInitialVoices, kInitialRate);
    for (auto& envelope : envelopes_)
        envelope = std::make_unique<TEnvelopeHolder>(kInitialVoices, kInitialRate);
    noise_ = std::make_unique<TIFFTNoiseGenerator>(kInitialRate);
    filter_ = std::make_unique<TModulatedFilter>(kInitialVoices, kInitialRate, 20000.0f, 20.0f, 1000);
    lfo1_ = std::make_unique<TLowFrequencyOscillator>(20.0f, 0.02f, kInitialRate);
    lfo2_ = std::make_unique<TLowFrequencyOscillator>(20.0f, 0.02f, kInitialRate);
    routing_ = std::make_unique<TModulationAssignment>(kInitialRate);
    chorus_ = std::make_unique<TClassicChorusEffect>(0.1f, kInitialRate);
    reverb_ = std::make_unique<TClassicReverbEffect>(kInitialRate);
    phaser_ = std::make_unique<TClassicPhaserEffect>(kInitialRate);
    delay_ = std::make_unique<TClassicDelayEffect>(kInitialRate);
    lfo1_->BuildTempoRatios(4, 1, 32, 1);
    lfo2_->BuildTempoRatios(4, 1, 32, 1);
}

TSynthEngine::~TSynthEngine() = default;

// Modulation routing row of each "Inten" parameter (63, 65, ... 73) and of each target selector (62, ... 72).
int TSynthEngine::RoutingRow(int index) {
    switch ((index - kPitchBendTarget) / 2) {
    case 0:
        return TModulationAssignment::kRowPitchBend;
    case 1:
        return TModulationAssignment::kRowAftertouch;
    case 2:
        return TModulationAssignment::kRowModWheel;
    case 3:
        return TModulationAssignment::kRowBreath;
    case 4:
        return TModulationAssignment::kRowExpression;
    default:
        return TModulationAssignment::kRowSoftPedal;
    }
}

void TSynthEngine::SetSampleRate(float rate) {
    oscillator_->SetSampleRate(rate);
    noise_->SetSampleRate(rate);
    filter_->SetSampleRate(rate);
    lfo1_->SetSampleRate(rate);
    lfo2_->SetSampleRate(rate);
    for (auto& envelope : envelopes_)
        envelope->SetSampleRate(rate);
    routing_->SetSampleRate(rate);
    chorus_->SetSampleRate(rate);
    reverb_->SetSampleRate(rate);
    phaser_->SetSampleRate(rate);
    delay_->SetSampleRate(rate);
}

void TSynthEngine::SetVoiceCount(int count) {
    count = std::clamp(count, 1, kMaxVoices);
    if (count == voiceCount_) return; // a program switch re-applies every parameter: the sounding voices keep sounding
    voiceCount_ = count;
    oscillator_->SetVoiceCount(count);
    filter_->SetVoiceCount(count);
    for (auto& envelope : envelopes_)
        envelope->SetVoiceCount(count);
    std::fill(voiceGain_.begin(), voiceGain_.begin() + count, 0.0f);
    ResetVoices();
}

void TSynthEngine::ResetEffects() {
    chorus_->Reset();
    phaser_->Reset();
    delay_->Reset();
    reverb_->Reset();
}

void TSynthEngine::SetHostTempo(double tempo, double samplePosition) {
    lfo1_->SetTempo(tempo);
    lfo1_->SyncToHost(samplePosition);
    lfo2_->SetTempo(tempo);
    lfo2_->SyncToHost(samplePosition);
    delay_->SetTempo(static_cast<float>(tempo));
    chorus_->SetTempo(tempo);
    chorus_->SyncToHost(samplePosition);
    phaser_->SetTempo(tempo);
    phaser_->SyncToHost(samplePosition);
}

void TSynthEngine::ApplyEdits() {
    oscillator_->ApplyEdits();
}

void TSynthEngine::SetAmplitudeReleaseTime(float seconds) {
    envelopes_[record::kAmplitudeEnvelope]->SetReleaseTime(seconds);
}

void TSynthEngine::ResetVoices() {
    voiceState_.fill(-1);
}

int TSynthEngine::VoiceState(int voice) const {
    return voice >= 0 && voice < kMaxVoices ? voiceState_[static_cast<std::size_t>(voice)] : -1;
}

// Voices -------------------------------------------------------------------------------------------

void TSynthEngine::VoiceStart(int voice, int note, int velocity, bool legato) {
    if (voice < 0 || voice >= kMaxVoices || note < 0 || note > 127) return;
    const auto v = static_cast<std::size_t>(voice);
    voiceState_[v] = 1;
    voiceNote_[v] = static_cast<unsigned char>(note);
    const float vel = static_cast<float>(std::clamp(velocity, 0, 127));
    if (!legato) filter_->ResetVoice(voice);
    for (auto& envelope : envelopes_)
        envelope->NoteStart(voice, legato);
    oscillator_->NoteStart(voice, legato, static_cast<float>(NoteTable::Frequency(note)));
    oscillator_->SetOctaveFactor(voice, pitchFactor_);
    oscillator_->SetVoiceAmplitude(voice, 1.0f - (1.0f - vel / 127.0f) * Parameter(kVelocityGain) + 1e-20f);
    filter_->SetCutoffOffset(voice, (vel - 64.0f) * Parameter(kVelocityFilter) / 127.0f);

    // Time stretch by key and velocity, for the parts whose switch is on.
    const float keyStretch = Parameter(kKeyStretch);
    const float velocityStretch = Parameter(kVelocityStretch);
    if (keyStretch > 0.0f || velocityStretch != 0.0f) {
        const float speed = std::exp2((static_cast<float>(note) - Parameter(kStretchOrigin)) / 12.0f * keyStretch) *
                            std::exp(0.036f * (vel - 64.0f) * velocityStretch);
        if (On(Parameter(kHarmonyStretchEnable))) oscillator_->SetTimeSpeed(voice, speed);
        if (On(Parameter(kAmpStretchEnable))) envelopes_[record::kAmplitudeEnvelope]->SetSpeed(voice, speed);
        if (On(Parameter(kFilterStretchEnable))) envelopes_[record::kFilterEnvelope]->SetSpeed(voice, speed);
        if (On(Parameter(kPitchStretchEnable))) envelopes_[record::kPitchEnvelope]->SetSpeed(voice, speed);
        if (On(Parameter(kLfo1StretchEnable))) envelopes_[record::kLfo1Envelope]->SetSpeed(voice, speed);
        if (On(Parameter(kLfo2StretchEnable))) envelopes_[record::kLfo2Envelope]->SetSpeed(voice, speed);
    }

    // Pan spread across the keyboard and note weighting.
    const float right = Parameter(kKeySpread) * (static_cast<float>(note) - 64.0f) / 128.0f + 0.5f;
    const float weighting = Parameter(kNoteWeight);
    const float gain = (1.0f - (1.0f - weighting) * static_cast<float>(note) / 127.0f) / std::sqrt(weighting);
    panRight_[v] = right * gain;
    panLeft_[v] = (1.0f - right) * gain;
}

void TSynthEngine::VoiceRelease(int voice) {
    if (voice < 0 || voice >= kMaxVoices) return;
    if (voiceState_[static_cast<std::size_t>(voice)] > 0) voiceState_[static_cast<std::size_t>(voice)] = 0;
    envelopes_[record::kAmplitudeEnvelope]->Release(voice, true); // the render cubes it: a cubic fade
    for (int e = record::kFilterEnvelope; e < record::kEnvelopeCount; ++e)
        envelopes_[static_cast<std::size_t>(e)]->Release(voice, false);
}

// Parameters ----------------------------------------------------------------------------------

void TSynthEngine::SetParameter(int index, float value) {
    if (index < 0 || index >= kParameterCount) return;
    value_[static_cast<std::size_t>(index)] = value;
    const float v = value;
    TEnvelopeHolder& amplitude = *envelopes_[record::kAmplitudeEnvelope];
    TEnvelopeHolder& filterEnv = *envelopes_[record::kFilterEnvelope];
    TEnvelopeHolder& pitchEnv = *envelopes_[record::kPitchEnvelope];
    TEnvelopeHolder& lfo1Env = *envelopes_[record::kLfo1Envelope];
    TEnvelopeHolder& lfo2Env = *envelopes_[record::kLfo2Envelope];

    switch (index) {
    case kOscillators:
        oscillator_->SetUnisonCount(Rounded(v));
        break;
    case kDetune:
        oscillator_->SetUnisonSpread(v);
        break;
    case kOscSync:
        oscillator_->SetPhaseReset(On(v));
        break;
    case kPortaEnable:
        oscillator_->SetGlideEnabled(On(v));
        break;
    case kPortaTime:
        oscillator_->SetGlideTime(v);
        break;
    case kHarmonyLoopEnable:
        oscillator_->SetLoopEnabled(On(v));
        break;
    case kPitchRelTime:
        pitchEnv.SetReleaseTime(v);
        break;
    case kPitchRelLevel:
        pitchEnv.SetReleaseLevel(v);
        break;
    case kPitchLoopEnable:
        pitchEnv.SetLoopEnabled(On(v));
        break;
    case kNoiseType:
        noise_->SetNoiseType(Rounded(v));
        break;
    case kFilterType:
        filter_->SetType(Rounded(v));
        break;
    case kResonance:
        filter_->SetResonance(v);
        break;
    case kFilterDirect:
        filter_->SetDryGain(v);
        break;
    case kFilterRelTime:
        filterEnv.SetReleaseTime(v);
        break;
    case kFilterRelLevel:
        filterEnv.SetReleaseLevel(v);
        break;
    case kFilterLoopEnable:
        filterEnv.SetLoopEnabled(On(v));
        break;
    case kOscLevel:
        oscillator_->SetOscillatorGain(v);
        break;
    case kAmpLoopEnable:
        amplitude.SetLoopEnabled(On(v));
        break;
    case kLfo1Waveform:
        lfo1_->SetWaveform(Rounded(v));
        break;
    case kLfo1Rate:
        lfo1_->SetRateA(v);
        break;
    case kLfo1Sync:
        lfo1_->SetTempoSync(On(v));
        break;
    case kLfo1HoldEnable:
        lfo1_->SetSampleAndHold(On(v));
        break;
    case kLfo1HoldRate:
        lfo1_->SetRateB(v);
        break;
    case kLfo1RelTime:
        lfo1Env.SetReleaseTime(v);
        break;
    case kLfo1RelLevel:
        lfo1Env.SetReleaseLevel(v);
        break;
    case kLfo1LoopEnable:
        lfo1Env.SetLoopEnabled(On(v));
        break;
    case kLfo2Waveform:
        lfo2_->SetWaveform(Rounded(v));
        break;
    case kLfo2Rate:
        lfo2_->SetRateA(v);
        break;
    case kLfo2Sync:
        lfo2_->SetTempoSync(On(v));
        break;
    case kLfo2HoldEnable:
        lfo2_->SetSampleAndHold(On(v));
        break;
    case kLfo2HoldRate:
        lfo2_->SetRateB(v);
        break;
    case kLfo2RelTime:
        lfo2Env.SetReleaseTime(v);
        break;
    case kLfo2RelLevel:
        lfo2Env.SetReleaseLevel(v);
        break;
    case kLfo2LoopEnable:
        lfo2Env.SetLoopEnabled(On(v));
        break;
    case kPitchBendTarget:
    case kAftertouchTarget:
    case kModWheelTarget:
    case kBreathTarget:
    case kExpressionTarget:
    case kSoftPedalTarget:
        routing_->SetTarget(RoutingRow(index), Rounded(v));
        break;
    case kPitchBendAmount:
    case kAftertouchAmount:
    case kModWheelAmount:
    case kBreathAmount:
    case kExpressionAmount:
    case kSoftPedalAmount:
        routing_->SetAmount(RoutingRow(index), v);
        break;
    case kChorusDelay:
        chorus_->SetDelay(v);
        break;
    case kChorusRate:
        chorus_->SetRate(v);
        break;
    case kChorusSync:
        chorus_->SetSync(On(v));
        break;
    case kChorusDepth:
        chorus_->SetDepth(v);
        break;
    case kChorusSpread:
        chorus_->SetSpread(On(v));
        break;
    case kChorusFeedback:
        chorus_->SetFeedback(v);
        break;
    case kChorusLevel:
        chorus_->SetMix(v);
        break;
    case kPhaserManual:
        phaser_->SetManual(v);
        break;
    case kPhaserRate:
        phaser_->SetRate(v);
        break;
    case kPhaserSync:
        phaser_->SetSync(On(v));
        break;
    case kPhaserDepth:
        phaser_->SetDepth(v);
        break;
    case kPhaserSpread:
        phaser_->SetSpread(On(v));
        break;
    case kPhaserFeedback:
        phaser_->SetFeedback(v);
        break;
    case kPhaserLevel:
        phaser_->SetMix(v);
        break;
    case kDelayTime:
        delay_->SetTime(v);
        break;
    case kDelaySync:
        delay_->SetSync(On(v));
        break;
    case kDelayFeedback:
        delay_->SetFeedback(v);
        break;
    case kDelayPingPong:
        delay_->SetPingPong(On(v));
        break;
    case kDelayLowCut:
        delay_->SetLowCut(v);
        break;
    case kDelayHighCut:
        delay_->SetHighCut(v);
        break;
    case kDelayLevel:
        delay_->SetMix(v);
        break;
    case kReverbSize:
        reverb_->SetSize(v);
        break;
    case kReverbDamping:
        reverb_->SetDamping(v);
        break;
    case kReverbHighDamp:
        reverb_->SetHighDamping(v);
        break;
    case kReverbLowCut:
        reverb_->SetLowCut(v);
        break;
    case kReverbLevel:
        reverb_->SetMix(v);
        break;
    case kVoices:
        SetVoiceCount(Rounded(v));
        break;
    case kTune:
        oscillator_->SetFrequencyFactor(v);
        break;
    case kKeyAssign:
        oscillator_->SetGlideFromLastNote(Rounded(v) == 1);
        break;
    default:
        // Read directly by the render loop or at voice start, MIDI settings, or reserved.
        break;
    }
}

// Rendering -------------------------------------------------------------------------------------

void TSynthEngine::RenderSubBlock(float* left, float* right, int offset, int frames) {
    const auto n = static_cast<std::size_t>(frames);
    std::fill_n(voiceBuffer_.begin(), n, kSilence);
    std::fill_n(noiseBuffer_.begin(), n, kSilence);
    std::fill_n(leftMix_.begin(), n, kSilence);
    std::fill_n(rightMix_.begin(), n, kSilence);

    routing_->Tick(frames);
    if (routing_->TakeChanged(TModulationAssignment::kTargetPitch)) {
        const float octaves = routing_->CurrentValue(TModulationAssignment::kTargetPitch);
        pitchFactor_ = std::exp2(octaves);
        pitchSemitones_ = 12.0f * octaves;
        for (int j = 0; j < voiceCount_; ++j)
            if (voiceState_[static_cast<std::size_t>(j)] >= 0) oscillator_->SetOctaveFactor(j, pitchFactor_);
    }
    const float noiseLevel = Parameter(kNoiseLevel);
    if (noiseLevel > 0.0f) noise_->Render(noiseBuffer_.data(), frames);

    const bool lfo1On = Parameter(kLfo1Enable) > 0.5f;
    const bool lfo2On = Parameter(kLfo2Enable) > 0.5f;
    const float e1 = lfo1On ? lfo1_->NextValue(frames) : 0.0f;
    const float e2 = lfo2On ? lfo2_->NextValue(frames) : 0.0f;
    float r[TModulationAssignment::kTargetCount];
    for (int t = 0; t < TModulationAssignment::kTargetCount; ++t)
        r[t] = routing_->CurrentValue(t);

    TEnvelopeHolder& amplitude = *envelopes_[record::kAmplitudeEnvelope];
    TEnvelopeHolder& filterEnv = *envelopes_[record::kFilterEnvelope];
    TEnvelopeHolder& pitchEnv = *envelopes_[record::kPitchEnvelope];
    TEnvelopeHolder& lfo1Env = *envelopes_[record::kLfo1Envelope];
    TEnvelopeHolder& lfo2Env = *envelopes_[record::kLfo2Envelope];
    const float pitchEnvAmount = Parameter(kPitchEnvAmount);
    const float oscLevel = Parameter(kOscLevel);
    const bool filterOn = Parameter(kFilterEnable) > 0.5f;

    for (int j = 0; j < voiceCount_; ++j) {
        const std::int8_t state = voiceState_[static_cast<std::size_t>(j)];
        if (state < 0) continue;
        const auto v = static_cast<std::size_t>(j);
        float pitchModulation = 1.0f, m = 1.0f, h = 0.0f;
        if (lfo1On) {
            const float u = e1 * (Parameter(kLfo1EnvEnable) > 0.5f ? lfo1Env.NextValue(j, frames) : 1.0f);
            pitchModulation = u * Parameter(kLfo1Vibrato) + 1.0f + e1 * r[TModulationAssignment::kTargetLfo1Vibrato];
            m = (u * Parameter(kLfo1Tremolo) + 1.0f) * (e1 * r[TModulationAssignment::kTargetLfo1Tremolo] + 1.0f);
            h = u * Parameter(kLfo1Filter) + e1 * r[TModulationAssignment::kTargetLfo1Filter];
        }
        if (lfo2On) {
            const float u2 = e2 * (Parameter(kLfo2EnvEnable) > 0.5f ? lfo2Env.NextValue(j, frames) : 1.0f);
            pitchModulation += u2 * Parameter(kLfo2Vibrato) + e2 * r[TModulationAssignment::kTargetLfo2Vibrato];
            m *= (u2 * Parameter(kLfo2Tremolo) + 1.0f) * (e2 * r[TModulationAssignment::kTargetLfo2Tremolo] + 1.0f);
            h += u2 * Parameter(kLfo2Filter) + e2 * r[TModulationAssignment::kTargetLfo2Filter];
        }
        oscillator_->SetPitchModulation(j, pitchModulation);
        if (pitchEnvAmount > 0.0f)
            oscillator_->SetPitchOffset(j, (pitchEnv.NextValue(j, frames) - 0.5f) * pitchEnvAmount);

        std::fill_n(voiceBuffer_.begin(), n, kSilence);
        if (oscLevel > 0.0f) oscillator_->Render(j, voiceBuffer_.data(), frames);
        if (noiseLevel > 0.0f)
            for (std::size_t l = 0; l < n; ++l)
                voiceBuffer_[l] += noiseBuffer_[l] * noiseLevel;
        if (filterOn) {
            const float x = h + (filterEnv.NextValue(j, frames) - 0.5f) * Parameter(kFilterEnvAmount) +
                            Parameter(kCutoff) +
                            (static_cast<float>(voiceNote_[static_cast<std::size_t>(j)]) - 60.0f + pitchSemitones_ +
                             oscillator_->GlideOffset(j)) *
                                Parameter(kKeyTrack) +
                            r[TModulationAssignment::kTargetFilterCutoff];
            filter_->Process(j, voiceBuffer_.data(), frames, x);
        }

        // Amplitude: a released voice fades on a cubic curve and is free once its envelope is below 0.004.
        const float a = amplitude.NextValue(j, frames);
        float t;
        if (state < 1) {
            if (a < 0.004f) { // this sub-block is still mixed
                voiceState_[v] = -1;
                if (listener_) listener_->VoiceFinished(j);
            }
            t = m * a * a * a;
        } else {
            t = m * a;
        }
        const float w = r[TModulationAssignment::kTargetAmplitude] * t;
        const float g0 = voiceGain_[v];
        const float step = (w - g0) / static_cast<float>(frames);
        for (std::size_t l = 0; l < n; ++l) {
            voiceBuffer_[l] *= g0 + static_cast<float>(l) * step;
            leftMix_[l] += voiceBuffer_[l] * panLeft_[v];
            rightMix_[l] += voiceBuffer_[l] * panRight_[v];
        }
        voiceGain_[v] = w;
    }

    const float pan = Parameter(kPan);
    for (std::size_t l = 0; l < n; ++l) {
        leftMix_[l] *= 2.0f - pan;
        rightMix_[l] *= pan;
    }
    if (On(Parameter(kDelayEnable))) delay_->Process(leftMix_.data(), rightMix_.data(), frames);
    if (On(Parameter(kChorusEnable))) chorus_->Process(leftMix_.data(), rightMix_.data(), frames);
    if (On(Parameter(kPhaserEnable))) phaser_->Process(leftMix_.data(), rightMix_.data(), frames);
    if (On(Parameter(kReverbEnable))) reverb_->Process(leftMix_.data(), rightMix_.data(), frames);

    const float master = Parameter(kMasterLevel);
    for (std::size_t l = 0; l < n; ++l) {
        left[static_cast<std::size_t>(offset) + l] = leftMix_[l] * master;
        right[static_cast<std::size_t>(offset) + l] = rightMix_[l] * master;
    }
}

} // namespace quillon
