// What a host feels when it scans and runs the plug-in: creating and opening an instance, and an idle
// processing block.
#include "core/TCustomVSTMidiPlugin.h"
#include "host/vst2.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

vst2::VstIntPtr ScanHost(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// Construction, effOpen and effClose, as a host's plug-in scan does them.
void BM_InstantiateAndClose(benchmark::State& state) {
    for (auto _ : state) {
        auto* plugin = new quillon::TCustomVSTMidiPlugin(ScanHost);
        vst2::AEffect* effect = plugin->getAeffect();
        effect->dispatcher(effect, vst2::effOpen, 0, 0, nullptr, 0.0f);
        benchmark::DoNotOptimize(effect->numParams);
        effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    }
}
BENCHMARK(BM_InstantiateAndClose)->Unit(benchmark::kMillisecond);

// A 512-frame block with no voice sounding.
void BM_ProcessIdleBlock(benchmark::State& state) {
    auto* plugin = new quillon::TCustomVSTMidiPlugin(ScanHost);
    vst2::AEffect* effect = plugin->getAeffect();
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    for (auto _ : state) {
        effect->processReplacing(effect, nullptr, outputs, 512);
        benchmark::ClobberMemory();
    }
    state.counters["x_realtime"] =
        benchmark::Counter(512.0 / 44100.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_ProcessIdleBlock);

} // namespace
