#include "FidelityMeasures.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace quillon::fidelity {

namespace {

constexpr int kMinWindow = 4096;     // samples
constexpr double kWindowPeriods = 8; // the window covers at least this many periods
constexpr double kBlockSeconds = 0.01;
constexpr double kNoteRangeDb = 40.0; // the note is where the level is within this of the peak
constexpr double kFrameRangeDb = 30.0;
constexpr double kHeldFrom = 0.25;
constexpr double kHeldTo = 0.75;
constexpr std::size_t kRefineCentres = 5;

double Decibels(double ratio) {
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : kFloorDb;
}

int WindowLength(double sampleRate, double fundamental) {
    const int periods = static_cast<int>(std::ceil(kWindowPeriods * sampleRate / fundamental));
    const int length = std::max(kMinWindow, periods);
    return length + (length % 2);
}

// The samples under a Blackman-Harris window of `length` centred on `centre`, and the window's sum.
double WindowedSamples(std::span<const float> samples, double centre, int length, std::vector<double>& out) {
    out.assign(static_cast<std::size_t>(length), 0.0);
    const auto start = static_cast<std::int64_t>(std::llround(centre)) - length / 2;
    const double step = 2.0 * std::numbers::pi / (length - 1);
    double sum = 0.0;
    for (int n = 0; n < length; ++n) {
        const double w = 0.35875 - 0.48829 * std::cos(step * n) + 0.14128 * std::cos(2.0 * step * n) -
                         0.01168 * std::cos(3.0 * step * n);
        sum += w;
        const std::int64_t index = start + n;
        if (index >= 0 && index < static_cast<std::int64_t>(samples.size()))
            out[static_cast<std::size_t>(n)] = w * samples[static_cast<std::size_t>(index)];
    }
    return sum;
}

double BlockLevel(std::span<const float> samples, std::size_t from, std::size_t count) {
    double energy = 0.0;
    for (std::size_t i = from; i < from + count && i < samples.size(); ++i)
        energy += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(energy / static_cast<double>(std::max<std::size_t>(count, 1)));
}

} // namespace

double NoteFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

double Cents(double frequency, double reference) {
    return 1200.0 * std::log2(frequency / reference);
}

TAmplitudes HarmonicAmplitudes(std::span<const float> samples, double sampleRate, double fundamental, double centre) {
    TAmplitudes amplitudes{};
    std::vector<double> windowed;
    const int length = WindowLength(sampleRate, fundamental);
    const double windowSum = WindowedSamples(samples, centre, length, windowed);
    for (int k = 1; k <= kHarmonics; ++k) {
        const double frequency = k * fundamental;
        if (frequency >= 0.5 * sampleRate) break;
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * frequency / sampleRate);
        std::complex<double> rotor = 1.0;
        std::complex<double> sum = 0.0;
        for (const double x : windowed) {
            sum += x * rotor;
            rotor *= step;
        }
        amplitudes[static_cast<std::size_t>(k - 1)] = 2.0 * std::abs(sum) / windowSum;
    }
    return amplitudes;
}

TLevels RelativeLevels(const TAmplitudes& amplitudes) {
    const double strongest = *std::max_element(amplitudes.begin(), amplitudes.end());
    TLevels levels{};
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = strongest > 0.0 ? std::max(kFloorDb, Decibels(amplitudes[k] / strongest)) : kFloorDb;
    return levels;
}

double RefineFundamental(std::span<const float> samples, double sampleRate, double nominal,
                         std::span<const double> centres, double rangeCents) {
    std::vector<double> chosen;
    const std::size_t count = std::min(centres.size(), kRefineCentres);
    for (std::size_t i = 0; i < count; ++i)
        chosen.push_back(centres[i * centres.size() / std::max<std::size_t>(count, 1)]);
    double best = nominal;
    double bestSum = -1.0;
    for (int cents = -static_cast<int>(rangeCents); cents <= static_cast<int>(rangeCents); ++cents) {
        const double candidate = nominal * std::pow(2.0, cents / 1200.0);
        double sum = 0.0;
        for (const double centre : chosen)
            for (const double a : HarmonicAmplitudes(samples, sampleRate, candidate, centre))
                sum += a;
        if (sum > bestSum) {
            bestSum = sum;
            best = candidate;
        }
    }
    return best;
}

std::vector<double> HeldFrameCentres(std::span<const float> samples, double sampleRate) {
    const auto block = static_cast<std::size_t>(std::max(1.0, std::round(kBlockSeconds * sampleRate)));
    std::vector<double> levels;
    for (std::size_t from = 0; from < samples.size(); from += block)
        levels.push_back(BlockLevel(samples, from, block));
    const double peak = levels.empty() ? 0.0 : *std::max_element(levels.begin(), levels.end());
    if (!(peak > 0.0)) return {};
    const double noteFloor = peak * std::pow(10.0, -kNoteRangeDb / 20.0);
    std::size_t first = 0;
    while (levels[first] < noteFloor)
        ++first;
    std::size_t last = levels.size() - 1;
    while (levels[last] < noteFloor)
        --last;
    const double begin = static_cast<double>(first * block);
    const double end = static_cast<double>((last + 1) * block);
    const double hop = kHopSeconds * sampleRate;
    const double frameFloor = peak * std::pow(10.0, -kFrameRangeDb / 20.0);
    std::vector<double> centres;
    for (double centre = begin + kHeldFrom * (end - begin); centre <= begin + kHeldTo * (end - begin); centre += hop) {
        const auto around = static_cast<std::size_t>(std::max(0.0, centre - 0.5 * hop));
        if (BlockLevel(samples, around, static_cast<std::size_t>(hop)) >= frameFloor) centres.push_back(centre);
    }
    return centres;
}

double ProfileError(std::span<const TLevels> recording, std::span<const TLevels> other) {
    std::vector<double> differences;
    for (std::size_t f = 0; f < recording.size() && f < other.size(); ++f)
        for (std::size_t k = 0; k < recording[f].size(); ++k)
            if (recording[f][k] > kCountedFromDb || other[f][k] > kCountedFromDb)
                differences.push_back(std::fabs(recording[f][k] - other[f][k]));
    return differences.empty() ? -1.0 : Median(std::move(differences));
}

std::array<std::optional<double>, kHarmonics> HarmonicBias(std::span<const TLevels> recording,
                                                           std::span<const TLevels> other) {
    std::array<std::optional<double>, kHarmonics> bias{};
    for (std::size_t k = 0; k < bias.size(); ++k) {
        std::vector<double> differences;
        for (std::size_t f = 0; f < recording.size() && f < other.size(); ++f)
            if (recording[f][k] > kCountedFromDb || other[f][k] > kCountedFromDb)
                differences.push_back(other[f][k] - recording[f][k]);
        if (!differences.empty()) bias[k] = Median(std::move(differences));
    }
    return bias;
}

std::vector<TLevels> LevelsAt(std::span<const float> samples, double sampleRate, double fundamental,
                              std::span<const double> centres) {
    std::vector<TLevels> levels;
    levels.reserve(centres.size());
    for (const double centre : centres)
        levels.push_back(RelativeLevels(HarmonicAmplitudes(samples, sampleRate, fundamental, centre)));
    return levels;
}

std::vector<float> Sawtooth(double sampleRate, double fundamental, std::int64_t frames) {
    TAmplitudes amplitudes{};
    for (std::size_t k = 0; k < amplitudes.size(); ++k)
        amplitudes[k] = 0.5 / static_cast<double>(k + 1);
    const double centre = 0.0;
    return Resynthesis(sampleRate, fundamental, frames, std::span(&centre, 1), std::span(&amplitudes, 1));
}

std::vector<float> Resynthesis(double sampleRate, double fundamental, std::int64_t frames,
                               std::span<const double> centres, std::span<const TAmplitudes> amplitudes) {
    std::vector<float> out(static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)), 0.0f);
    if (centres.empty() || amplitudes.size() != centres.size()) return out;
    std::size_t segment = 0;
    for (std::size_t n = 0; n < out.size(); ++n) {
        const auto t = static_cast<double>(n);
        while (segment + 1 < centres.size() && centres[segment + 1] <= t)
            ++segment;
        const std::size_t next = std::min(segment + 1, centres.size() - 1);
        double blend = 0.0;
        if (next != segment && t > centres[segment])
            blend = (t - centres[segment]) / (centres[next] - centres[segment]);
        double sample = 0.0;
        for (int k = 1; k <= kHarmonics && k * fundamental < 0.5 * sampleRate; ++k) {
            const auto h = static_cast<std::size_t>(k - 1);
            const double a = (1.0 - blend) * amplitudes[segment][h] + blend * amplitudes[next][h];
            sample += a * std::sin(2.0 * std::numbers::pi * k * fundamental * t / sampleRate);
        }
        out[n] = static_cast<float>(sample);
    }
    return out;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return 0.5 * (lower + upper);
}

} // namespace quillon::fidelity
