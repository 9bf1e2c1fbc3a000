#include "effects/TClassicReverbEffect.h"

#include "engine/Simd.h"

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

// Nearest integer, ties to even (default rounding mode).
int RoundToInt(double x) {
    return static_cast<int>(std::nearbyint(x));
}

// cot θ for a one-pole section.
double Cotangent(double theta) {
    return std::cos(theta) / std::sin(theta);
}

constexpr int kChunk = 16; // samples the network works on phase by phase

// The settings of a block.
struct Network {
    float feedback, outputGain;
    float dampingA, dampingB, amount; // one-pole high-pass at 2000 Hz and the share of it removed
    float lowCutA, lowCutNegA, lowCutB;
    float wet, dry;
};

// Runs samples first … first+m−1 (m ≤ kChunk) of a run through the network; line k's slot for sample i is
// line[k][i], and no line wraps within the run. A slot read in a run was written a whole line length ago,
// never within the run, so the samples depend on each other only through the damping and low-cut memories:
// the diffusers, the network sum and the output taps go sample-parallel (four lanes, each performing the
// per-sample operations in their order), the damping of each line and the low cut run sample by sample.
void RunNetwork(const Network& c, float* const* line, int first, int m, float* left, float* right, float* damping,
                float& lowLeft, float& lowRight) {
    float diffused[kChunk], wetLeft[kChunk], wetRight[kChunk];
    left += first;
    right += first;
    int i = 0;
    using simd::Load;
    using simd::Splat;
    using simd::Store;
    using simd::Vec4;
    const Vec4 gain = Splat(kDiffuserGain);
    for (; i + simd::kLanes <= m; i += simd::kLanes) {
        // Three all-pass diffusers in series.
        Vec4 u = Load(left + i) + Load(right + i);
        for (std::size_t k = TClassicReverbEffect::kNetworkLines; k < TClassicReverbEffect::kLineCount; ++k) {
            float* slot = line[k] + first + i;
            const Vec4 d = Load(slot);
            const Vec4 a = gain * d + u;
            u = d - gain * a;
            Store(slot, a);
        }
        // Line outputs: their sum for the Householder feedback and the two sets of taps.
        Vec4 sum = Splat(0.0f), wetL = Splat(0.0f), wetR = Splat(0.0f);
        for (std::size_t k = 0; k < TClassicReverbEffect::kNetworkLines; ++k) {
            const Vec4 o = Load(line[k] + first + i);
            sum = sum + o;
            wetL = wetL + o * Splat(kLeftWeights[k]);
            wetR = wetR + o * Splat(kRightWeights[k]);
        }
        u = u - sum * Splat(0.125f) * Splat(c.feedback);
        Store(diffused + i, u);
        Store(wetLeft + i, wetL * Splat(c.outputGain));
        Store(wetRight + i, wetR * Splat(c.outputGain));
    }
    for (; i < m; ++i) {
        float u = left[i] + right[i];
        for (std::size_t k = TClassicReverbEffect::kNetworkLines; k < TClassicReverbEffect::kLineCount; ++k) {
            float& slot = line[k][first + i];
            const float d = slot;
            const float a = kDiffuserGain * d + u;
            u = d - kDiffuserGain * a;
            slot = a;
        }
        float sum = 0.0f, wetL = 0.0f, wetR = 0.0f;
        for (std::size_t k = 0; k < TClassicReverbEffect::kNetworkLines; ++k) {
            const float o = line[k][first + i];
            sum += o;
            wetL += o * kLeftWeights[k];
            wetR += o * kRightWeights[k];
        }
        // Householder feedback: every line gets feedback gain × (o_k − sum/8) plus the diffused input.
        diffused[i] = u - sum * 0.125f * c.feedback;
        wetLeft[i] = wetL * c.outputGain;
        wetRight[i] = wetR * c.outputGain;
    }

    // Each line takes back its output times the feedback gain plus the diffused input, less part of the
    // one-pole high-pass share (above 2000 Hz) of that value.
    for (std::size_t k = 0; k < TClassicReverbEffect::kNetworkLines; ++k) {
        float* slot = line[k] + first;
        float s = damping[k];
        for (int j = 0; j < m; ++j) {
            float value = slot[j] * c.feedback + diffused[j];
            const float w = value - s * c.dampingB;
            const float h = (w - s) * c.dampingA;
            value = value - c.amount * h;
            slot[j] = value;
            s = w;
        }
        damping[k] = s;
    }

    for (int j = 0; j < m; ++j) {
        float w = wetLeft[j] - lowLeft * c.lowCutB;
        const float outL = lowLeft * c.lowCutNegA + w * c.lowCutA;
        lowLeft = w;
        w = wetRight[j] - lowRight * c.lowCutB;
        const float outR = lowRight * c.lowCutNegA + w * c.lowCutA;
        lowRight = w;
        left[j] = left[j] * c.dry + outL * c.wet;
        right[j] = right[j] * c.dry + outR * c.wet;
    }
}

} // namespace

TClassicReverbEffect::TClassicReverbEffect(float sampleRate) : TSuperAudioEffect(sampleRate) {
    SetSampleRate(UsableSampleRate(sampleRate) ? sampleRate : 44100.0f);
    SetSize(200.0f);
    SetDamping(0.2f);
    SetHighDamping(0.2f);
    SetLowCut(200.0f);
    SetMix(0.2f);
    SetLevel(1.0f);
}

void TClassicReverbEffect::SetSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return; // keep running at the previous rate
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
    // Settings and memories live in locals for the block: the line writes are float stores, which the
    // compiler must otherwise assume to change the float members.
    const Network network{feedbackGain_, outputGain_, dampingA_, dampingB_, highDampingAmount_,
                          lowCutA_,      lowCutNegA_, lowCutB_,  wetGain_,  dryGain_};
    std::array<float, kNetworkLines> damping = dampingMemory_;
    float lowLeft = lowCutLeft_, lowRight = lowCutRight_;
    std::array<float*, kLineCount> line; // line k's slot for the i-th sample of a run is line[k][i]

    int done = 0;
    while (done < n) {
        // Every position advances by one per sample and wraps to 0 when it reaches its line's length. Until
        // the first line wraps, line k's slot for the i-th next sample is simply position k + 1 + i.
        int run = n - done;
        for (const LineState& state : lines_)
            run = std::min(run, state.length - 1 - static_cast<int>(state.position));
        const bool wraps = run < 1;
        if (wraps) {
            // A line wraps on this sample (or lies beyond a length just shortened): one sample, stepping
            // every position on its own.
            for (std::size_t k = 0; k < kLineCount; ++k) {
                LineState& state = lines_[k];
                if (++state.position >= static_cast<std::uint32_t>(state.length)) state.position = 0;
                line[k] = buffers_[k].data() + state.position;
            }
            run = 1;
        } else {
            for (std::size_t k = 0; k < kLineCount; ++k)
                line[k] = buffers_[k].data() + lines_[k].position + 1;
        }

        for (int first = 0; first < run; first += kChunk)
            RunNetwork(network, line.data(), first, std::min(kChunk, run - first), left + done, right + done,
                       damping.data(), lowLeft, lowRight);

        if (!wraps) {
            for (LineState& state : lines_)
                state.position += static_cast<std::uint32_t>(run);
        }
        done += run;
    }

    dampingMemory_ = damping;
    lowCutLeft_ = lowLeft;
    lowCutRight_ = lowRight;
}

} // namespace quillon
