// Per-voice filter of twelve types over an exponential frequency table. This class currently holds its
// settings only; the filter recurrences are not built yet.
#pragma once

namespace quillon {

class TModulatedFilter {
public:
    TModulatedFilter(int voiceCount, float sampleRate, float maximumFrequency, float minimumFrequency, int tableSize)
        : voiceCount_(voiceCount), sampleRate_(sampleRate), maximumFrequency_(maximumFrequency),
          minimumFrequency_(minimumFrequency), tableSize_(tableSize) {}

    void SetSampleRate(float rate) { sampleRate_ = rate; }
    void SetVoiceCount(int count) { voiceCount_ = count; }
    // Filter type 1..32 as the parameter delivers it.
    void SetType(int type) { type_ = type; }
    void SetResonance(float resonance) { resonance_ = resonance; }
    // Gain of the unfiltered signal mixed to the output, 0..1.
    void SetDryGain(float gain) { dryGain_ = gain; }

    int VoiceCount() const { return voiceCount_; }
    float SampleRate() const { return sampleRate_; }
    int Type() const { return type_; }
    float Resonance() const { return resonance_; }
    float DryGain() const { return dryGain_; }
    float MaximumFrequency() const { return maximumFrequency_; }
    float MinimumFrequency() const { return minimumFrequency_; }
    int TableSize() const { return tableSize_; }

private:
    int voiceCount_;
    float sampleRate_;
    float maximumFrequency_, minimumFrequency_;
    int tableSize_;
    int type_ = 0;
    float resonance_ = 0.0f;
    float dryGain_ = 0.0f;
};

} // namespace quillon
