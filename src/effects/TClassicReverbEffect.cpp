#include "effects/TClassicReverbEffect.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Seconds of line length per unit of sqrt(area × 1.5): network lines 0 … 15 (each about 1.0443 times the
// previous), then the diffusers 16 … 18 (each 2^(1/3) times the previous).
constexpr std::array<float, TClassicReverbEffect::kLineCount> kLengthFactors = {
    0.00209205f, 0.00218467f, 0.0022814f,  0.0023824f,   0.00248788f, 0.00259803f, 0.00271305f,
    0.00283317f, 0.00295861f, 0.00308959f, 0.00322638f,  0.00336923f, 0.0035184f,  0.00367417f,
    0.00383684f, 0.00400671f, 0.0002f,     0.000251984f, 0.00031748f};

// Output tap weights of the sixteen network lines.
constexpr std::array<float, TClassicReverbEffect::kNetworkLines> kLeftWeights = {
    0.1985f,  -0.1235f, 0.3015f,  -0.1323f, 0.1665f, 0.3416f, 0.4674f,   -0.06785f,
    -0.1879f, 0.3703f,  0.02341f, -0.3926f, 0.1508f, 0.2206f, -0.08366f, -0.2529f};
constexpr std::array<float, TClassicReverbEffect::kNetworkLines> kRightWeights = {
    0.1792f,  0.3493f,   0.296f,   -0.0251f, -0.08528f, -0.2383f, 0.355f,   0.3731f,
    0.04845f, -0.02328f, -0.3536f, 0.2949f,  -0.03428f, 0.3232f,  -0.2635f, -0.1959f};

constexpr float kDiffuserGain = 0.6f;
constexpr float kDampingCorner = 12566.3711f; // 2π·2000 as a 32-bit float: the damping corner is 2000 Hz
constexpr double kTwoPi = 6.283185308;
constexpr double kLargestAreaTimesOneAndAHalf = 960.0; // 640 m² × 1.5

bool IsUsableRate(float rate) {
    return rate >= TClassicReverbEffect::kMinimumSampleRate && rate <= TClassicReverbEffect::kMaximumSampleRate;
}

// Nearest integer, ties to even (default rounding mode).
int RoundToInt(double x) {
    return static_cast<int>(std::nearbyint(x));
}

// cot θ for a one-pole section.
double Cotangent(double theta) {
    return std::cos(theta) / std::sin(theta);
}

} // namespace

TClassicReverbEffect::TClassicReverbEffect(float sampleRate) : TSuperAudioEffect(sampleRate) {
    SetSampleRate(IsUsableRate(sampleRate) ? sampleRate : 44100.0f);
    SetSize(200.0f);
    SetDamping(0.2f);
    SetHighDamping(0.2f);
    SetLowCut(200.0f);
    SetMix(0.2f);
    SetLevel(1.0f);
}

void TClassicReverbEffect::SetSampleRate(float rate) {
    if (!IsUsableRate(rate)) return; // keep running at the previous rate
    TSuperAudioEffect::SetSampleRate(rate);

    const auto largest = static_cast<float>(std::sqrt(kLargestAreaTimesOneAndAHalf) * rate);
    for (int k = 0; k < kLineCount; ++k) {
        const auto index = static_cast<std::size_t>(k);
        allocated_[index] = std::max(1, RoundToInt(static_cast<double>(largest) * kLengthFactors[index] + 1.0));
        buffers_[index].assign(static_cast<std::size_t>(allocated_[index]), 0.0f);
    }

    const double k = Cotangent(static_cast<double>(kDampingCorner) * 0.5 / rate);
    dampingA_ = static_cast<float>(k / (k + 1.0));
    dampingB_ = static_cast<float>((1.0 - k) / (k + 1.0));

    SetSize(size_);
    SetLowCut(lowCutFrequency_);
    Reset();
}

void TClassicReverbEffect::Reset() {
    for (int k = 0; k < kLineCount; ++k) {
        const auto index = static_cast<std::size_t>(k);
        lines_[index].position = 0;
        std::fill(buffers_[index].begin(), buffers_[index].end(), 0.0f);
    }
    dampingMemory_.fill(0.0f);
    lowCutLeft_ = lowCutRight_ = 0.0f;
}

void TClassicReverbEffect::SetSize(float area) {
    if (!(area >= kMinimumSize)) // also NaN
        area = kMinimumSize;
    area = std::min(area, kMaximumSize);
    size_ = area;
    const auto scale = static_cast<float>(std::sqrt(static_cast<double>(area) * 1.5) * sampleRate_);
    for (int k = 0; k < kLineCount; ++k) {
        const auto index = static_cast<std::size_t>(k);
        // Positions stay; one beyond a shortened length wraps on the next sample.
        lines_[index].length =
            std::clamp(RoundToInt(static_cast<double>(scale) * kLengthFactors[index]), 1, allocated_[index]);
    }
}

void TClassicReverbEffect::SetDamping(float damping) {
    damping_ = damping;
    feedbackGain_ = (1.0f - damping) * 0.58f + 0.4f;
    outputGain_ = std::sqrt(1.0f - feedbackGain_);
}

void TClassicReverbEffect::SetHighDamping(float highDamping) {
    highDamping_ = highDamping;
    highDampingAmount_ = highDamping * 0.6f;
}

void TClassicReverbEffect::SetLowCut(float hz) {
    lowCutFrequency_ = hz;
    // A corner of 0 Hz or NaN would divide by zero, one at or above half the rate makes the section
    // unstable: the coefficients are computed for a corner pulled into 1 Hz … 0.49·rate.
    double corner = hz;
    if (!(corner >= 1.0)) corner = 1.0;
    corner = std::min(corner, 0.49 * sampleRate_);
    const double k = Cotangent(corner * kTwoPi * 0.5 / sampleRate_);
    lowCutA_ = static_cast<float>(k / (k + 1.0));
    lowCutNegA_ = static_cast<float>(-k / (k + 1.0));
    lowCutB_ = static_cast<float>((1.0 - k) / (k + 1.0));
}

void TClassicReverbEffect::SetMix(float mix) {
    mix_ = mix;
    wetGain_ = mix * level_;
    dryGain_ = level_ * (1.0f - mix);
}

void TClassicReverbEffect::SetLevel(float level) {
    level_ = level;
    SetMix(mix_);
}

void TClassicReverbEffect::Process(float* left, float* right, int n) {
    std::array<float*, kLineCount> buffer;
    for (int k = 0; k < kLineCount; ++k)
        buffer[static_cast<std::size_t>(k)] = buffers_[static_cast<std::size_t>(k)].data();

    for (int i = 0; i < n; ++i) {
        const float xL = left[i];
        const float xR = right[i];

        for (LineState& line : lines_) {
            if (++line.position >= static_cast<std::uint32_t>(line.length)) line.position = 0;
        }

        // Three all-pass diffusers in series.
        float u = xL + xR;
        for (int k = kNetworkLines; k < kLineCount; ++k) {
            float& slot = buffer[static_cast<std::size_t>(k)][lines_[static_cast<std::size_t>(k)].position];
            const float d = slot;
            const float a = kDiffuserGain * d + u;
            u = d - kDiffuserGain * a;
            slot = a;
        }

        std::array<float, kNetworkLines> o;
        float sum = 0.0f;
        for (int k = 0; k < kNetworkLines; ++k) {
            const auto index = static_cast<std::size_t>(k);
            o[index] = buffer[index][lines_[index].position];
            sum += o[index];
        }
        // Householder feedback: every line gets feedback gain × (o_k − sum/8) plus the diffused input.
        u = u - sum * 0.125f * feedbackGain_;

        float wetL = 0.0f;
        float wetR = 0.0f;
        for (std::size_t k = 0; k < kNetworkLines; ++k) {
            wetL += o[k] * kLeftWeights[k];
            wetR += o[k] * kRightWeights[k];
        }
        wetL = wetL * outputGain_;
        wetR = wetR * outputGain_;

        for (std::size_t k = 0; k < kNetworkLines; ++k) {
            float& slot = buffer[k][lines_[k].position];
            slot = o[k] * feedbackGain_ + u;
            // Remove part of the one-pole high-pass share (above 2000 Hz) of the value just written.
            float& s = dampingMemory_[k];
            const float w = slot - s * dampingB_;
            const float h = (w - s) * dampingA_;
            slot = slot - highDampingAmount_ * h;
            s = w;
        }

        float w = wetL - lowCutLeft_ * lowCutB_;
        wetL = lowCutLeft_ * lowCutNegA_ + w * lowCutA_;
        lowCutLeft_ = w;
        w = wetR - lowCutRight_ * lowCutB_;
        wetR = lowCutRight_ * lowCutNegA_ + w * lowCutA_;
        lowCutRight_ = w;

        left[i] = xL * dryGain_ + wetL * wetGain_;
        right[i] = xR * dryGain_ + wetR * wetGain_;
    }
}

} // namespace quillon
