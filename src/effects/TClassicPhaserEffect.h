// Stereo phaser. Each channel runs through a chain of first-order all-pass stages (eight by default) whose break
// frequency a triangle LFO sweeps by ± depth/2 around the manual position on an exponential 50 Hz … 20 kHz scale,
// then through a 500 Hz high-pass, with 0.98·feedback of the output returned to the input. With spread on, the
// right channel's sweep mirrors the left's around the manual position. Process computes in 32-bit floats
// throughout.
//
// Threads: the constructor, SetSampleRate and SetStages allocate (host thread, audio stopped); Process, Reset and
// the other setters run on the audio thread [audio]; RateLabel reads only the LFO's fixed labels [any].
#pragma once

#include <vector>

#include "effects/ButterworthSection.h"
#include "effects/TLfoModulatedEffect.h"
#include "engine/TIIRFrequencyTable.h"

namespace quillon {

class TClassicPhaserEffect : public TLfoModulatedEffect {
public:
    explicit TClassicPhaserEffect(float sampleRate);

    // Re-rates the LFO, the frequency table and the high-pass; stage and filter memories stay.
    void SetSampleRate(float rate) override;
    void Process(float* left, float* right, int n) override;
    // Clears the stage and high-pass memories; settings stay.
    void Reset() override;

    void SetStages(int count);      // all-pass stages per channel (at least 0), then Reset
    void SetManual(float position); // 0 … 1 on the 50 Hz … 20 kHz scale
    void SetDepth(float depth);     // 0 … 1; the sweep spans ± depth/2 around the manual position
    // Feedback (0 … 1) is scaled by 0.98 in the loop; the LFO's waveform is a triangle by default. Feedback,
    // mix, level, rate, sync, waveform, spread and tempo: TLfoModulatedEffect.

    int Stages() const { return stageCount_; }
    const TIIRFrequencyTable& FrequencyTable() const { return table_; }

private:
    void ApplySampleRate(float rate);

    TIIRFrequencyTable table_; // 1000 entries, 50 Hz … 20 kHz
    std::vector<float> leftStages_, rightStages_;
    // All-pass coefficients of the current sample: A = K/(K + 1), B = (1 − K)/(K + 1), K = cot(π·f/fs).
    float aLeft_ = 0.0f, aRight_ = 0.0f, bLeft_ = 0.0f, bRight_ = 0.0f;
    int rightSelector_ = 1; // 1: the right channel uses its own coefficients (spread on)
    ButterworthMemory highPassLeft_, highPassRight_;
    ButterworthCoefficients highPass_;
    int stageCount_ = 8;
    float manual_ = 0.5f;
    float highPassCutoff_ = 500.0f; // Hz
};

} // namespace quillon
