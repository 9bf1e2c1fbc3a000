// The effect chain as the render loop drives it: delay, chorus, phaser and reverb on a stereo signal at
// 44.1 kHz in blocks of 16 frames (the plug-in's sub-block), each effect alone and all four together, with
// the seconds of audio processed per second of CPU as `x_realtime`.
//
// BM_ReverbDecay measures the reverb network's RT60 once per setting (damping 0, 0.5, 1 at 10, 200 and
// 640 m²) from the Schroeder integral of its impulse response and reports it as the counter `rt60_s`, next to
// `estimate_s`, the time the feedback gain alone needs for 60 dB over passes of the mean network line length.
#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "effects/TClassicReverbEffect.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 16;              // frames per call, the plug-in's sub-block
constexpr int kSourceFrames = 1 << 16;  // about 1.5 s of input, cycled
constexpr float kInputAmplitude = 0.3f; // about −10 dBFS of noise per channel

// A stereo noise source and the 16-frame work block the effects process in place.
struct Signal {
    std::vector<float> sourceLeft, sourceRight;
    float left[kBlock] = {}, right[kBlock] = {};
    int offset = 0;

    Signal() : sourceLeft(kSourceFrames), sourceRight(kSourceFrames) {
        std::mt19937 random(11);
        std::uniform_real_distribution<float> noise(-kInputAmplitude, kInputAmplitude);
        for (int i = 0; i < kSourceFrames; ++i) {
            sourceLeft[static_cast<std::size_t>(i)] = noise(random);
            sourceRight[static_cast<std::size_t>(i)] = noise(random);
        }
    }
    // Copies the next 16 frames of the source into the work block.
    void Next() {
        std::copy_n(sourceLeft.data() + offset, kBlock, left);
        std::copy_n(sourceRight.data() + offset, kBlock, right);
        offset = (offset + kBlock) % kSourceFrames;
    }
};

// The four effects as the plug-in creates them, with every mix at the plug-in's largest level (0.5).
struct Chain {
    quillon::TClassicDelayEffect delay{kRate};
    quillon::TClassicChorusEffect chorus{0.1f, kRate};
    quillon::TClassicPhaserEffect phaser{kRate};
    quillon::TClassicReverbEffect reverb{kRate};

    Chain() {
        delay.SetMix(0.5f);
        chorus.SetMix(0.5f);
        chorus.SetDepth(0.5f);
        chorus.SetFeedback(0.3f);
        phaser.SetMix(0.5f);
        phaser.SetDepth(0.5f);
        reverb.SetMix(0.5f);
    }
};

void ReportRealtime(benchmark::State& state) {
    const double seconds = static_cast<double>(state.iterations()) * kBlock / kRate;
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

// Runs `process` on successive 16-frame blocks; it receives the chain and the block.
template <typename Process> void RunBlocks(benchmark::State& state, Process process) {
    auto chain = std::make_unique<Chain>();
    Signal signal;
    // Fill the lines once, so that the measured blocks run on a sounding network.
    for (int i = 0; i < kSourceFrames / kBlock; ++i) {
        signal.Next();
        process(*chain, signal.left, signal.right);
    }
    for (auto _ : state) {
        signal.Next();
        process(*chain, signal.left, signal.right);
        benchmark::DoNotOptimize(signal.left);
        benchmark::DoNotOptimize(signal.right);
    }
    ReportRealtime(state);
}

// All four in the render loop's order.
void BM_EffectChain(benchmark::State& state) {
    RunBlocks(state, [](Chain& c, float* l, float* r) {
        c.delay.Process(l, r, kBlock);
        c.chorus.Process(l, r, kBlock);
        c.phaser.Process(l, r, kBlock);
        c.reverb.Process(l, r, kBlock);
    });
}
BENCHMARK(BM_EffectChain);

void BM_Delay(benchmark::State& state) {
    RunBlocks(state, [](Chain& c, float* l, float* r) { c.delay.Process(l, r, kBlock); });
}
BENCHMARK(BM_Delay);

void BM_Chorus(benchmark::State& state) {
    RunBlocks(state, [](Chain& c, float* l, float* r) { c.chorus.Process(l, r, kBlock); });
}
BENCHMARK(BM_Chorus);

void BM_Phaser(benchmark::State& state) {
    RunBlocks(state, [](Chain& c, float* l, float* r) { c.phaser.Process(l, r, kBlock); });
}
BENCHMARK(BM_Phaser);

void BM_Reverb(benchmark::State& state) {
    RunBlocks(state, [](Chain& c, float* l, float* r) { c.reverb.Process(l, r, kBlock); });
}
BENCHMARK(BM_Reverb);

// RT60 -------------------------------------------------------------------------------------------

struct Decay {
    double rt60 = 0.0;     // seconds, from the fit of the energy decay curve between −5 and −35 dB
    double estimate = 0.0; // seconds: 60 dB at 20·log10(feedback gain) per pass of the mean line length
};

// Impulse response of the wet network (high damping 0, low cut 20 Hz), rendered until a 50 ms window lies
// 100 dB below the loudest one or 120 s have passed; then the Schroeder backward integral, and a least-squares
// line through its −5 … −35 dB part extrapolated to 60 dB.
Decay MeasureDecay(float area, float damping) {
    quillon::TClassicReverbEffect reverb(kRate);
    reverb.SetSize(area);
    reverb.SetDamping(damping);
    reverb.SetHighDamping(0.0f);
    reverb.SetLowCut(20.0f);
    reverb.SetMix(1.0f);

    constexpr int kWindow = 2205; // 50 ms
    const auto maximumFrames = static_cast<std::size_t>(120.0 * kRate);
    std::vector<double> energy; // per sample, left plus right
    energy.reserve(maximumFrames);
    std::vector<float> left(kWindow), right(kWindow);
    double loudestWindow = 0.0;
    bool first = true;
    while (energy.size() < maximumFrames) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        if (first) left[0] = right[0] = 1.0f;
        first = false;
        reverb.Process(left.data(), right.data(), kWindow);
        double window = 0.0;
        for (int i = 0; i < kWindow; ++i) {
            const double e =
                static_cast<double>(left[static_cast<std::size_t>(i)]) * left[static_cast<std::size_t>(i)] +
                static_cast<double>(right[static_cast<std::size_t>(i)]) * right[static_cast<std::size_t>(i)];
            energy.push_back(e);
            window += e;
        }
        loudestWindow = std::max(loudestWindow, window);
        if (window < 1e-10 * loudestWindow) break;
    }

    // Schroeder integral in dB relative to the total energy.
    std::vector<double> curve(energy.size());
    double remaining = 0.0;
    for (std::size_t i = energy.size(); i-- > 0;) {
        remaining += energy[i];
        curve[i] = remaining;
    }
    const double total = curve[0];
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0, count = 0.0;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const double db = 10.0 * std::log10(curve[i] / total);
        if (db > -5.0) continue;
        if (db < -35.0) break;
        const double t = static_cast<double>(i) / kRate;
        sx += t;
        sy += db;
        sxx += t * t;
        sxy += t * db;
        count += 1.0;
    }
    Decay decay;
    const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx); // dB per second
    decay.rt60 = -60.0 / slope;

    double meanLength = 0.0;
    for (int k = 0; k < quillon::TClassicReverbEffect::kNetworkLines; ++k)
        meanLength += reverb.LineLength(k);
    meanLength /= quillon::TClassicReverbEffect::kNetworkLines;
    const double decibelsPerPass = -20.0 * std::log10(static_cast<double>(reverb.FeedbackGain()));
    decay.estimate = 60.0 / decibelsPerPass * meanLength / kRate;
    return decay;
}

// Arguments: room area in m², damping in percent.
void BM_ReverbDecay(benchmark::State& state) {
    const auto area = static_cast<float>(state.range(0));
    const float damping = static_cast<float>(state.range(1)) / 100.0f;
    Decay decay;
    for (auto _ : state)
        decay = MeasureDecay(area, damping);
    state.counters["rt60_s"] = decay.rt60;
    state.counters["estimate_s"] = decay.estimate;
}
BENCHMARK(BM_ReverbDecay)
    ->ArgNames({"m2", "damping_pct"})
    ->ArgsProduct({{10, 200, 640}, {0, 50, 100}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
