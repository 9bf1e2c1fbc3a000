// The measurements of `quillon fidelity`: the levels of harmonics 1..20 of a known fundamental in short
// windows of a held note, their comparison between a recording and a rendering, and the two reference
// signals a comparison is judged against (a plain sawtooth and an additive resynthesis of the recording).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillon::fidelity {

inline constexpr int kHarmonics = 20;              // harmonics 1..20 are compared
inline constexpr double kHopSeconds = 0.05;        // one comparison frame every 50 ms
inline constexpr double kCountedFromDb = -50.0;    // harmonics below this in both sounds are not compared
inline constexpr double kFloorDb = -100.0;         // the lowest level a harmonic is given
inline constexpr double kPitchToleranceCents = 50; // a frame further off than this has the wrong pitch

// Linear amplitudes of harmonics 1..20 (element 0: the fundamental); a full-scale sine has amplitude 1.
using TAmplitudes = std::array<double, kHarmonics>;
// Levels in dB relative to the strongest harmonic of the same window, at least kFloorDb.
using TLevels = std::array<double, kHarmonics>;

// The frequency of MIDI note `note` in equal temperament with A4 (note 69) at 440 Hz.
double NoteFrequency(int note);
// How far `frequency` lies from `reference`, in cents (positive: higher).
double Cents(double frequency, double reference);

// The amplitudes of the harmonics of `fundamental` (Hz) in a window centred on sample `centre`. The window
// is a four-term Blackman-Harris window at least 4096 samples and eight periods long, so that a harmonic
// 90 dB below its neighbour is still measured; the signal counts as zero outside `samples`.
TAmplitudes HarmonicAmplitudes(std::span<const float> samples, double sampleRate, double fundamental, double centre);

// `amplitudes` in dB relative to the largest of them; all kFloorDb when every one is zero.
TLevels RelativeLevels(const TAmplitudes& amplitudes);

// The fundamental within ±`rangeCents` of `nominal` (in 1-cent steps) whose harmonics 1..20 are strongest,
// summed over the windows centred on `centres`. Corrects a recording that is slightly out of tune.
double RefineFundamental(std::span<const float> samples, double sampleRate, double nominal,
                         std::span<const double> centres, double rangeCents = 50.0);

// The held part of a note, as the sample centres of its comparison frames: the note is where its level
// (RMS over 10 ms) is within 40 dB of its peak, from its first to its last such block; the held part is
// its middle half (25 % to 75 %), one frame every 50 ms, leaving out frames more than 30 dB below the peak.
// Empty for a silent signal.
std::vector<double> HeldFrameCentres(std::span<const float> samples, double sampleRate);

// The error of `other` against `recording`: for every frame and every harmonic that lies above
// kCountedFromDb in the recording or in `other` (so that a harmonic made too loud counts as well as one
// lost), |level difference| in dB; the median of all of them. Both sequences
// hold the same frames. Returns a negative number when nothing could be compared.
double ProfileError(std::span<const TLevels> recording, std::span<const TLevels> other);

// Per harmonic, the median of `other` − `recording` in dB over the frames where that harmonic counts (as
// in ProfileError); nothing for a harmonic that never counts. Positive: `other` plays it too loud.
std::array<std::optional<double>, kHarmonics> HarmonicBias(std::span<const TLevels> recording,
                                                           std::span<const TLevels> other);

// Relative levels of the harmonics of `fundamental` at every centre.
std::vector<TLevels> LevelsAt(std::span<const float> samples, double sampleRate, double fundamental,
                              std::span<const double> centres);

// A band-limited sawtooth (harmonic k at amplitude 0.5 / k, up to 20 harmonics and below Nyquist).
std::vector<float> Sawtooth(double sampleRate, double fundamental, std::int64_t frames);

// An additive resynthesis: harmonics 1..20 of `fundamental` whose amplitudes follow `amplitudes`, measured
// at `centres` (ascending), interpolated linearly between them and held before the first and after the last.
std::vector<float> Resynthesis(double sampleRate, double fundamental, std::int64_t frames,
                               std::span<const double> centres, std::span<const TAmplitudes> amplitudes);

// The median of `values` (the mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> values);

} // namespace quillon::fidelity
