// The 4096-point real FFT that turns every harmony frame into its wavetables, against FFTW (single
// precision) in the same run. FFTW plans are made once with FFTW_MEASURE outside the timing loop; without
// FFTW only our own benchmarks are built.
#include "engine/TFFTReal.h"

#include <benchmark/benchmark.h>

#ifdef QUILLON_HAVE_FFTW
#include <fftw3.h>
#endif

#include <random>
#include <vector>

namespace {

constexpr int kLength = 4096;

// A spectrum like a harmony frame's: random levels and phases in every bin.
std::vector<float> RandomValues(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& e : v)
        e = dist(rng);
    return v;
}

void BM_InverseFFT4096Own(benchmark::State& state) {
    quillon::TFFTReal fft(kLength);
    const std::vector<float> spectrum = RandomValues(kLength, 1);
    std::vector<float> out(kLength);
    for (auto _ : state) {
        fft.InverseTransform(spectrum.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InverseFFT4096Own)->Name("BM_InverseFFT4096/own");

void BM_ForwardFFT4096Own(benchmark::State& state) {
    quillon::TFFTReal fft(kLength);
    const std::vector<float> signal = RandomValues(kLength, 2);
    std::vector<float> out(kLength);
    for (auto _ : state) {
        fft.ForwardTransform(signal.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ForwardFFT4096Own)->Name("BM_ForwardFFT4096/own");

#ifdef QUILLON_HAVE_FFTW

// Complex-to-real of length 4096: 2049 complex bins in, 4096 samples out, with the flags given. Without
// FFTW_PRESERVE_INPUT the plan overwrites its input, so later iterations run on the values it leaves there
// (they grow, never into denormals, so the speed is unaffected); no copy is timed.
void InverseFftw(benchmark::State& state, unsigned flags) {
    const int bins = kLength / 2 + 1;
    auto* in = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * bins));
    auto* out = static_cast<float*>(fftwf_malloc(sizeof(float) * kLength));
    fftwf_plan plan = fftwf_plan_dft_c2r_1d(kLength, in, out, flags);
    const std::vector<float> spectrum = RandomValues(2 * bins, 1);
    for (int k = 0; k < bins; ++k) {
        in[k][0] = spectrum[2 * static_cast<std::size_t>(k)];
        in[k][1] = spectrum[2 * static_cast<std::size_t>(k) + 1];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}

void BM_InverseFFT4096Fftw(benchmark::State& state) {
    InverseFftw(state, FFTW_MEASURE);
}
BENCHMARK(BM_InverseFFT4096Fftw)->Name("BM_InverseFFT4096/fftw");

// The same contract as ours: the input stays untouched.
void BM_InverseFFT4096FftwPreserving(benchmark::State& state) {
    InverseFftw(state, FFTW_MEASURE | FFTW_PRESERVE_INPUT);
}
BENCHMARK(BM_InverseFFT4096FftwPreserving)->Name("BM_InverseFFT4096/fftw_preserve_input");

void BM_ForwardFFT4096Fftw(benchmark::State& state) {
    const int bins = kLength / 2 + 1;
    auto* in = static_cast<float*>(fftwf_malloc(sizeof(float) * kLength));
    auto* out = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * bins));
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(kLength, in, out, FFTW_MEASURE);
    const std::vector<float> signal = RandomValues(kLength, 2);
    for (int i = 0; i < kLength; ++i)
        in[i] = signal[i];
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}
BENCHMARK(BM_ForwardFFT4096Fftw)->Name("BM_ForwardFFT4096/fftw");

#endif

} // namespace
