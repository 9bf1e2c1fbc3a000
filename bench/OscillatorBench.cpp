// The voice oscillator as a user feels it: building a frame's wavetables (an edit in the harmony editor), a
// whole 100-frame harmony (a program switch) and rendering a full polyphonic unison patch.
#include "engine/NoteTable.h"
#include "engine/TFFTReal.h"
#include "engine/THarmonyFrame.h"
#include "engine/TIFFTVoiceOsc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kHarmonics = 250;

// A frame as full as the editor makes them: all 250 harmonics sounding, varied levels and phases.
void FillFullFrame(quillon::TIFFTVoiceOsc& osc, int frame, int variant) {
    for (int k = 1; k <= kHarmonics; ++k) {
        osc.SetHarmonicLevel(frame, k, (k * 7 + variant * 13) % 120);
        osc.SetHarmonicPhase(frame, k, (k * 31 + variant * 5) % 256);
    }
}

// 128 wavetables of one full 250-harmonic frame, as a rebuild after an edit makes them.
void BM_RebuildFrame(benchmark::State& state) {
    quillon::TIFFTVoiceOsc osc(8, kRate);
    osc.InsertFrame(0, 0.0f);
    FillFullFrame(osc, 0, 0);
    for (auto _ : state) {
        osc.RebuildFrame(0);
        osc.ApplyEdits(); // hands the replaced tables back, so that each rebuild frees the previous one
    }
    state.counters["bytes_per_frame"] = static_cast<double>(osc.FrameBytes(0));
}
BENCHMARK(BM_RebuildFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 100-frame harmony of full frames, as a program switch builds it: delete every frame, insert the new
// ones, set 250 harmonics of each and rebuild it. The audio thread's ApplyEdits runs once at the end.
void BM_BuildHarmony100(benchmark::State& state) {
    quillon::TIFFTVoiceOsc osc(8, kRate);
    for (auto _ : state) {
        osc.DeleteAllFrames();
        for (int i = 0; i < 100; ++i) {
            osc.InsertFrame(i, 0.05f * static_cast<float>(i));
            FillFullFrame(osc, i, i);
            osc.RebuildFrame(i);
        }
        osc.ApplyEdits();
        osc.CollectGarbage();
    }
    double bytes = 0.0;
    for (int i = 0; i < osc.FrameCount(); ++i)
        bytes += static_cast<double>(osc.FrameBytes(i));
    state.counters["bytes_per_frame"] = bytes / osc.FrameCount();
}
BENCHMARK(BM_BuildHarmony100)->Unit(benchmark::kMillisecond)->UseRealTime();

// 32 voices with 8 unison oscillators each, crossfading between two full frames, in the render loop's
// 16-sample blocks. x_realtime: seconds of audio rendered per second of CPU.
// The reader kernel is the one this processor was timed fastest on (vectorKernels), the plain reader, or
// `forced` where that is not negative.
void OscRender(benchmark::State& state, bool vectorKernels, int forced = -1) {
    constexpr int kVoices = 32;
    constexpr int kBlock = 16;
    constexpr int kBlocksPerIteration = 2756; // about one second of audio
    quillon::TIFFTVoiceOsc osc(kVoices, kRate);
    osc.SetFrequencyFactor(1.0f);
    osc.SetUnisonCount(8);
    osc.SetUnisonSpread(1.0293f);
    for (int i = 0; i < 2; ++i) {
        osc.InsertFrame(i, 1000.0f * static_cast<float>(i)); // a crossfade that lasts for the whole run
        FillFullFrame(osc, i, i);
        osc.RebuildFrame(i);
    }
    osc.ApplyEdits();
    osc.SetVectorKernels(vectorKernels);
    if (forced >= 0) {
        const auto kernel = static_cast<quillon::TWavetableReader::Kernel>(forced);
        if (!quillon::TWavetableReader::Supported(kernel)) {
            state.SkipWithError("kernel not supported on this processor");
            return;
        }
        osc.SetReaderKernel(kernel);
    }
    static const char* const kKernelNames[] = {"plain", "sse2", "avx2"};
    state.SetLabel(kKernelNames[osc.ReaderKernel()]);
    for (int v = 0; v < kVoices; ++v)
        osc.NoteStart(v, false, static_cast<float>(quillon::NoteTable::Frequency(36 + v)));
    std::vector<float> buffer(kBlock);
    for (auto _ : state) {
        for (int b = 0; b < kBlocksPerIteration; ++b) {
            osc.ApplyEdits();
            for (int v = 0; v < kVoices; ++v) {
                std::fill(buffer.begin(), buffer.end(), 1e-20f);
                osc.Render(v, buffer.data(), kBlock);
                benchmark::DoNotOptimize(buffer.data());
            }
        }
    }
    const double audioSeconds = static_cast<double>(kBlocksPerIteration) * kBlock / kRate;
    state.counters["x_realtime"] =
        benchmark::Counter(audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_OscRender(benchmark::State& state) {
    OscRender(state, true);
}
BENCHMARK(BM_OscRender)->Unit(benchmark::kMillisecond);

// The same with the plain one-sample-at-a-time reader, for comparison.
void BM_OscRenderScalar(benchmark::State& state) {
    OscRender(state, false);
}
BENCHMARK(BM_OscRenderScalar)->Unit(benchmark::kMillisecond);

// Each vector kernel forced (1 SSE2, 2 AVX2), to see what the one-off timing chose between.
void BM_OscRenderKernel(benchmark::State& state) {
    OscRender(state, true, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_OscRenderKernel)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
