// The demo phrase (examples/demo.mid) rendered offline through the built plug-in, as `quillon render`
// does it: a sawtooth program with chorus and reverb, events at their exact frames, 512-frame blocks.
#include "core/ParameterTable.h"
#include "core/TProgramBank.h"
#include "files/ZlibCodec.h"
#include "hostkit/TMidiFile.h"
#include "hostkit/TPluginHost.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace quillon;
using namespace vst2;

std::vector<std::uint8_t> DemoProgramChunk() {
    auto bank = std::make_unique<TProgramBank>();
    for (int k = 1; k <= 250; ++k) {
        const double level = std::nearbyint(-40.0 * std::log10(1.0 / (k * 3.141592654)));
        bank->SetLevel(0, 0, k, static_cast<std::uint8_t>(level > 180.0 ? 255.0 : level));
    }
    bank->SetParameter(0, kChorusEnable, 1.0f);
    bank->SetParameter(0, kReverbEnable, 1.0f);
    std::vector<std::uint8_t> record(record::kRecordSize);
    bank->CopyRecord(0, record);
    return ZlibCompress(record);
}

void BM_RenderDemo(benchmark::State& state) {
    TMidiFile song;
    if (!song.Load(QUILLON_DEMO_MIDI)) {
        state.SkipWithError(song.Error().c_str());
        return;
    }
    const auto chunk = DemoProgramChunk();
    constexpr int kBlock = 512;
    constexpr double kRate = 44100.0;
    const int total = static_cast<int>(std::ceil((song.Length() + 2.0) * kRate)); // song and a 2 s tail
    std::vector<float> left(kBlock), right(kBlock);
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        TPluginHost::TSettings settings;
        settings.processLevel = kVstProcessLevelOffline;
        TPluginHost host(settings);
        if (!host.Load(QUILLON_PLUGIN_PATH)) {
            state.SkipWithError(host.Error().c_str());
            return;
        }
        host.Open();
        host.Resume();
        host.SetChunk(chunk, true);
        state.ResumeTiming();
        std::size_t next = 0;
        const auto& events = song.Events();
        std::vector<VstMidiEvent> block;
        for (int frame = 0; frame < total; frame += kBlock) {
            block.clear();
            while (next < events.size() && std::lround(events[next].seconds * kRate) < frame + kBlock) {
                const auto& e = events[next++];
                const auto delta = static_cast<VstInt32>(std::max<long>(0, std::lround(e.seconds * kRate) - frame));
                block.push_back(TPluginHost::MidiEvent(delta, e.status, e.data1, e.data2));
            }
            if (!block.empty()) host.SendMidiEvents(block);
            float* outputs[2] = {left.data(), right.data()};
            host.ProcessReplacing({}, outputs, kBlock);
            benchmark::DoNotOptimize(left.data());
        }
        seconds += total / kRate;
        state.PauseTiming();
        host.Unload();
        state.ResumeTiming();
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderDemo)->Unit(benchmark::kMillisecond);

} // namespace
