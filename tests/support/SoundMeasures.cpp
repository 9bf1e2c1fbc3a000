#include "support/SoundMeasures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon::test {

double Rms(std::span<const float> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (const float s : samples)
        sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

double Rms(std::span<const float> samples, std::size_t from, std::size_t count) {
    from = std::min(from, samples.size());
    return Rms(samples.subspan(from, std::min(count, samples.size() - from)));
}

float Peak(std::span<const float> samples) {
    float peak = 0.0f;
    for (const float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

double ZeroCrossingPitch(std::span<const float> samples, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * rate / (last - first);
}

std::size_t Onset(std::span<const float> samples, float threshold) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > threshold) return i;
    return samples.size();
}

double Amplitude(std::span<const float> samples, double rate, double frequency) {
    const auto count = static_cast<double>(samples.size());
    double re = 0.0, im = 0.0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / count);
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
        re += window * samples[n] * std::cos(phase);
        im -= window * samples[n] * std::sin(phase);
    }
    return 4.0 * std::hypot(re, im) / count;
}

} // namespace quillon::test
