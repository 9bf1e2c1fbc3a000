// Turns a recording into a few harmony frames. The analyser follows the recording's pitch period by period
// (average magnitude difference over a 50 ms window, refined to a fraction of a sample where the
// band-limited signal crosses the period's starting level again in the same direction; an octave away
// where the lowest partials say the waveform's period lies there and it repeats there too), resamples each
// period to a power-of-two length with band-limited (windowed-sinc) interpolation and measures the
// amplitude of every harmonic with the forward FFT (no window: the transform spans exactly one period).
// That single period's energy chooses the points; a kept point's harmonic levels (and its fundamental,
// where one period of beating voices lies off their pitch) are then measured over eight periods from its
// start under a Hann window (fewer where the recording ends), so that a period that
// is not quite periodic (the note swelling out of silence, partials a little off the harmonic series)
// does not spread its strong harmonics over the weak ones.
// The first point is the first period after the onset that agrees (within a quarter tone) with what most
// periods measured over the next 0.4 s agree on, so that an attack that is not yet the note does not set
// the pitch; periods there that cannot be measured (noise, a bow not yet caught) are passed over. Later,
// the analysis ends where no period can be measured any more (a note faded into noise).
// Of the periods within each search window after the last kept point it keeps the loudest when that is
// louder than the last point, else the quietest, leaving out periods more than 1.5 times off the last
// point's pitch and lone periods more than a quarter tone off both neighbours while those agree; a point
// closer than the minimum spacing replaces the last one (if louder) or is dropped, a middle point that lies
// within the smoothing tolerance of the mean of its neighbours is removed, and so is a middle point out of
// tune (by the same rule) with neighbours that agree. At most 100 points are kept, and none later than 20 s
// after the first.
//
//   mode              smoothing tolerance   minimum spacing   search window
//   1 dynamic         0.2                   0.01 s            0.1 s
//   2 medium          0.3                   0.03 s            0.2 s
//   3 soft            0.4                   0.1 s             0.3 s
//
// A sine of amplitude a that fits a period k times gives harmonic k the amplitude a/2; LevelByte turns
// that into the level byte whose synthesis reproduces amplitude a (a = 1 → 12).
//
// Threads: an analyser serves one thread at a time [gui]; it allocates its transforms as it needs them.
// Another thread may ask a running analysis to stop through the flag given to SetStopRequest.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace quillon {

class TFFTReal;

// One analysed period.
struct TAnalysisPoint {
    static constexpr int kHarmonics = 1024;

    double time = 0.0;        // seconds: the period's start; after Analyze, relative to the first point
    float fundamental = 0.0f; // Hz: periods per frame × sample rate / period length
    float energy = 0.0f;      // √(Σ amplitude²) over harmonics 1 … 1023
    std::array<float, kHarmonics> amplitudes{}; // element i: harmonic i (element 0 is not measured)
};

class THarmonicAudioAnalyzer {
public:
    static constexpr int kMaxPoints = 100;
    static constexpr int kMaxTransformLength = 16384;
    static constexpr int kMaxPeriodsPerFrame = 16;
    static constexpr float kOnsetThreshold = 0.001f; // RMS of 6 normalised samples
    static constexpr float kDipFactor = 0.5f;
    static constexpr float kRiseOffset = 0.0f;
    static constexpr float kMaxLength = 20.0f;     // seconds after the first point
    static constexpr float kMaxPitchRatio = 1.5f;  // between a candidate and the last kept point
    static constexpr float kWindowSeconds = 0.05f; // of the period detection
    static constexpr float kSilentAmplitude = 3.9e-7f;
    static constexpr int kProbes = 40;            // periods measured after the onset to confirm the first
    static constexpr float kProbeSpacing = 0.01f; // seconds between them
    static constexpr int kLevelPeriods = 8;       // periods a kept point's harmonic levels are measured over
    static constexpr float kOctavePower = 0.063f; // −12 dB: a partial that sets the period an octave apart
    static constexpr int kOctaveHarmonics = 16;   // of twice the lag, up to which a half lag is checked

    THarmonicAudioAnalyzer(); // medium mode, one period per frame
    ~THarmonicAudioAnalyzer();
    THarmonicAudioAnalyzer(const THarmonicAudioAnalyzer&) = delete;
    THarmonicAudioAnalyzer& operator=(const THarmonicAudioAnalyzer&) = delete;

    // 1 dynamic, 2 medium, 3 soft; other values change nothing.
    void SetMode(int mode);
    // Periods measured as one frame, limited to 1 … 16.
    void SetPeriodsPerFrame(int periods);
    // Called now and then during Analyze with the part done, 0 … 1.
    void SetProgressHandler(std::function<void(double)> handler) { progress_ = std::move(handler); }
    // A flag another thread may set to end a running Analyze early; it then returns no points. The flag
    // must outlive the analysis; null for none.
    void SetStopRequest(const std::atomic<bool>* stop) { stop_ = stop; }

    float SmoothingTolerance() const { return smoothingTolerance_; }
    float MinimumSpacing() const { return minimumSpacing_; }
    float SearchWindow() const { return searchWindow_; }
    int PeriodsPerFrame() const { return periodsPerFrame_; }

    // Analyses one channel recorded at `sampleRate` Hz. The samples are normalised and their offset removed
    // in place (samples that are not finite become 0). Returns the kept points in time order, the first at
    // time 0; none when the recording has no onset, ends less than two 50 ms windows after it, or no
    // period can be measured in the 0.4 s after the onset.
    std::vector<TAnalysisPoint> Analyze(std::span<float> samples, float sampleRate);

    // Level byte of a harmonic's amplitude: 255 (silent) up to 3.9e-7, else round(−40·log10(a)) within
    // 0 … 255 (ties to even).
    static std::uint8_t LevelByte(float amplitude);

private:
    // From the onset at p: the period that most periods of the following 0.4 s agree with; p, period and
    // point become its start, length and measurement. False when no period there can be measured.
    bool ConfirmedFirstPeriod(std::int64_t& p, double& period, TAnalysisPoint& point);
    // Moves p to the next zero crossing and measures the period there; period −1 when it cannot.
    void DetectPeriod(std::int64_t& p, double& period);
    // The lag of the waveform's period near `lag` (its minimum of the average magnitude difference) at p:
    // twice the lag where one of the lowest two partials an octave below it lies within kOctavePower of the
    // strongest partial, half the lag where every partial up to harmonic 8 of the lag that is not one of
    // the half lag's lies below that, else the lag.
    std::int64_t OctaveChecked(std::int64_t p, std::int64_t lag);
    // Measures the period of `period` samples starting at p; false when it does not fit the recording.
    bool AnalysePeriod(std::int64_t p, double period, TAnalysisPoint& point);
    // Replaces point's amplitudes by those measured over kLevelPeriods periods of `period` samples from p
    // under a Hann window (fewer where the recording ends sooner; unchanged where fewer than two fit). Where
    // a period 30 or 60 cents away makes the first eight harmonics stronger over that span, the levels and
    // the point's fundamental are those of the period where they peak between the candidates.
    void MeasureLevels(std::int64_t p, double period, TAnalysisPoint& point);
    // The recording between samples (band-limited interpolation); t may lie anywhere in it.
    float Interpolate(double t) const;
    // Where between x[i] and x[i + 1] the band-limited signal crosses `level`, 0 … 1.
    double CrossingFraction(std::int64_t i, float level) const;
    TFFTReal& Transform(int length);
    void ReportProgress(std::int64_t p);
    bool StopRequested() const;

    float smoothingTolerance_ = 0.3f;
    float minimumSpacing_ = 0.03f;
    float searchWindow_ = 0.2f;
    int periodsPerFrame_ = 1;
    std::function<void(double)> progress_;
    const std::atomic<bool>* stop_ = nullptr;

    // State of one Analyze call.
    const float* x_ = nullptr;
    std::int64_t n_ = 0;
    double rate_ = 0.0;
    std::array<std::unique_ptr<TFFTReal>, 15> transforms_;    // by log2 of the length, 2 … 16384
    std::vector<float> resampled_, spectrum_;                 // 16,384 floats each
    std::array<float, TAnalysisPoint::kHarmonics> weights_{}; // √i, for the smoothing
    static constexpr int kKernelHalfWidth = 16;               // taps on each side of an interpolated point
    static constexpr int kKernelSteps = 512;                  // rows of the kernel table: fractions
    std::vector<float> kernel_;                               // the interpolation kernel's taps by fraction, row by row
};

} // namespace quillon
