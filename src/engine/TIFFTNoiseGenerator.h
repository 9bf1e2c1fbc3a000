// Shaped noise source shared by all voices. This class currently holds its settings only; the noise
// synthesis is not built yet.
#pragma once

namespace quillon {

class TIFFTNoiseGenerator {
public:
    explicit TIFFTNoiseGenerator(float sampleRate) : sampleRate_(sampleRate) {}

    void SetSampleRate(float rate) { sampleRate_ = rate; }
    // Noise preset 1..32.
    void SetNoiseType(int type) { noiseType_ = type; }

    float SampleRate() const { return sampleRate_; }
    int NoiseType() const { return noiseType_; }

private:
    float sampleRate_;
    int noiseType_ = 0;
};

} // namespace quillon
