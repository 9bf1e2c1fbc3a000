#include "analysis/THarmonicAudioAnalyzer.h"

#include "engine/Simd.h"
#include "engine/TFFTReal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

namespace quillon {

namespace {

// Round to nearest, ties to even (the default rounding mode).
std::int64_t RoundEven(double v) {
    return static_cast<std::int64_t>(std::nearbyint(v));
}

// Σ |a[k] − b[k]| for k < n: the average magnitude difference of one lag, the analyser's inner loop. Four
// lanes with four accumulators, eight lanes on processors with AVX2.
float AbsDifferenceSum(const float* a, const float* b, std::int64_t n) {
    using simd::Vec4;
    std::int64_t k = 0;
    Vec4 acc0 = simd::Splat(0.0f), acc1 = acc0, acc2 = acc0, acc3 = acc0;
    auto absDiff = [&](std::int64_t at) { return simd::Abs(simd::Load(a + at) - simd::Load(b + at)); };
    for (; k + 16 <= n; k += 16) {
        acc0 += absDiff(k);
        acc1 += absDiff(k + 4);
        acc2 += absDiff(k + 8);
        acc3 += absDiff(k + 12);
    }
    const Vec4 acc = (acc0 + acc1) + (acc2 + acc3);
    float sum = (simd::Lane(acc, 0) + simd::Lane(acc, 1)) + (simd::Lane(acc, 2) + simd::Lane(acc, 3));
    for (; k < n; ++k)
        sum += std::fabs(a[k] - b[k]);
    return sum;
}

using AbsDifferenceKernel = float (*)(const float*, const float*, std::int64_t);

#ifdef QUILLON_HAVE_AVX2_TARGET
typedef float Vec8 __attribute__((vector_size(32)));
typedef int Int8 __attribute__((vector_size(32)));

QUILLON_TARGET_AVX2 float AbsDifferenceSumAvx2(const float* a, const float* b, std::int64_t n) {
    std::int64_t k = 0;
    Vec8 acc0{}, acc1{}, acc2{}, acc3{};
    const Int8 mask = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    auto absDiff = [&](std::int64_t at) QUILLON_TARGET_AVX2 {
        Vec8 va, vb;
        __builtin_memcpy(&va, a + at, sizeof va);
        __builtin_memcpy(&vb, b + at, sizeof vb);
        return reinterpret_cast<Vec8>(reinterpret_cast<Int8>(va - vb) & mask);
    };
    for (; k + 32 <= n; k += 32) {
        acc0 += absDiff(k);
        acc1 += absDiff(k + 8);
        acc2 += absDiff(k + 16);
        acc3 += absDiff(k + 24);
    }
    const Vec8 acc = (acc0 + acc1) + (acc2 + acc3);
    float sum = ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
    simd::LeaveAvx(); // the rest is scalar, and the caller plain SSE code
    for (; k < n; ++k)
        sum += std::fabs(a[k] - b[k]);
    return sum;
}

AbsDifferenceKernel ChooseAbsDifference() {
    return simd::HasAvx2() ? AbsDifferenceSumAvx2 : AbsDifferenceSum;
}
#else
AbsDifferenceKernel ChooseAbsDifference() {
    return AbsDifferenceSum;
}
#endif

// True when the signal crosses or touches `level` between x[i] and x[i + 1]; `fraction` is where.
bool CrossesAt(const float* x, std::int64_t i, float level, double& fraction) {
    const float a = x[i], b = x[i + 1];
    if (!((a >= level && level >= b) || (a <= level && level <= b))) return false;
    fraction = std::fabs(a - b) < 1e-20f ? 0.5 : static_cast<double>(a - level) / static_cast<double>(a - b);
    return true;
}

// One step of a window's walk: the zero crossing found from a start position, the period measured there
// (−1 when none), and, when that period could be analysed, its fundamental and energy.
struct TStep {
    std::int64_t position;
    double period;
    bool measured;
    float fundamental;
    float energy;
};

// A measured period: where it starts and how long it is, in samples.
struct TPeriod {
    std::int64_t position = 0;
    double period = 0.0;
};

} // namespace

THarmonicAudioAnalyzer::THarmonicAudioAnalyzer() : resampled_(kMaxTransformLength), spectrum_(kMaxTransformLength) {
    for (int i = 0; i < TAnalysisPoint::kHarmonics; ++i)
        weights_[static_cast<std::size_t>(i)] = std::sqrt(static_cast<float>(i));
    SetMode(2);
}

THarmonicAudioAnalyzer::~THarmonicAudioAnalyzer() = default;

void THarmonicAudioAnalyzer::SetMode(int mode) {
    switch (mode) {
    case 1:
        smoothingTolerance_ = 0.2f;
        minimumSpacing_ = 0.01f;
        searchWindow_ = 0.1f;
        break;
    case 2:
        smoothingTolerance_ = 0.3f;
        minimumSpacing_ = 0.03f;
        searchWindow_ = 0.2f;
        break;
    case 3:
        smoothingTolerance_ = 0.4f;
        minimumSpacing_ = 0.1f;
        searchWindow_ = 0.3f;
        break;
    default:
        break;
    }
}

void THarmonicAudioAnalyzer::SetPeriodsPerFrame(int periods) {
    periodsPerFrame_ = std::clamp(periods, 1, kMaxPeriodsPerFrame);
}

std::uint8_t THarmonicAudioAnalyzer::LevelByte(float amplitude) {
    if (!(amplitude > kSilentAmplitude)) return 255;
    const double level = std::nearbyint(-40.0 * std::log(static_cast<double>(amplitude)) / 2.302585093);
    return static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
}

TFFTReal& THarmonicAudioAnalyzer::Transform(int length) {
    const auto bits = static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(length)) - 1);
    if (!transforms_[bits]) transforms_[bits] = std::make_unique<TFFTReal>(length);
    return *transforms_[bits];
}

bool THarmonicAudioAnalyzer::StopRequested() const {
    return stop_ != nullptr && stop_->load(std::memory_order_relaxed);
}

void THarmonicAudioAnalyzer::ReportProgress(std::int64_t p) {
    if (progress_) progress_(n_ > 0 ? std::clamp(static_cast<double>(p) / static_cast<double>(n_), 0.0, 1.0) : 1.0);
}

std::vector<TAnalysisPoint> THarmonicAudioAnalyzer::Analyze(std::span<float> samples, float sampleRate) {
    std::vector<TAnalysisPoint> points;
    x_ = samples.data();
    n_ = static_cast<std::int64_t>(samples.size());
    rate_ = sampleRate;
    if (n_ == 0 || !(sampleRate > 0.0f) || !std::isfinite(sampleRate)) return points;
    points.reserve(kMaxPoints);

    // Normalise to a peak of 1, then move the first sample to 0.
    float peak = 0.0f;
    for (float& v : samples) {
        if (!std::isfinite(v)) v = 0.0f;
        peak = std::max(peak, std::fabs(v));
    }
    if (peak > 0.0f)
        for (float& v : samples)
            v /= peak;
    const float offset = samples[0];
    for (float& v : samples)
        v -= offset;

    // Onset: the first six samples whose RMS passes the threshold.
    std::int64_t p = -1;
    for (std::int64_t i = 0; i + 6 <= n_; ++i) {
        float sum = 0.0f;
        for (std::int64_t k = i; k < i + 6; ++k)
            sum += x_[k] * x_[k];
        if (std::sqrt(sum / 6.0f) > kOnsetThreshold) {
            p = i;
            break;
        }
    }
    if (p < 0) return points;

    double period = -1.0;
    DetectPeriod(p, period);
    TAnalysisPoint candidate;
    if (!AnalysePeriod(p, period, candidate)) return points;
    points.push_back(candidate);

    const double maxLength = kMaxLength;
    // Each window's walk starts again one period after the point chosen in the last one, so a walk often
    // goes over periods the last walk measured (all of them in a steady sound, where the chosen point may
    // lie near the window's start). What a step finds depends only on where it starts, so the steps are
    // remembered by their start; the amplitudes of the chosen period are measured again, which gives the
    // same values.
    std::map<std::int64_t, TStep> steps;
    TPeriod loudest, quietest;
    while (static_cast<int>(points.size()) < kMaxPoints) {
        if (StopRequested()) return {};
        const std::int64_t end = std::min(RoundEven(searchWindow_ * rate_) + p, n_ - 1);
        steps.erase(steps.begin(), steps.lower_bound(p)); // no walk starts before p again
        bool haveLoudest = false, haveQuietest = false;
        float loudestEnergy = 0.0f, quietestEnergy = 1e20f;
        int loudestId = -1, quietestId = -1; // which candidate of this window each one is
        for (int id = 0; period >= 1.0; ++id) {
            const std::int64_t start = RoundEven(period / periodsPerFrame_ + static_cast<double>(p));
            auto found = steps.find(start);
            if (found == steps.end()) {
                TStep step{start, -1.0, false, 0.0f, 0.0f};
                DetectPeriod(step.position, step.period);
                if (AnalysePeriod(step.position, step.period, candidate)) {
                    step.measured = true;
                    step.fundamental = candidate.fundamental;
                    step.energy = candidate.energy;
                }
                found = steps.emplace(start, step).first;
            }
            const TStep& step = found->second;
            p = step.position;
            period = step.period;
            if (step.measured) {
                const float last = points.back().fundamental;
                const bool pitchJump =
                    last / step.fundamental > kMaxPitchRatio || step.fundamental / last > kMaxPitchRatio;
                if (!pitchJump) {
                    if (step.energy > loudestEnergy) {
                        loudest = {step.position, step.period};
                        loudestEnergy = step.energy;
                        loudestId = id;
                        haveLoudest = true;
                    }
                    if (step.energy < quietestEnergy) {
                        quietest = {step.position, step.period};
                        quietestEnergy = step.energy;
                        quietestId = id;
                        haveQuietest = true;
                    }
                }
            }
            if (p >= end) break;
        }
        if (!haveLoudest || !haveQuietest) break;

        // The next window starts one period after the chosen point.
        const TAnalysisPoint& last = points.back();
        const bool louder = loudestEnergy > last.energy;
        const TPeriod& picked = louder ? loudest : quietest;
        const bool chosenIsLoudest = louder || quietestId == loudestId;
        TAnalysisPoint chosen;
        AnalysePeriod(picked.position, picked.period, chosen);
        p = picked.position;

        // Spacing.
        if (chosen.time - last.time < minimumSpacing_ && points.size() > 1) {
            if (chosenIsLoudest) points.back() = chosen;
        } else {
            points.push_back(chosen);
        }

        // Smoothing: drop the middle of the last three points when it is close to their mean.
        if (points.size() > 2) {
            const auto& a = points[points.size() - 3].amplitudes;
            const auto& b = points[points.size() - 2].amplitudes;
            const auto& c = points[points.size() - 1].amplitudes;
            double deviation = 0.0, mass = 0.0;
            for (std::size_t i = 1; i < TAnalysisPoint::kHarmonics; ++i) {
                const double mean = (static_cast<double>(a[i]) + c[i]) / 2.0;
                deviation += std::fabs(mean - b[i]) * weights_[i];
                mass += mean * weights_[i];
            }
            if (deviation < smoothingTolerance_ * (mass + 0.01)) points.erase(points.end() - 2);
        }
        ReportProgress(p);
        // The analysis goes on past the maximum length: the smoothing of later points can still remove
        // points before it (a window that adds nothing smooths the last three points again).
    }

    const double start = points.front().time;
    for (TAnalysisPoint& point : points)
        point.time -= start;
    while (points.size() > 1 && points.back().time > maxLength)
        points.pop_back();
    ReportProgress(n_);
    return points;
}

void THarmonicAudioAnalyzer::DetectPeriod(std::int64_t& p, double& period) {
    period = -1.0;
    const float* x = x_;
    std::int64_t i = std::max<std::int64_t>(p, 0);
    // A crossing leaves a sample that is not zero: a sound that starts from zero (after digital silence, or
    // at the first sample, which the offset removal makes 0) is measured from its first real crossing, not
    // from where it begins.
    for (; i <= n_ - 2; ++i)
        if ((x[i] > 0.0f && x[i + 1] <= 0.0f) || (x[i] < 0.0f && x[i + 1] >= 0.0f)) break;
    if (i > n_ - 2) return;
    p = i;
    const std::int64_t w = RoundEven(kWindowSeconds * rate_);
    if (w < 1 || p + 2 * w > n_ - 1) return;

    const float* window = x + p;
    float s = 0.0f;
    for (std::int64_t k = 0; k <= w; ++k)
        s += std::fabs(window[k]);

    static const AbsDifferenceKernel absDifference = ChooseAbsDifference();
    bool risen = false, dipped = false;
    std::int64_t best = 0;
    float smallest = 1e20f;
    for (std::int64_t j = 0; j <= w; ++j) {
        const float d = absDifference(window, window + j, w + 1);
        if (d > s * (1.0f + kRiseOffset)) {
            if (dipped) break;
            risen = true;
        }
        if (risen && d < s * (1.0f - kDipFactor)) dipped = true;
        if (risen && d < smallest) {
            smallest = d;
            best = j;
        }
    }
    if (best < 2) return;
    best *= periodsPerFrame_;

    // Refine to a fraction of a sample where the signal crosses x[p]'s level again near p + best.
    const float level = x[p];
    double fraction = 0.0;
    double forward = -1.0;
    for (std::int64_t k = p + best; k <= n_ - 2; ++k) {
        if (CrossesAt(x, k, level, fraction)) {
            forward = static_cast<double>(k - p) + fraction;
            break;
        }
    }
    if (forward < 0.0) return; // the recording ends before the period does
    period = forward;
    double backward = period;
    for (std::int64_t k = p + best; k >= 0; --k) {
        if (CrossesAt(x, k, level, fraction)) {
            backward = static_cast<double>(k - p) + fraction;
            break;
        }
    }
    const auto lag = static_cast<double>(best);
    if (lag - backward < forward - lag) period = backward;
}

bool THarmonicAudioAnalyzer::AnalysePeriod(std::int64_t p, double period, TAnalysisPoint& point) {
    if (period < 2.0 * periodsPerFrame_ || static_cast<double>(p) + period + 3.0 > static_cast<double>(n_))
        return false;
    int length = 2;
    while (length < period && length < kMaxTransformLength)
        length *= 2;

    // One period resampled to `length` points with 4-point Hermite interpolation.
    const float* x = x_;
    float* y = resampled_.data();
    y[0] = x[p];
    const double step = period / length;
    for (int g = 1; g < length; ++g) {
        const double t = static_cast<double>(p) + g * step;
        const auto i = static_cast<std::int64_t>(t);
        const auto u = static_cast<float>(t - static_cast<double>(i));
        const float xm1 = x[i > 0 ? i - 1 : 0], x0 = x[i], x1 = x[i + 1], x2 = x[i + 2];
        const float c1 = (x1 - xm1) * 0.5f;
        const float c3 = (x0 - x1) * 1.5f + (x2 - xm1) * 0.5f;
        const float c2 = xm1 - x0 + c1 - c3;
        y[g] = ((c3 * u + c2) * u + c1) * u + x0;
    }
    TFFTReal& fft = Transform(length);
    float* f = spectrum_.data();
    fft.ForwardTransform(y, f);
    fft.ScaleByInverseLength(f);

    const std::int64_t highest = RoundEven(period / (2.0 * periodsPerFrame_));
    const int half = length / 2;
    double energy = 0.0;
    point.amplitudes[0] = 0.0f;
    for (int i = 1; i < TAnalysisPoint::kHarmonics; ++i) {
        const int bin = i * periodsPerFrame_;
        float amplitude = 0.0f;
        if (half + bin <= length - 1 && i <= highest) {
            const float re = f[bin], im = f[half + bin];
            amplitude = std::sqrt(re * re + im * im);
        }
        point.amplitudes[static_cast<std::size_t>(i)] = amplitude;
        energy += static_cast<double>(amplitude) * amplitude;
    }
    point.time = static_cast<double>(p) / rate_;
    point.fundamental = static_cast<float>(periodsPerFrame_ * rate_ / period);
    point.energy = static_cast<float>(std::sqrt(energy));
    return true;
}

} // namespace quillon
