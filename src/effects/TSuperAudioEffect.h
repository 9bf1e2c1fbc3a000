// Minimal base of the four effects: the sample rate and in-place stereo processing.
// Threads: SetSampleRate runs on the host thread while audio is stopped (it may allocate); Process,
// Reset and the setters run on the audio thread [audio]. Labels are [any].
#pragma once

#include "engine/SampleRateRange.h"

namespace quillon {

class TSuperAudioEffect {
public:
    explicit TSuperAudioEffect(float sampleRate) : sampleRate_(sampleRate) {}
    virtual ~TSuperAudioEffect() = default;
    TSuperAudioEffect(const TSuperAudioEffect&) = delete;
    TSuperAudioEffect& operator=(const TSuperAudioEffect&) = delete;

    // Stores the rate; effects rebuild what depends on it after calling the base. Every effect ignores a
    // rate outside the synthesizer's range (UsableSampleRate) and keeps running at its previous one.
    virtual void SetSampleRate(float rate) { sampleRate_ = rate; }
    // Processes n samples of both channels in place. The base does nothing.
    virtual void Process(float* left, float* right, int n) {
        (void)left;
        (void)right;
        (void)n;
    }
    // Clears delay lines and filter memories, keeps settings.
    virtual void Reset() {}

    float SampleRate() const { return sampleRate_; }

protected:
    float sampleRate_;
};

} // namespace quillon
