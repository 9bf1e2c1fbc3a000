// Wavetable voice oscillator: plays a harmony's band-limited tables per voice with unison, glide and
// crossfades along harmony time. This class currently holds the oscillator's settings only; the
// wavetable rendering is not built yet.
// Threads: setters run on the audio thread (parameter ramps) or while audio is stopped [audio].
#pragma once

namespace quillon {

class TIFFTVoiceOsc {
public:
    static constexpr int kMaxUnison = 32;

    TIFFTVoiceOsc(int voiceCount, float sampleRate) : voiceCount_(voiceCount), sampleRate_(sampleRate) {}

    void SetSampleRate(float rate) { sampleRate_ = rate; }
    void SetVoiceCount(int count) { voiceCount_ = count; }
    // Unison oscillators per voice, 1..32.
    void SetUnisonCount(int count) { unisonCount_ = count < 1 ? 1 : (count > kMaxUnison ? kMaxUnison : count); }
    // Frequency ratio between the lowest and the highest unison oscillator (1 … 1.0293).
    void SetUnisonSpread(float spread) { unisonSpread_ = spread; }
    void SetPhaseReset(bool on) { phaseReset_ = on; }
    void SetGlideEnabled(bool on) { glideEnabled_ = on; }
    void SetGlideTime(float seconds) { glideTime_ = seconds; }
    void SetLoopEnabled(bool on) { loopEnabled_ = on; }
    // Oscillator-wide fine-tune ratio (0.9715 … 1.0293).
    void SetFrequencyFactor(float factor) { frequencyFactor_ = factor; }
    void SetOscillatorGain(float gain) { oscillatorGain_ = gain; }
    void SetGlideFromLastNote(bool on) { glideFromLastNote_ = on; }

    int VoiceCount() const { return voiceCount_; }
    float SampleRate() const { return sampleRate_; }
    int UnisonCount() const { return unisonCount_; }
    float UnisonSpread() const { return unisonSpread_; }
    bool PhaseReset() const { return phaseReset_; }
    bool GlideEnabled() const { return glideEnabled_; }
    float GlideTime() const { return glideTime_; }
    bool LoopEnabled() const { return loopEnabled_; }
    float FrequencyFactor() const { return frequencyFactor_; }
    float OscillatorGain() const { return oscillatorGain_; }
    bool GlideFromLastNote() const { return glideFromLastNote_; }

private:
    int voiceCount_;
    float sampleRate_;
    int unisonCount_ = 1;
    float unisonSpread_ = 1.0f;
    bool phaseReset_ = false;
    bool glideEnabled_ = false;
    float glideTime_ = 0.0f;
    bool loopEnabled_ = false;
    float frequencyFactor_ = 0.0f;
    float oscillatorGain_ = 1.0f;
    bool glideFromLastNote_ = false;
};

} // namespace quillon
