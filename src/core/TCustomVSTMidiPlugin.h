// The synthesizer: creates the engine and the effects, turns parameter changes into engine settings,
// formats the parameter displays that depend on engine state, and renders sub-blocks.
//
// Per-voice arrays are sized once for the largest voice count, so that a voice-count change never frees
// memory the audio thread may be reading.
#pragma once

#include "core/TVSTMidiPlugin.h"

#include <array>
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

class TCustomVSTMidiPlugin : public TVSTMidiPlugin {
public:
    static constexpr int kMaxVoices = 256;
    static constexpr int kEnvelopeCount = 5;

    explicit TCustomVSTMidiPlugin(vst2::audioMasterCallback audioMaster);
    ~TCustomVSTMidiPlugin() override;

    void setSampleRate(float rate) override;
    void suspend() override; // clears the effects' delay lines and filters
    void getParameterDisplay(vst2::VstInt32 index, char* text) override; // [any]
    // Display text of a stored value (0..1) for the current engine state: note lengths under tempo sync,
    // modulation amounts in their target's units, otherwise the plain number. [any]
    std::string ParameterDisplayText(int index, float value) const;

    void ParameterChanged(int index) override;  // [audio]
    void PrepareProgram(int slot) override;     // [worker]
    void FinishProgram() override;              // [audio]
    void ProcessBlock(int frames, float* left, float* right) override;
    void RenderSubBlock(float* left, float* right, int offset, int frames) override;

    // Starts voice `voice` on the note the MIDI handler assigned to it (velocity 0..127). [audio]
    void VoiceStart(int voice, int velocity, bool legato);
    // Releases a voice: its envelopes enter their release. [audio]
    void VoiceRelease(int voice);

    // Voice count 1..256 (parameter "Voices").
    void SetVoiceCount(int count);
    int VoiceCount() const { return voiceCount_; }

    TIFFTVoiceOsc& Oscillator() { return *oscillator_; }
    TEnvelopeHolder& Envelope(int index) { return *envelopes_[static_cast<std::size_t>(index)]; }
    TIFFTNoiseGenerator& Noise() { return *noise_; }
    TModulatedFilter& Filter() { return *filter_; }
    TLowFrequencyOscillator& Lfo(int index) { return index == 0 ? *lfo1_ : *lfo2_; }
    TModulationAssignment& Routing() { return *routing_; }
    TClassicChorusEffect& Chorus() { return *chorus_; }
    TClassicReverbEffect& Reverb() { return *reverb_; }
    TClassicPhaserEffect& Phaser() { return *phaser_; }
    TClassicDelayEffect& Delay() { return *delay_; }
    float PitchFactor() const { return pitchFactor_; }

private:
    // Four scratch buffers of one sub-block: voice, noise, left mix, right mix.
    std::array<float, kMaxSubBlock> voiceBuffer_{}, noiseBuffer_{}, leftMix_{}, rightMix_{};
    std::unique_ptr<TIFFTVoiceOsc> oscillator_;
    std::array<std::unique_ptr<TEnvelopeHolder>, kEnvelopeCount> envelopes_;
    std::unique_ptr<TIFFTNoiseGenerator> noise_;
    std::unique_ptr<TModulatedFilter> filter_;
    int voiceCount_ = 8;
    float pitchFactor_ = 1.0f;    // frequency factor from the routing's pitch target
    float pitchSemitones_ = 0.0f; // the same in semitones
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
