// The audio import as the user feels it: the harmonic analysis of a 20-second recording (the longest the
// harmony keeps), and reading such a recording from a 16-bit stereo WAV file.
#include "analysis/ReadWaveFile.h"
#include "analysis/THarmonicAudioAnalyzer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 20;
constexpr double kTwoPi = 6.283185307179586;

// 20 s of a 196 Hz tone with ten harmonics whose balance moves (a slow filter sweep and a decay), with a
// vibrato of ±10 cents: a sound whose spectrum changes all the time, as the analyser is made for.
std::vector<float> ChangingRecording() {
    std::vector<float> x(static_cast<std::size_t>(kRate * kSeconds));
    double phase = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += kTwoPi * 196.0 * std::exp2(0.1 / 12.0 * std::sin(kTwoPi * 5.0 * t)) / kRate;
        const double brightness = 0.5 + 0.45 * std::sin(kTwoPi * 0.3 * t);
        double v = 0.0;
        for (int k = 1; k <= 10; ++k)
            v += std::pow(brightness, k - 1) / k * std::sin(k * phase);
        x[i] = static_cast<float>(v * (0.3 + 0.7 * std::exp(-t / 8.0)));
    }
    return x;
}

void BM_Analyze20s(benchmark::State& state) {
    const std::vector<float> recording = ChangingRecording();
    std::vector<float> samples(recording.size());
    std::size_t points = 0;
    for (auto _ : state) {
        state.PauseTiming();
        samples = recording; // the analyser normalises its input in place
        state.ResumeTiming();
        quillon::THarmonicAudioAnalyzer analyzer;
        analyzer.SetMode(static_cast<int>(state.range(0)));
        points = analyzer.Analyze(samples, static_cast<float>(kRate)).size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_Analyze20s)->Arg(1)->Arg(2)->Arg(3)->ArgName("mode")->Unit(benchmark::kMillisecond);

void BM_ReadWave20s(benchmark::State& state) {
    const std::vector<float> recording = ChangingRecording();
    const std::string path = (std::filesystem::temp_directory_path() / "quillon-bench-read.wav").string();
    {
        std::vector<char> bytes(44 + recording.size() * 4);
        auto put = [&bytes](std::size_t at, std::uint32_t v, int size) {
            for (int b = 0; b < size; ++b)
                bytes[at + static_cast<std::size_t>(b)] = static_cast<char>(v >> (8 * b));
        };
        const auto dataSize = static_cast<std::uint32_t>(recording.size() * 4);
        std::copy_n("RIFF\0\0\0\0WAVEfmt ", 16, bytes.begin());
        put(4, 36 + dataSize, 4);
        put(16, 16, 4);
        put(20, 1, 2); // PCM
        put(22, 2, 2); // stereo
        put(24, kRate, 4);
        put(28, kRate * 4, 4);
        put(32, 4, 2);
        put(34, 16, 2);
        std::copy_n("data", 4, bytes.begin() + 36);
        put(40, dataSize, 4);
        for (std::size_t i = 0; i < recording.size(); ++i) {
            const auto v = static_cast<std::int16_t>(std::lround(recording[i] * 16000.0f));
            put(44 + 4 * i, static_cast<std::uint16_t>(v), 2);
            put(46 + 4 * i, static_cast<std::uint16_t>(-v), 2);
        }
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    for (auto _ : state) {
        quillon::TWaveData wave;
        if (!quillon::ReadWaveFile(path, wave).Ok()) state.SkipWithError("cannot read the wave file");
        benchmark::DoNotOptimize(wave.samples.data());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadWave20s)->Unit(benchmark::kMillisecond);

} // namespace
