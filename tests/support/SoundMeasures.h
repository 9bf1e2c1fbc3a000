// Measures of rendered sound that tests assert on: level, pitch and where a sound begins.
#pragma once

#include <cstddef>
#include <span>

namespace quillon::test {

// Root mean square of the samples (0 for none); of `count` samples from `from` on (to the end by default).
double Rms(std::span<const float> samples);
double Rms(std::span<const float> samples, std::size_t from, std::size_t count = std::dynamic_extent);
// Largest magnitude among the samples.
float Peak(std::span<const float> samples);
// Frequency in Hz from the rising zero crossings of a periodic sound at `rate` Hz: whole periods between
// the first and the last crossing, interpolated between samples; 0 with fewer than two crossings.
double ZeroCrossingPitch(std::span<const float> samples, double rate);
// Index of the first sample whose magnitude exceeds `threshold`; samples.size() when none does.
std::size_t Onset(std::span<const float> samples, float threshold);
// Amplitude of one frequency (Hz) in the samples, Hann-windowed: a full-scale sine of that frequency
// measures about 1.
double Amplitude(std::span<const float> samples, double rate, double frequency);

} // namespace quillon::test
