// Stereo reverb built as a feedback delay network. The sum of both inputs passes three all-pass diffusers
// (gain 0.6) and feeds sixteen delay lines; their outputs are mixed back into every line through the
// Householder matrix I − J/8 scaled by the feedback gain (0.4 … 0.98, set by the damping), and each line
// removes part of its content above 2000 Hz on every pass (the high damping). Two fixed sets of sixteen tap
// weights form the left and right outputs, which pass a one-pole low cut and are mixed with the dry input.
//
// The room size (0.625 … 640 m²) scales all nineteen line lengths with sqrt(area × 1.5). Every buffer is
// allocated in SetSampleRate for the largest size, so SetSize may run during playback without allocating;
// the lines are not cleared when the size changes. Memories start at exactly 0 (no denormal guard).
//
// Threads: SetSampleRate runs on the host thread while audio is stopped (it allocates); Process, Reset and
// the setters run on the audio thread [audio].
#pragma once

#include "effects/TSuperAudioEffect.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quillon {

class TClassicReverbEffect : public TSuperAudioEffect {
public:
    static constexpr int kNetworkLines = 16;
    static constexpr int kLineCount = 19;         // 16 network lines, then the diffusers 16, 17, 18
    static constexpr float kMinimumSize = 0.625f; // m²
    static constexpr float kMaximumSize = 640.0f; // m²
    // The synthesizer's range of rates: others (and NaN) are ignored by SetSampleRate; the constructor falls
    // back to 44100.
    static constexpr float kMinimumSampleRate = quillon::kMinimumSampleRate;
    static constexpr float kMaximumSampleRate = quillon::kMaximumSampleRate;

    explicit TClassicReverbEffect(float sampleRate);

    // Allocates every line for 640 m² at the new rate, recomputes lengths and filters, clears.
    void SetSampleRate(float rate) override;
    // [audio] In place; n < 1 does nothing.
    void Process(float* left, float* right, int n) override;
    // [audio] Positions, lines, damping and low-cut memories to 0.
    void Reset() override;

    // [audio] Room area in m², limited to 0.625 … 640; changes the line lengths without clearing them.
    void SetSize(float area);
    // [audio] 0..1: feedback gain := (1 − d)·0.58 + 0.4, output gain := sqrt(1 − feedback gain).
    void SetDamping(float damping);
    // [audio] 0..1: share (up to 0.6) of each line's content above 2000 Hz removed on every pass.
    void SetHighDamping(float highDamping);
    // [audio] Corner of the one-pole output high-pass, Hz.
    void SetLowCut(float hz);
    // [audio] Wet share 0..1 (the plug-in uses 0..0.5); dry := (1 − mix)·level, wet := mix·level.
    void SetMix(float mix);
    // [audio] Overall level of dry and wet parts.
    void SetLevel(float level);

    int LineLength(int line) const { return lines_[static_cast<std::size_t>(line)].length; }   // samples
    int AllocatedLength(int line) const { return allocated_[static_cast<std::size_t>(line)]; } // samples
    float Size() const { return size_; }
    float FeedbackGain() const { return feedbackGain_; }
    float OutputGain() const { return outputGain_; }
    float HighDampingAmount() const { return highDampingAmount_; }
    float LowCut() const { return lowCutFrequency_; } // Hz
    float DryGain() const { return dryGain_; }
    float WetGain() const { return wetGain_; }

private:
    struct LineState {
        std::uint32_t position = 0; // 0 … length − 1
        int length = 1;             // samples in use, 1 … allocated length
    };

    std::array<int, kLineCount> allocated_{};
    std::array<LineState, kLineCount> lines_{};
    std::array<std::vector<float>, kLineCount> buffers_;
    std::array<float, kNetworkLines> dampingMemory_{};
    float lowCutLeft_ = 0.0f, lowCutRight_ = 0.0f;
    float outputGain_ = 0.0f;
    float feedbackGain_ = 0.0f;
    float dampingA_ = 0.0f, dampingB_ = 0.0f; // one-pole high-pass at 2000 Hz
    float lowCutA_ = 0.0f, lowCutNegA_ = 0.0f, lowCutB_ = 0.0f;
    float wetGain_ = 0.0f, dryGain_ = 0.0f;
    float highDampingAmount_ = 0.0f;
    float size_ = 200.0f;            // m²
    float damping_ = 0.2f;           // 0..1
    float highDamping_ = 0.2f;       // 0..1
    float lowCutFrequency_ = 200.0f; // Hz
    float mix_ = 0.2f;
    float level_ = 1.0f;
};

} // namespace quillon
