// Reads single-cycle wavetables of 4096 points for the voice oscillator: one unison oscillator's 32-bit phase
// accumulator steps through a table (or through the crossfade a·from + b·to of two tables), and each sample
// is the 4-point Hermite interpolation at the phase (top 12 bits: the point, low 20 bits: the fraction).
// Tables must be readable one point before and two points after the cycle (THarmonyFrame::Tables are).
//
// Kernels: the plain reader works one sample at a time; the SSE2 kernel four samples at a time (every x86-64
// processor has it, and it leaves the AVX register state alone); the AVX2 kernel eight at a time. Every lane
// performs exactly the scalar operations in the same order (no fused multiply-adds), so all kernels give
// bit-identical samples. Which one is fastest depends on the processor and on how it is virtualised (wide
// vectors have been seen to run at a third of the plain reader's speed, and AVX code that leaves the upper
// register halves dirty slows all SSE code after it), so a reader does not take the widest kernel present:
// the first reader of a process times each supported kernel, together with the plain code that follows it,
// on a short synthetic load (about 0.25 ms, on the constructing thread) and every reader then starts with
// the fastest. Tests and benchmarks may force a kernel.
//
// Threads: a reader holds one setting; its operations touch only their arguments [any]. The one-off timing
// runs in the first constructor of the process [gui]; later constructors and SetVector only read its result.
#pragma once

#include <cstdint>

namespace quillon {

class TWavetableReader {
public:
    enum Kernel { kPlain = 0, kSse2 = 1, kAvx2 = 2 };
    static constexpr int kKernelCount = 3;

    // Starts with FastestKernel().
    TWavetableReader();

    // [any] Whether this processor (and build) can run the kernel; the plain one always can.
    static bool Supported(Kernel kernel);
    // The supported kernel that read a unison load fastest in this process's one-off timing. The first call
    // performs the timing; later calls return its result.
    static Kernel FastestKernel();

    // Forces a kernel (tests and benchmarks); an unsupported one falls back to the plain reader.
    void SetKernel(Kernel kernel);
    Kernel ActiveKernel() const { return kernel_; }
    // On: the fastest kernel; off: the plain reader.
    void SetVector(bool on);
    bool Vector() const { return kernel_ != kPlain; }

    // Advances phase by step n times and adds gain·table(phase) to out[0 … n−1].
    void Read(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) const;
    // The same over the blend a[s]·from + b[s]·to, each of the four points blended before interpolation.
    void ReadBlend(const float* from, const float* to, const float* a, const float* b, std::uint32_t& phase,
                   std::uint32_t step, float gain, float* out, int n) const;
    // `count` unison oscillators reading one table: the same as Read for oscillator i = 0 … count−1 with
    // phases[i], steps[i] and gains[i], in that order (so every sample sums in the same order), while out
    // stays in registers between the oscillators.
    void ReadUnison(const float* table, std::uint32_t* phases, const std::uint32_t* steps, const float* gains,
                    int count, float* out, int n) const;
    // ReadBlend for `count` unison oscillators, in the same order.
    void ReadBlendUnison(const float* from, const float* to, const float* a, const float* b, std::uint32_t* phases,
                         const std::uint32_t* steps, const float* gains, int count, float* out, int n) const;
    // Crossfade weights of samples at harmony times t (seconds) in a segment that ends at segmentTime and
    // spans `span` seconds (including its 1e-10): the from-frame's weight a = (segmentTime − t + 1e-10)/span,
    // 0 from the segment's time on and kept within 0 … 1 (frames out of time order would leave it); the
    // to-frame's weight b = 1 − a.
    void Weights(const float* t, int n, float segmentTime, float span, float* a, float* b) const;

private:
    Kernel kernel_ = kPlain;
};

} // namespace quillon
