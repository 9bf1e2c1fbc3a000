// Coloured noise shared by all voices. White noise is shaped in the frequency domain by a gain curve given
// as breakpoints (frequency in Hz, 8-bit level: 0 full, 255 silent, interpolated on a logarithmic frequency
// axis, gain = ((255 − level)/255)³). Frames of 1024 samples are made every 512 samples from an input window
// that overlaps the previous one by half (forward FFT, gains, inverse FFT), and each output sample crossfades
// the second half of the older frame linearly into the first half of the newer one.
//
// Presets (SetNoiseType): 1 "White" (flat), 2 "Pink" (about −3 dB per octave), 3 "Breath 1", 4 "Breath 2",
// 5 "Blow"; 0 "Off" and any other type has no breakpoints.
//
// Threads: SetNoiseType may come from any thread [any]; it only stores the requested type, and the audio
// thread installs that preset's breakpoints at its next Render. The breakpoints, gains and frames belong to
// the audio thread [audio]; Render allocates nothing. SetSampleRate is a relaxed atomic [any].
#pragma once

#include "engine/TFFTReal.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace quillon {

class TIFFTNoiseGenerator {
public:
    static constexpr int kFrameLength = 1024;
    static constexpr int kBinCount = kFrameLength / 2;
    static constexpr int kMaxBreakpoints = 64;
    static constexpr int kPresetCount = 5;

    explicit TIFFTNoiseGenerator(float sampleRate);
    TIFFTNoiseGenerator(const TIFFTNoiseGenerator&) = delete;
    TIFFTNoiseGenerator& operator=(const TIFFTNoiseGenerator&) = delete;

    // Stores the rate (Hz); the gains follow at the next breakpoint change. [any]
    void SetSampleRate(float sampleRate);
    float SampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }

    // Requests preset t (the current type changes nothing). [any]
    void SetNoiseType(int type) { requestedType_.store(type, std::memory_order_release); }
    // The requested type (what the program asks for).
    int NoiseType() const { return requestedType_.load(std::memory_order_relaxed); }

    // Breakpoints [audio] ----------------------------------------------------------------------------------

    // Inserts before the breakpoint at index (0 ≤ index ≤ count, at most 64); false when refused.
    bool InsertBreakpoint(int index, std::uint8_t level, float frequency);
    // Deletes the breakpoint at index (0 ≤ index < count); false when refused.
    bool DeleteBreakpoint(int index);
    void DeleteAllBreakpoints();
    int BreakpointCount();
    float BreakpointFrequency(int index); // Hz; 0 outside the list
    int BreakpointLevel(int index);       // 0 … 255; 0 outside the list

    // Gain of bin j (0 … 511) as last computed; the gains are computed when a frame is made. [audio]
    float Gain(int bin) const;

    // Writes (replaces) n samples of noise into buffer. [audio]
    void Render(float* buffer, int n);

    // Restarts the random source from `seed`, so that the noise from here on is that seed's. Each instance
    // starts from a seed of the system's random source; tests fix it. [audio], or while audio is stopped.
    void SetRandomSeed(std::uint32_t seed);

private:
    struct Breakpoint {
        float frequency = 0.0f; // Hz
        std::uint8_t level = 0; // 0 full … 255 silent
    };

    // Audio side: installs the requested preset when it differs from the installed one.
    void SyncAudio();
    void InstallPreset(int type);
    bool Insert(int index, std::uint8_t level, float frequency);
    void ComputeGains();
    // Makes a new frame of 1024 samples into `frame`.
    void NewFrame(std::array<float, kFrameLength>& frame);
    // Uniform in [−1, 1).
    float NextRandom();

    TFFTReal fft_;
    std::array<Breakpoint, kMaxBreakpoints> breakpoints_{};
    int breakpointCount_ = 0;
    std::atomic<float> sampleRate_;
    std::array<float, kFrameLength> frameA_, frameB_;
    std::array<float, kFrameLength> input_;
    std::array<float, kFrameLength> spectrum_{};
    int readPosition_ = 0;
    std::array<float, kBinCount> gains_{};
    bool gainsStale_ = true;
    int installedType_ = 0;
    std::atomic<int> requestedType_{0};
    std::uint32_t randomState_; // xorshift state, never 0
};

} // namespace quillon
