// Stereo chorus. Each channel is low-passed at 10 kHz and written at twice the sample rate (two line samples per
// input sample) into a circular delay line, read back with linear interpolation at a delay that a sine LFO sweeps
// by ± depth around the base delay, high-passed at 500 Hz, fed back into the input and mixed with the dry signal.
// With spread on, the right channel's delay moves opposite to the left's.
//
// Threads: the constructor and SetSampleRate allocate (host thread, audio stopped); Process, Reset and the
// setters run on the audio thread [audio]; RateLabel reads only the LFO's fixed note-length labels [any].
#pragma once

#include <vector>

#include "effects/ButterworthSection.h"
#include "effects/TLfoModulatedEffect.h"

namespace quillon {

class TClassicChorusEffect : public TLfoModulatedEffect {
public:
    // maximumDelay: the longest delay in seconds the line must hold (the plug-in passes 0.1); rate in Hz.
    TClassicChorusEffect(float maximumDelay, float sampleRate);

    void SetSampleRate(float rate) override;
    void Process(float* left, float* right, int n) override;
    // Clears the lines and filter memories; the feedback memories and the write position stay.
    void Reset() override;

    void SetDelay(float seconds); // base delay, 0.0005 … 0.05 s from the parameter
    void SetDepth(float depth);   // 0 … 1, the sweep as a share of the base delay
    // The LFO's waveform is a sine by default; with spread on, the right delay moves opposite to the left.
    // Feedback, mix, level, rate, sync, waveform, spread and tempo: TLfoModulatedEffect.

    float BaseDelay() const { return baseDelay_; } // line samples (two per input sample)
    float Swing() const { return swing_; }         // line samples
    int LineLength() const { return lineMask_ + 1; }

private:
    void ApplySampleRate(float rate);
    void UpdateFilters();

    float baseDelay_ = 0.0f; // line samples: round(delay·rate·2)
    float swing_ = 0.0f;     // line samples: round(base delay·depth)
    int lineMask_ = 0;
    int writeIndex_ = 0;
    std::vector<float> leftLine_, rightLine_;
    float delay_ = 0.015f;           // seconds
    float highPassCutoff_ = 500.0f;  // Hz, on the output
    float lowPassCutoff_ = 10000.0f; // Hz, on the input
    float maximumDelay_;             // seconds
    ButterworthMemory lowPassLeft_, lowPassRight_;
    ButterworthCoefficients lowPass_;
    ButterworthMemory highPassLeft_, highPassRight_;
    ButterworthCoefficients highPass_;
};

} // namespace quillon
