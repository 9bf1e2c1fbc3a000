#include "engine/TLowFrequencyOscillator.h"
#include "engine/SampleRateRange.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr std::uint32_t kFractionBits = 20;
constexpr std::uint32_t kFractionMask = (1u << kFractionBits) - 1u;
constexpr double kFractionScale = 9.53674e-7; // the stored constant, slightly below 2^-20
constexpr double kTwoPi = 6.283185308;        // the stored constant, not 2π to full precision
constexpr int kMaximumRatioCount = 91;        // 30 octaves of note lengths; keeps the fractions in int range
constexpr std::size_t kMaximumLabelLength = 10;

// A phase value in 0 .. 2^32 − 1 for v taken modulo 2^32; false when v is not finite.
bool WrapPhase(double v, std::uint32_t& phase) {
    if (!std::isfinite(v)) return false;
    v = std::fmod(v, kTwoTo32);
    if (v < 0.0) v += kTwoTo32;
    phase = static_cast<std::uint32_t>(static_cast<std::uint64_t>(v));
    return true;
}

// Phase increment per sample for a rate in Hz: round(rate·2^32/fs) modulo 2^32; 0 when undefined.
std::uint32_t IncrementFor(float rate, float sampleRate) {
    std::uint32_t increment = 0;
    if (!WrapPhase(std::nearbyint(static_cast<double>(rate) * kTwoTo32 / sampleRate), increment)) return 0;
    return increment;
}

std::string FractionText(int numerator, int denominator) {
    return std::to_string(numerator) + " / " + std::to_string(denominator);
}

// Per-instance seeds, so that two oscillators with random steps do not move in lockstep.
std::uint32_t NextSeed() {
    static std::atomic<std::uint32_t> counter{0};
    std::uint32_t s = (counter.fetch_add(1, std::memory_order_relaxed) + 1u) * 0x9E3779B9u;
    s ^= s >> 16;
    s *= 0x85EBCA6Bu;
    s ^= s >> 13;
    s *= 0xC2B2AE35u;
    s ^= s >> 16;
    return s != 0 ? s : 0x6D2B79F5u; // xorshift must not start at 0
}

} // namespace

TLowFrequencyOscillator::TLowFrequencyOscillator(float maximumRate, float minimumRate, float sampleRate)
    : sampleRate_(sampleRate), minimumRate_(minimumRate), maximumRate_(maximumRate), randomState_(NextSeed()) {}

void TLowFrequencyOscillator::BuildTempoRatios(int numerator, int denominator, int finestDenominator,
                                               int finestNumerator) {
    // ratio count := round(log2(coarsest / finest))·3 + 1: one plain, one dotted and one triplet length per octave.
    int count = 1;
    if (denominator > 0 && finestDenominator > 0 && numerator > 0 && finestNumerator > 0) {
        const double span =
            (static_cast<double>(numerator) / denominator) / (static_cast<double>(finestNumerator) / finestDenominator);
        const double octaves = std::nearbyint(std::log(span) / std::log(2.0));
        count = static_cast<int>(std::clamp(octaves * 3.0 + 1.0, 1.0, static_cast<double>(kMaximumRatioCount)));
    }

    ratios_.clear();
    labels_.clear();
    ratios_.reserve(static_cast<std::size_t>(count));
    labels_.reserve(static_cast<std::size_t>(count));

    int n = std::max(numerator, 1);
    int d = std::max(denominator, 1);
    const auto halve = [&] {
        if (n < 2)
            d *= 2;
        else
            n /= 2;
    };
    const auto twice = [&] {
        if (d < 2)
            n *= 2;
        else
            d /= 2;
    };
    const auto add = [&](double bars, const char* suffix) {
        ratios_.push_back(bars);
        labels_.push_back(
            std::string(FractionText(n, d) + suffix).substr(0, kMaximumLabelLength)); // at most 10 characters
        return static_cast<int>(ratios_.size()) < count;
    };
    const auto plain = [&] { return static_cast<double>(n) / static_cast<double>(d); };

    if (add(plain(), "")) {
        for (;;) {
            halve();
            if (!add(plain() * 1.5, " D")) // dotted: half the length, times 1.5
                break;
            twice();
            if (!add(plain() / 1.5, " T")) // triplet: the previous length, two thirds of it
                break;
            halve();
            if (!add(plain(), "")) break;
        }
    }
    UpdateRateA();
    UpdateRateB();
}

void TLowFrequencyOscillator::SetSampleRate(float sampleRate) {
    if (!UsableSampleRate(sampleRate)) return; // keep running at the previous rate
    sampleRate_ = sampleRate;
    UpdateRateA();
    UpdateRateB();
}

void TLowFrequencyOscillator::SetTempo(double bpm) {
    tempo_ = bpm;
    if (tempoSync_) {
        UpdateRateA();
        UpdateRateB();
    }
}

void TLowFrequencyOscillator::SetTempoSync(bool on) {
    tempoSync_ = on;
    UpdateRateA();
    UpdateRateB();
}

void TLowFrequencyOscillator::SetSampleAndHold(bool on) {
    sampleAndHold_ = on;
}

void TLowFrequencyOscillator::SetRateA(float knob) {
    knobA_ = knob;
    UpdateRateA();
}

void TLowFrequencyOscillator::SetRateB(float knob) {
    knobB_ = knob;
    UpdateRateB();
}

void TLowFrequencyOscillator::SetWaveform(int waveform) {
    // The parameter reaches 1 … 32; the waveforms beyond the tenth do not exist, so the value is held in range.
    waveform = std::clamp(waveform, 1, kWaveformCount);
    if (waveform == waveform_) return; // keeps the table, and with it the steps of the random waveform
    randomMode_ = false;
    waveform_ = waveform;
    BuildTable(waveform);
}

void TLowFrequencyOscillator::NextWaveform() {
    SetWaveform(waveform_ >= kWaveformCount ? 1 : waveform_ + 1);
}

void TLowFrequencyOscillator::SyncToHost(double samplePosition) {
    if (!tempoSync_) return;
    // The phase the accumulator would have reached at this position; applied only when the position moved,
    // so a host that stands still leaves the free-running phases alone.
    std::uint32_t a = 0;
    if (WrapPhase(std::nearbyint(static_cast<double>(rateA_) * kTwoTo32 * samplePosition / sampleRate_), a)) {
        if (a != static_cast<std::uint32_t>(lastSyncPhaseA_)) phaseA_ = a;
        lastSyncPhaseA_ = static_cast<std::int32_t>(a);
    }
    std::uint32_t b = 0;
    if (WrapPhase(std::nearbyint(static_cast<double>(rateB_) * kTwoTo32 * samplePosition / sampleRate_), b)) {
        if (b != static_cast<std::uint32_t>(lastSyncPhaseB_)) phaseB_ = b;
        lastSyncPhaseB_ = static_cast<std::int32_t>(b);
    }
}

float TLowFrequencyOscillator::NextValue(int n) {
    // Phases advance modulo 2^32; a new phase not greater than the old one means the accumulator wrapped.
    const std::uint32_t steps = static_cast<std::uint32_t>(n);
    if (randomMode_) {
        const std::uint32_t old = phaseA_;
        phaseA_ += steps * incrementA_;
        if (phaseA_ <= old) output_ = NextRandom();
    } else {
        phaseA_ += steps * incrementA_;
        output_ = Interpolate();
    }
    if (sampleAndHold_) {
        const std::uint32_t old = phaseB_;
        phaseB_ += steps * incrementB_;
        if (phaseB_ <= old) heldOutput_ = output_;
        return heldOutput_;
    }
    return output_;
}

float TLowFrequencyOscillator::Advance(int n) {
    phaseA_ += static_cast<std::uint32_t>(n) * incrementA_;
    return Interpolate();
}

float TLowFrequencyOscillator::TableValue(float x) const {
    const double index = std::nearbyint(static_cast<double>(x) * kTableSize);
    if (!(index >= 0.0 && index < kTableSize)) // also NaN
        return table_[0].load(std::memory_order_relaxed);
    return table_[static_cast<std::size_t>(index)].load(std::memory_order_relaxed);
}

std::string TLowFrequencyOscillator::RateLabel(float knob) const {
    if (labels_.empty()) return {};
    const double last = static_cast<double>(labels_.size() - 1);
    double index = std::nearbyint(static_cast<double>(knob) * last);
    if (!(index >= 0.0)) // negative or NaN
        index = 0.0;
    return labels_[static_cast<std::size_t>(std::min(index, last))];
}

float TLowFrequencyOscillator::RateFromKnob(float knob) const {
    if (tempoSync_ && !ratios_.empty()) {
        // tempo/240 is bars per second at four beats to the bar; the knob picks a note length in bars.
        const double last = static_cast<double>(ratios_.size() - 1);
        double index = std::nearbyint(static_cast<double>(knob) * last);
        if (!(index >= 0.0)) index = 0.0;
        return static_cast<float>(tempo_ / 240.0 / ratios_[static_cast<std::size_t>(std::min(index, last))]);
    }
    return static_cast<float>(static_cast<double>(minimumRate_) *
                              std::pow(static_cast<double>(maximumRate_) / minimumRate_, static_cast<double>(knob)));
}

void TLowFrequencyOscillator::UpdateRateA() {
    rateA_ = RateFromKnob(knobA_);
    incrementA_ = IncrementFor(rateA_, sampleRate_);
}

void TLowFrequencyOscillator::UpdateRateB() {
    rateB_ = RateFromKnob(knobB_);
    incrementB_ = IncrementFor(rateB_, sampleRate_);
}

float TLowFrequencyOscillator::NextRandom() {
    // xorshift32; the top 24 bits scaled to [0, 2) and shifted down give an exact float in [-1, 1).
    std::uint32_t x = randomState_;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    randomState_ = x;
    return static_cast<float>(x >> 8) * (1.0f / 8388608.0f) - 1.0f;
}

float TLowFrequencyOscillator::Interpolate() const {
    const std::uint32_t k = phaseA_ >> kFractionBits;
    const std::uint32_t f = phaseA_ & kFractionMask;
    const double a = table_[k].load(std::memory_order_relaxed);
    const double b = table_[(k + 1) & (kTableSize - 1)].load(std::memory_order_relaxed);
    return static_cast<float>((static_cast<double>((1u << kFractionBits) - f) * a + static_cast<double>(f) * b) *
                              kFractionScale);
}

void TLowFrequencyOscillator::BuildTable(int waveform) {
    const auto set = [this](int i, double v) {
        table_[static_cast<std::size_t>(i)].store(static_cast<float>(v), std::memory_order_relaxed);
    };
    switch (waveform) {
    case 1: // sine
        for (int i = 0; i < kTableSize; ++i)
            set(i, std::sin(i * kTwoPi / kTableSize));
        break;
    case 2: // triangle, starting at 0 and rising
        for (int i = 0; i < kTableSize; ++i)
            set(i, i < 1024 ? i / 1024.0 : (i < 3072 ? (2048 - i) / 1024.0 : (i - 4096) / 1024.0));
        break;
    case 3: // square with zero crossings at 0 and at the half cycle
        for (int i = 0; i < kTableSize; ++i)
            set(i, (i == 0 || i == 2048) ? 0.0 : (i < 2048 ? 1.0 : -1.0));
        break;
    case 4: // saw up
    case 5: // saw down
    {
        const double sign = waveform == 4 ? 1.0 : -1.0;
        set(0, 0.0);
        for (int i = 1; i < kTableSize; ++i)
            set(i, sign * (i - 2047.5) / 2047.5);
        break;
    }
    case 6:
    case 7:
    case 8:
    case 9: {
        // Curved triangle of curvature c = 1 … 4: rises from −1 to +1 over the first half, falls back over the second.
        const double c = waveform - 5;
        const double a = c / 2048.0;
        const double b = 1.0 / (1.0 - std::exp(-c));
        for (int i = 0; i < kTableSize; ++i) {
            if (i < 2048)
                set(i, 2.0 * b * (1.0 - std::exp(-a * i)) - 1.0);
            else
                set(i, 1.0 - 2.0 * b * (1.0 - std::exp(-a * (i - 2048))));
        }
        break;
    }
    case 10: // random steps: eight runs of 512 equal entries
        for (int run = 0; run < 8; ++run) {
            const float v = NextRandom();
            for (int i = 0; i < 512; ++i)
                set(run * 512 + i, v);
        }
        randomMode_ = true;
        break;
    default: // no waveform yet: silence
        for (int i = 0; i < kTableSize; ++i)
            set(i, 0.0);
        break;
    }
}

} // namespace quillon
