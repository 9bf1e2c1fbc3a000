// The synthesizer without any host interface: the voice engine (oscillator, noise, filter, the five
// envelopes, two LFOs, the modulation routing) and the effect chain, the parameter fan-out from a
// parameter's engine value to the objects it sets, the start, release and end of voices, and the
// sub-block renderer. The VST 2 plug-in drives one; tools, benchmarks and tests can drive one directly.
//
// Voice life. A voice is started (held), released (sounding its release) and, once its amplitude envelope
// has fallen below 0.004, idle again; the engine keeps that state and renders the voices that are not
// idle. Which note a voice plays and which voice a note gets is the MIDI handler's business: it passes the
// note with VoiceStart and is told through the voice listener when a released voice falls silent.
//
// Threads. Rendering, voice operations, parameter values, tempo and voice counts are the audio thread's
// [audio] (or any thread while processing is stopped: construction, a sample-rate change, a pending
// program switch). The objects handed out by the accessors are the audio thread's too, except for their
// own operations marked [gui] or [any] (the oscillator's harmony editing and the envelopes' point editing
// reach the audio thread through their own lock-free hand-over).
#pragma once

#include "engine/VoiceLimits.h"
#include "files/ProgramRecord.h"

#include <array>
#include <cstdint>
#include <memory>

namespace quillon {

class TIFFTVoiceOsc;
class TEnvelopeHolder;
class TIFFTNoiseGenerator;
class TModulatedFilter;
class TLowFrequencyOscillator;
class TModulationAssignment;
class TClassicChorusEffect;
class TClassicReverbEffect;
class TClassicPhaserEffect;
class TClassicDelayEffect;

class TSynthEngine {
public:
    static constexpr int kMaxSubBlock = 16;     // frames
    static constexpr float kSilence = 1e-20f;   // what "silent" buffers hold, so that nothing turns denormal
    static constexpr int kParameterCount = 124; // parameter indices, files/ParameterIndex.h

    // Told when a released voice has fallen silent and is idle again. [audio]
    class IVoiceListener {
    public:
        virtual void VoiceFinished(int voice) = 0;

    protected:
        ~IVoiceListener() = default;
    };

    // Creates every part for 8 voices at 44,100 Hz.
    TSynthEngine();
    ~TSynthEngine();
    TSynthEngine(const TSynthEngine&) = delete;
    TSynthEngine& operator=(const TSynthEngine&) = delete;

    void SetVoiceListener(IVoiceListener* listener) { listener_ = listener; }
    // Hz; every part follows. Rates the plug-in does not take are ignored by every part.
    void SetSampleRate(float rate);
    // 1..kMaxVoices; a change silences every voice.
    void SetVoiceCount(int count);
    int VoiceCount() const { return voiceCount_; }
    // Clears the effects' delay lines and filters.
    void ResetEffects();
    // The host's tempo (beats per minute) and song position (samples) for the LFOs and the time-based
    // effects.
    void SetHostTempo(double tempo, double samplePosition);
    // Takes over the harmony edits and program data waiting in the oscillator's queue.
    void ApplyEdits();

    // The modulation routing row (TModulationAssignment) of a routing target or amount parameter. [any]
    static int RoutingRow(int index);
    // A parameter's engine value (see the parameter table's engine mapping) reaches the parts it sets.
    void SetParameter(int index, float value);
    float Parameter(int index) const { return value_[static_cast<std::size_t>(index)]; }
    // Seconds of the amplitude envelope's release (the MIDI handler's, which follows the hold-2 pedal).
    void SetAmplitudeReleaseTime(float seconds);

    // Starts `voice` on `note` (0..127) with velocity 0..127; `legato` continues its envelopes.
    void VoiceStart(int voice, int note, int velocity, bool legato);
    // The voice's envelopes enter their release.
    void VoiceRelease(int voice);
    // Every voice idle at once (the MIDI handler forgot its notes).
    void ResetVoices();
    // −1 idle, 0 released, 1 held.
    int VoiceState(int voice) const;

    // Renders `frames` (1..kMaxSubBlock) frames into left/right[offset …]; overwrites.
    void RenderSubBlock(float* left, float* right, int offset, int frames);

    TIFFTVoiceOsc& Oscillator() { return *oscillator_; }
    TEnvelopeHolder& Envelope(int index) { return *envelopes_[static_cast<std::size_t>(index)]; }
    TIFFTNoiseGenerator& Noise() { return *noise_; }
    TModulatedFilter& Filter() { return *filter_; }
    TLowFrequencyOscillator& Lfo(int index) { return index == 0 ? *lfo1_ : *lfo2_; }
    const TLowFrequencyOscillator& Lfo(int index) const { return index == 0 ? *lfo1_ : *lfo2_; }
    TModulationAssignment& Routing() { return *routing_; }
    const TModulationAssignment& Routing() const { return *routing_; }
    TClassicChorusEffect& Chorus() { return *chorus_; }
    const TClassicChorusEffect& Chorus() const { return *chorus_; }
    TClassicReverbEffect& Reverb() { return *reverb_; }
    TClassicPhaserEffect& Phaser() { return *phaser_; }
    const TClassicPhaserEffect& Phaser() const { return *phaser_; }
    TClassicDelayEffect& Delay() { return *delay_; }
    const TClassicDelayEffect& Delay() const { return *delay_; }
    float PitchFactor() const { return pitchFactor_; }

private:
    IVoiceListener* listener_ = nullptr;
    std::array<float, kParameterCount> value_{};
    // Four scratch buffers of one sub-block: voice, noise, left mix, right mix.
    std::array<float, kMaxSubBlock> voiceBuffer_{}, noiseBuffer_{}, leftMix_{}, rightMix_{};
    std::unique_ptr<TIFFTVoiceOsc> oscillator_;
    std::array<std::unique_ptr<TEnvelopeHolder>, record::kEnvelopeCount> envelopes_;
    std::unique_ptr<TIFFTNoiseGenerator> noise_;
    std::unique_ptr<TModulatedFilter> filter_;
    int voiceCount_ = 0;          // 0 until the first SetVoiceCount
    float pitchFactor_ = 1.0f;    // frequency factor from the routing's pitch target
    float pitchSemitones_ = 0.0f; // the same in semitones
    // Per voice, sized once for the largest count, so that a count change never frees what rendering reads.
    std::array<std::int8_t, kMaxVoices> voiceState_{};
    std::array<unsigned char, kMaxVoices> voiceNote_{};
    std::array<float, kMaxVoices> voiceGain_{}; // amplitude gain at the end of the previous sub-block
    std::array<float, kMaxVoices> panLeft_{}, panRight_{};
    std::unique_ptr<TLowFrequencyOscillator> lfo1_, lfo2_;
    std::unique_ptr<TModulationAssignment> routing_;
    std::unique_ptr<TClassicChorusEffect> chorus_;
    std::unique_ptr<TClassicReverbEffect> reverb_;
    std::unique_ptr<TClassicPhaserEffect> phaser_;
    std::unique_ptr<TClassicDelayEffect> delay_;
};

} // namespace quillon
