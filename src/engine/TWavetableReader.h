// Reads single-cycle wavetables of 4096 points for the voice oscillator: one unison oscillator's 32-bit phase
// accumulator steps through a table (or through the crossfade a·from + b·to of two tables), and each sample
// is the 4-point Hermite interpolation at the phase (top 12 bits: the point, low 20 bits: the fraction).
// Tables must be readable one point before and two points after the cycle (THarmonyFrame::Tables are).
//
// Where the processor has AVX2 the reader works on eight samples at a time; every lane performs exactly the
// scalar operations in the same order (no fused multiply-adds), so both ways give bit-identical samples.
//
// Threads: a reader holds one setting; its operations touch only their arguments [any].
#pragma once

#include <cstdint>

namespace quillon {

class TWavetableReader {
public:
    // Vector reading on when the processor supports it.
    TWavetableReader();

    // Eight-samples-at-a-time reading where the processor has it (on by default); tests and benchmarks
    // compare it with the plain reader.
    void SetVector(bool on);
    bool Vector() const { return vector_; }

    // Advances phase by step n times and adds gain·table(phase) to out[0 … n−1].
    void Read(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) const;
    // The same over the blend a[s]·from + b[s]·to, each of the four points blended before interpolation.
    void ReadBlend(const float* from, const float* to, const float* a, const float* b, std::uint32_t& phase,
                   std::uint32_t step, float gain, float* out, int n) const;
    // Crossfade weights of samples at harmony times t (seconds) in a segment that ends at segmentTime and
    // spans `span` seconds (including its 1e-10): the from-frame's weight a = (segmentTime − t + 1e-10)/span,
    // 0 from the segment's time on and kept within 0 … 1 (frames out of time order would leave it); the
    // to-frame's weight b = 1 − a.
    void Weights(const float* t, int n, float segmentTime, float span, float* a, float* b) const;

private:
    bool vector_ = false;
};

} // namespace quillon
