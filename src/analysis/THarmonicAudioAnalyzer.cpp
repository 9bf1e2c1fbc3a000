#include "analysis/THarmonicAudioAnalyzer.h"

#include "engine/Simd.h"
#include "engine/TFFTReal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

namespace quillon {

namespace {

constexpr double kPi = 3.141592653589793;

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

// True when the signal crosses or touches `level` between x[i] and x[i + 1] in the direction `rising`
// (a flat stretch at the level counts either way).
bool CrossesAt(const float* x, std::int64_t i, float level, bool rising) {
    const float a = x[i], b = x[i + 1];
    if (a == b) return a == level;
    return rising ? (a <= level && level <= b) : (a >= level && level >= b);
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

// True when `middle` lies more than a quarter tone from both `before` and `after` while those two lie
// within a quarter tone of each other (0 for a neighbour not measured: nothing is then a stray).
bool IsStray(float before, float middle, float after) {
    constexpr float kQuarterTone = 1.0293022f; // 2^(1/24)
    auto apart = [](float a, float b) { return a > b * kQuarterTone || b > a * kQuarterTone; };
    if (!(before > 0.0f && after > 0.0f)) return false;
    return !apart(before, after) && apart(middle, before) && apart(middle, after);
}

// A measured period: where it starts and how long it is, in samples.
struct TPeriod {
    std::int64_t position = 0;
    double period = 0.0;
};

} // namespace

THarmonicAudioAnalyzer::THarmonicAudioAnalyzer()
    : resampled_(kMaxTransformLength), spectrum_(kMaxTransformLength),
      kernel_(static_cast<std::size_t>(2 * kKernelHalfWidth * (kKernelSteps + 1))) {
    for (int i = 0; i < TAnalysisPoint::kHarmonics; ++i)
        weights_[static_cast<std::size_t>(i)] = std::sqrt(static_cast<float>(i));
    // Kaiser-windowed sinc (β = 7, about 70 dB of image rejection), cut off at the recording's Nyquist
    // frequency, tabulated for kKernelSteps + 1 fractions of a sample.
    constexpr double kBeta = 7.0;
    auto besselI0 = [](double v) {
        double sum = 1.0, term = 1.0;
        for (int k = 1; k < 40; ++k) {
            term *= (v / (2.0 * k)) * (v / (2.0 * k));
            sum += term;
        }
        return sum;
    };
    const double norm = besselI0(kBeta);
    constexpr int kTaps = 2 * kKernelHalfWidth;
    for (int row = 0; row <= kKernelSteps; ++row) {
        const double u = static_cast<double>(row) / kKernelSteps;
        for (int m = 0; m < kTaps; ++m) {
            // Tap m is the sample at m − (halfwidth − 1) from the one before the point.
            const double t = static_cast<double>(m - (kKernelHalfWidth - 1)) - u;
            const double r = t / kKernelHalfWidth;
            if (std::fabs(r) >= 1.0) continue;
            const double sinc = t == 0.0 ? 1.0 : std::sin(kPi * t) / (kPi * t);
            kernel_[static_cast<std::size_t>(row) * kTaps + static_cast<std::size_t>(m)] =
                static_cast<float>(sinc * besselI0(kBeta * std::sqrt(1.0 - r * r)) / norm);
        }
    }
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

    // The first period: the one most periods of the note's first moments agree with. The very first
    // period after the onset is often not yet the note's (a breath, a click, a bow that has not caught
    // the string), and every later period is judged against it.
    double period = -1.0;
    TAnalysisPoint candidate;
    if (!ConfirmedFirstPeriod(p, period, candidate)) return points;
    MeasureLevels(p, period, candidate);
    points.push_back(candidate);

    const double maxLength = kMaxLength;
    // Each window's walk starts again one period after the point chosen in the last one, so a walk often
    // goes over periods the last walk measured (all of them in a steady sound, where the chosen point may
    // lie near the window's start). What a step finds depends only on where it starts, so the steps are
    // remembered by their start; the amplitudes of the chosen period are measured again, which gives the
    // same values.
    std::map<std::int64_t, TStep> steps;
    std::vector<TStep> walk;
    TPeriod loudest, quietest;
    while (static_cast<int>(points.size()) < kMaxPoints) {
        if (StopRequested()) return {};
        const std::int64_t end = std::min(RoundEven(searchWindow_ * rate_) + p, n_ - 1);
        steps.erase(steps.begin(), steps.lower_bound(p)); // no walk starts before p again
        bool haveLoudest = false, haveQuietest = false;
        float loudestEnergy = 0.0f, quietestEnergy = 1e20f;
        int loudestId = -1, quietestId = -1; // which candidate of this window each one is
        // The walk through the window, and one period past it: whether a period is out of line with both
        // its neighbours needs the one after it.
        auto walkStep = [&](std::int64_t from) -> const TStep& {
            const std::int64_t start = RoundEven(period / periodsPerFrame_ + static_cast<double>(from));
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
            return found->second;
        };
        walk.clear();
        while (period >= 1.0) {
            const TStep& step = walkStep(p);
            walk.push_back(step);
            p = step.position;
            period = step.period;
            if (p >= end) break;
        }
        // Where no period can be measured any more (the note has faded into noise) the analysis ends.
        const TStep after = period >= 1.0 ? walkStep(p) : TStep{p, -1.0, false, 0.0f, 0.0f};
        const float lastFundamental = points.back().fundamental;
        for (std::size_t id = 0; id < walk.size(); ++id) {
            const TStep& step = walk[id];
            if (!step.measured) continue;
            const bool pitchJump = lastFundamental / step.fundamental > kMaxPitchRatio ||
                                   step.fundamental / lastFundamental > kMaxPitchRatio;
            if (pitchJump) continue;
            const float before = id > 0 ? (walk[id - 1].measured ? walk[id - 1].fundamental : 0.0f) : lastFundamental;
            const TStep& next = id + 1 < walk.size() ? walk[id + 1] : after;
            if (IsStray(before, step.fundamental, next.measured ? next.fundamental : 0.0f)) continue;
            if (step.energy > loudestEnergy) {
                loudest = {step.position, step.period};
                loudestEnergy = step.energy;
                loudestId = static_cast<int>(id);
                haveLoudest = true;
            }
            if (step.energy < quietestEnergy) {
                quietest = {step.position, step.period};
                quietestEnergy = step.energy;
                quietestId = static_cast<int>(id);
                haveQuietest = true;
            }
        }
        if (!haveLoudest || !haveQuietest) break;

        // The next window starts one period after the chosen point.
        const TAnalysisPoint& last = points.back();
        const bool louder = loudestEnergy > last.energy;
        const TPeriod& picked = louder ? loudest : quietest;
        const bool chosenIsLoudest = louder || quietestId == loudestId;
        TAnalysisPoint chosen;
        AnalysePeriod(picked.position, picked.period, chosen);
        MeasureLevels(picked.position, picked.period, chosen);
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
        // A lone point out of tune with the two around it, which agree, is a period measured wrong.
        if (points.size() > 2 && IsStray(points[points.size() - 3].fundamental, points[points.size() - 2].fundamental,
                                         points.back().fundamental))
            points.erase(points.end() - 2);
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

bool THarmonicAudioAnalyzer::ConfirmedFirstPeriod(std::int64_t& p, double& period, TAnalysisPoint& point) {
    // Periods measured every 10 ms over the 0.4 s after the onset (fewer when the recording is short).
    struct TProbe {
        std::int64_t position;
        double period;
        float fundamental;
    };
    std::vector<TProbe> probes;
    const auto spacing = std::max<std::int64_t>(1, RoundEven(kProbeSpacing * rate_));
    const std::int64_t onset = p;
    for (int k = 0; k < kProbes; ++k) {
        if (StopRequested()) return false;
        std::int64_t at = onset + k * spacing;
        double measured = -1.0;
        DetectPeriod(at, measured);
        if (measured < 1.0) {
            if (at + 2 * RoundEven(kWindowSeconds * rate_) > n_ - 1) break; // no room for more
            continue;
        }
        if (!AnalysePeriod(at, measured, point)) continue;
        probes.push_back({at, measured, point.fundamental});
    }
    if (probes.empty()) return false;
    // The fundamental most probes agree with (within a quarter tone); its first probe starts the analysis.
    std::size_t best = 0;
    int bestVotes = 0;
    auto agree = [](float a, float b) { return !(a > b * 1.0293022f || b > a * 1.0293022f); };
    for (std::size_t i = 0; i < probes.size(); ++i) {
        int votes = 0;
        for (const TProbe& other : probes)
            votes += agree(probes[i].fundamental, other.fundamental) ? 1 : 0;
        if (votes > bestVotes) {
            bestVotes = votes;
            best = i;
        }
    }
    for (const TProbe& probe : probes) {
        if (agree(probe.fundamental, probes[best].fundamental)) {
            p = probe.position;
            period = probe.period;
            return AnalysePeriod(p, period, point);
        }
    }
    return false;
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
    // The lag an octave away that the partials point to is taken only where the waveform repeats there
    // too: twice the lag where it repeats better than at the lag (a breath or a click under the first
    // periods fills the bins between the harmonics as a lower rank would, without repeating every second
    // period), half the lag where it differs less than on average.
    const std::int64_t octave = OctaveChecked(p, best);
    auto difference = [&](std::int64_t lag) {
        float least = 1e20f;
        for (std::int64_t j = std::max<std::int64_t>(1, lag - 2); j <= lag + 2 && p + j + w + 1 <= n_; ++j)
            least = std::min(least, absDifference(window, window + j, w + 1));
        return least;
    };
    if ((octave > best && difference(octave) < smallest) || (octave < best && difference(octave) < s)) best = octave;
    best *= periodsPerFrame_;

    // Refine to a fraction of a sample where the signal crosses x[p]'s level again, in the same direction
    // as at p, near p + best. A crossing the other way lies anywhere in a bright sound's period, and a
    // period that is off by a fraction of a sample spreads every strong harmonic over its neighbours.
    const float level = x[p];
    const bool rising = x[p + 1] >= x[p];
    double forward = -1.0;
    for (std::int64_t k = p + best; k <= n_ - 2; ++k) {
        if (CrossesAt(x, k, level, rising)) {
            forward = static_cast<double>(k - p) + CrossingFraction(k, level);
            break;
        }
    }
    if (forward < 0.0) return; // the recording ends before the period does
    period = forward;
    double backward = period;
    for (std::int64_t k = p + best; k >= 0; --k) {
        if (CrossesAt(x, k, level, rising)) {
            backward = static_cast<double>(k - p) + CrossingFraction(k, level);
            break;
        }
    }
    const auto lag = static_cast<double>(best);
    if (lag - backward < forward - lag) period = backward;
}

std::int64_t THarmonicAudioAnalyzer::OctaveChecked(std::int64_t p, std::int64_t lag) {
    // Four lags resampled to a power-of-two length under a Hann window: harmonic k of twice the lag falls
    // on bin 2k, where the window leaves no trace of the others, and a partial a little off the series (a
    // piano's) leaks only into the bins beside it. The odd harmonics of twice the lag hold what repeats only
    // every second lag (a partial below the lag's fundamental, or between its harmonics), harmonics 2, 6,
    // 10 … the odd harmonics of the lag, the rest what repeats every half lag. Half the lag is proposed only
    // where all the first two kinds lie below kOctavePower, not only the lag's odd harmonics: a lag that is
    // no period at all (a release fading into noise) has its strongest partials between its harmonics.
    const double span = 4.0 * static_cast<double>(lag);
    if (static_cast<double>(p) + span + kKernelHalfWidth > static_cast<double>(n_)) return lag;
    int length = 8;
    while (length < span && length < kMaxTransformLength)
        length *= 2;
    // Linear interpolation and the window's cosine by rotation: the images the interpolation leaves lie
    // far below the levels compared here, and the band-limited interpolator would cost more than the
    // rest of the period detection together.
    float* y = resampled_.data();
    const double step = span / length;
    const double turnCos = std::cos(2.0 * kPi / length), turnSin = std::sin(2.0 * kPi / length);
    double c = 1.0, sn = 0.0;
    for (int g = 0; g < length; ++g) {
        const double t = static_cast<double>(p) + g * step;
        const auto i = static_cast<std::int64_t>(t);
        const double u = t - static_cast<double>(i);
        const double v = x_[i] + u * (x_[i + 1] - x_[i]);
        y[g] = static_cast<float>((0.5 - 0.5 * c) * v);
        const double next = c * turnCos - sn * turnSin;
        sn = sn * turnCos + c * turnSin;
        c = next;
    }
    TFFTReal& fft = Transform(length);
    float* f = spectrum_.data();
    fft.ForwardTransform(y, f);
    const int half = length / 2;
    const std::int64_t highest = std::min<std::int64_t>(lag, half / 2 - 1); // below the recording's Nyquist
    float strongest = 0.0f, sub = 0.0f, offHalf = 0.0f;
    for (std::int64_t k = 1; k <= highest; ++k) {
        const float here = f[2 * k] * f[2 * k] + f[half + 2 * k] * f[half + 2 * k];
        strongest = std::max(strongest, here);
        // A rank an octave below shows in its lowest two partials (k = 1, 3); higher up, a choir's partials
        // spread over half a harmonic (voices a little apart, vibrato) and a piano's drift off the series
        // (they are stretched), so that they fall between the harmonics and would pass for such a rank.
        if (k % 2 == 1 && k <= 3) sub = std::max(sub, here);
        if (k % 4 != 0 && k <= kOctaveHarmonics) offHalf = std::max(offHalf, here);
    }
    if (!(strongest > 0.0f)) return lag;
    if (sub >= kOctavePower * strongest && 2 * lag <= RoundEven(kWindowSeconds * rate_)) return 2 * lag;
    if (offHalf < kOctavePower * strongest && lag >= 4) return lag / 2;
    return lag;
}

float THarmonicAudioAnalyzer::Interpolate(double t) const {
    constexpr int kTaps = 2 * kKernelHalfWidth;
    const float* x = x_;
    const std::int64_t last = n_ - 1;
    const auto i = static_cast<std::int64_t>(std::floor(t));
    // Row j of the table holds the taps for the fraction j / kKernelSteps; between two rows the weights
    // are interpolated linearly.
    const double phase = (t - static_cast<double>(i)) * kKernelSteps;
    const auto row = std::min(static_cast<int>(phase), kKernelSteps - 1);
    const auto w = static_cast<float>(phase - row);
    const float* k0 = kernel_.data() + static_cast<std::size_t>(row) * kTaps;
    const float* k1 = k0 + kTaps;
    const std::int64_t first = i - kKernelHalfWidth + 1;
    float sum = 0.0f;
    if (first >= 0 && first + kTaps - 1 <= last) {
        const float* xi = x + first;
        for (int m = 0; m < kTaps; ++m)
            sum += xi[m] * (k0[m] + w * (k1[m] - k0[m]));
    } else {
        for (int m = 0; m < kTaps; ++m)
            sum += x[std::clamp<std::int64_t>(first + m, 0, last)] * (k0[m] + w * (k1[m] - k0[m]));
    }
    return sum;
}

double THarmonicAudioAnalyzer::CrossingFraction(std::int64_t i, float level) const {
    const float a = x_[i] - level, b = x_[i + 1] - level;
    if (std::fabs(a - b) < 1e-20f) return 0.5;
    // Regula falsi (Illinois) on the band-limited signal between the two samples.
    double lo = 0.0, hi = 1.0, fLo = a, fHi = b;
    double u = static_cast<double>(a) / static_cast<double>(a - b);
    int side = 0;
    for (int iteration = 0; iteration < 8 && fLo != fHi; ++iteration) {
        u = (lo * fHi - hi * fLo) / (fHi - fLo);
        const double f = Interpolate(static_cast<double>(i) + u) - level;
        if (f == 0.0) break;
        if ((f < 0.0) == (fLo < 0.0)) {
            lo = u;
            fLo = f;
            if (side == -1) fHi /= 2.0;
            side = -1;
        } else {
            hi = u;
            fHi = f;
            if (side == 1) fLo /= 2.0;
            side = 1;
        }
    }
    return std::clamp(u, 0.0, 1.0);
}

bool THarmonicAudioAnalyzer::AnalysePeriod(std::int64_t p, double period, TAnalysisPoint& point) {
    if (period < 2.0 * periodsPerFrame_ || static_cast<double>(p) + period + 3.0 > static_cast<double>(n_))
        return false;
    int length = 2;
    while (length < period && length < kMaxTransformLength)
        length *= 2;

    // One period resampled to `length` points with band-limited interpolation: a short polynomial
    // interpolator lets every strong harmonic leave images at frequencies that are not harmonics of the
    // period, and they end up in the bins of the weak harmonics.
    const float* x = x_;
    float* y = resampled_.data();
    y[0] = x[p];
    const double step = period / length;
    for (int g = 1; g < length; ++g)
        y[g] = Interpolate(static_cast<double>(p) + g * step);
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

void THarmonicAudioAnalyzer::MeasureLevels(std::int64_t p, double period, TAnalysisPoint& point) {
    int length = 2;
    while (length < period && length < kMaxTransformLength)
        length *= 2;
    int spans = kLevelPeriods;
    while (spans > 1 && (static_cast<double>(p) + spans * period + 3.0 > static_cast<double>(n_) ||
                         spans * length > kMaxTransformLength))
        --spans;
    if (spans < 2) return; // the single period's amplitudes stay

    // `spans` periods resampled to `spans` × `length` points under a Hann window. A harmonic of the
    // period falls on every spans-th bin, where the window's spectrum leaves no trace of the others, and
    // whatever in the span is not periodic (a level that swells, a partial off the harmonic series) leaks
    // into the neighbouring bins only as far as the window lets it, instead of over the whole spectrum.
    const int total = spans * length;
    float* f = spectrum_.data();
    const int half = total / 2;
    auto amplitudeAt = [&](int bin) { return 2.0f * std::sqrt(f[bin] * f[bin] + f[half + bin] * f[half + bin]); };
    // The spectrum of `spans` periods of `candidate` samples; returns the sum of the first eight
    // harmonics' amplitudes, or −1 where that span does not fit.
    auto measure = [&](double candidate) {
        if (candidate > length || static_cast<double>(p) + spans * candidate + 3.0 > static_cast<double>(n_))
            return -1.0;
        const double step = candidate / length;
        float* y = resampled_.data();
        for (int g = 0; g < total; ++g) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * g / total);
            y[g] = static_cast<float>(window * Interpolate(static_cast<double>(p) + g * step));
        }
        TFFTReal& fft = Transform(total);
        fft.ForwardTransform(y, f);
        fft.ScaleByInverseLength(f);
        double sum = 0.0;
        for (int i = 1; i <= 8 && i * periodsPerFrame_ * spans < half; ++i)
            sum += amplitudeAt(i * periodsPerFrame_ * spans);
        return sum;
    };
    // One period of voices that beat or of a wavering pitch may lie a quarter tone or more from the pitch
    // of the periods around it: the span is measured with the period, within 60 cents of the one measured,
    // whose first eight harmonics stand out most.
    constexpr std::array<double, 5> kCents = {-60.0, -30.0, 0.0, 30.0, 60.0};
    std::array<double, 5> scores{};
    std::size_t bestIndex = 2;
    for (std::size_t c = 0; c < kCents.size(); ++c) {
        scores[c] = measure(period * std::exp2(-kCents[c] / 1200.0));
        if (scores[c] > scores[bestIndex]) bestIndex = c;
    }
    double cents = kCents[bestIndex];
    // The measured period stays where none 30 or 60 cents away does better: the crossing refines it more
    // closely than a parabola through the candidates would.
    if (bestIndex != 2 && bestIndex > 0 && bestIndex + 1 < kCents.size() && scores[bestIndex - 1] >= 0.0 &&
        scores[bestIndex + 1] >= 0.0) {
        const double curve = scores[bestIndex - 1] - 2.0 * scores[bestIndex] + scores[bestIndex + 1];
        if (curve < 0.0)
            cents += 30.0 * std::clamp(0.5 * (scores[bestIndex - 1] - scores[bestIndex + 1]) / curve, -0.5, 0.5);
    }
    const double tuned = period * std::exp2(-cents / 1200.0);
    if (bestIndex != 2 && measure(tuned) >= 0.0) {
        period = tuned;
        point.fundamental = static_cast<float>(periodsPerFrame_ * rate_ / period);
    } else {
        measure(period);
    }

    const std::int64_t highest = RoundEven(period / (2.0 * periodsPerFrame_));
    for (int i = 1; i < TAnalysisPoint::kHarmonics; ++i) {
        const int bin = i * periodsPerFrame_ * spans;
        float amplitude = 0.0f;
        if (half + bin <= total - 1 && i <= highest)
            amplitude = amplitudeAt(bin); // twice the bin's: the window halves a harmonic's amplitude
        point.amplitudes[static_cast<std::size_t>(i)] = amplitude;
    }
}

} // namespace quillon
