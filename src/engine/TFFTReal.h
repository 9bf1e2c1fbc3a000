// Real-valued FFT of power-of-two length in single precision.
//
// Frequency-domain layout (N floats), used by both directions:
//   [0]            real part of bin 0 (DC)
//   [k], 1 ≤ k < N/2  cosine part of bin k
//   [N/2]          real part of bin N/2 (Nyquist)
//   [N/2 + k]      sine part of bin k, 1 ≤ k < N/2
// Forward:  F[k] = Σ x[n]·cos(2πkn/N),  F[N/2+k] = Σ x[n]·sin(2πkn/N)   (no scaling)
// Inverse:  x[n] = F[0] + F[N/2]·(−1)^n + 2·Σ (F[k]·cos(2πkn/N) + F[N/2+k]·sin(2πkn/N))   (no scaling)
// so InverseTransform(ForwardTransform(x)) = N·x.
//
// Threads: an instance owns a work buffer, so one instance serves one thread at a time; make one per
// thread that transforms. Transforms allocate nothing.
#pragma once

#include <memory>
#include <vector>

namespace quillon {

class TFFTReal {
public:
    // length must be a power of two (1 … 2^20); other values throw std::invalid_argument.
    explicit TFFTReal(int length);
    ~TFFTReal();
    TFFTReal(const TFFTReal&) = delete;
    TFFTReal& operator=(const TFFTReal&) = delete;

    int Length() const { return length_; }

    // Input and output are distinct arrays of Length() floats; the input is not modified.
    void ForwardTransform(const float* x, float* f);
    void InverseTransform(const float* f, float* x);
    // Multiplies each element by 1/N (rounded to float once).
    void ScaleByInverseLength(float* a) const;

private:
    int length_;
    int bits_;
    // Implementation state (tables, work buffer) lives in the source file.
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillon
