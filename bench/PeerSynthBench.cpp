// Whole-synthesizer CPU against peers, side by side in one run: the built Quillon.so and the VST 2 builds of
// other synthesizers that Debian packages (amsynth; ZynAddSubFX where installed), each loaded through our
// host kit, play the same 8 held notes for 10 s at 44.1 kHz in 512-frame blocks. Quillon plays a sawtooth
// program with 4 unison oscillators, the Lowpass 24 filter on, chorus and reverb on; the peers play their
// default patch. Counters: CPU seconds of this thread spent in each plug-in's processing per 10 s of audio
// (quillon_cpu_s, amsynth_cpu_s, zyn_cpu_s) and quillon_per_amsynth, the ratio of the first two. A peer
// whose package is missing is left out and named in the label; the benchmark installs nothing
// (scripts/install-deps.sh installs the peers when QUILLON_BENCH_PEERS=1). The Time column is Quillon's.
#include "core/ParameterTable.h"
#include "core/TProgramBank.h"
#include "files/ZlibCodec.h"
#include "hostkit/TPluginHost.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace quillon;
using namespace vst2;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 10.0;
constexpr std::uint8_t kChord[] = {48, 52, 55, 59, 60, 64, 67, 71};

struct TPeer {
    const char* name;
    const char* path;
};
constexpr TPeer kPeers[] = {{"amsynth", "/usr/lib/vst/amsynth_vst.so"}, {"zyn", "/usr/lib/vst/ZynAddSubFX.so"}};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// A sawtooth (harmonic k at 1/k) with 4 unison oscillators, Lowpass 24, chorus and reverb.
std::vector<std::uint8_t> UnisonSawChunk() {
    auto bank = std::make_unique<TProgramBank>();
    for (int k = 1; k <= 250; ++k) {
        const double level = std::nearbyint(-40.0 * std::log10(1.0 / (k * 3.141592654)));
        bank->SetLevel(0, 0, k, static_cast<std::uint8_t>(level > 180.0 ? 255.0 : level));
    }
    bank->SetParameter(0, kOscillators, 3.0f / 7.0f); // 1 … 8 oscillators
    bank->SetParameter(0, kFilterEnable, 1.0f);
    bank->SetParameter(0, kFilterType, 2.0f / 31.0f); // type 3 of 1 … 32: Lowpass 24
    bank->SetParameter(0, kChorusEnable, 1.0f);
    bank->SetParameter(0, kReverbEnable, 1.0f);
    std::vector<std::uint8_t> record(record::kRecordSize);
    bank->CopyRecord(0, record);
    return ZlibCompress(record);
}

// Loads the plug-in at `path`, plays the chord for kSeconds and returns the CPU seconds its processing took;
// nothing (and the reason in `error`) when it does not load.
std::optional<double> PlayChord(const std::string& path, const std::vector<std::uint8_t>* chunk, std::string& error) {
    TPluginHost::TSettings settings;
    settings.processLevel = kVstProcessLevelOffline;
    TPluginHost host(settings);
    if (!host.Load(path)) {
        error = host.Error();
        return std::nullopt;
    }
    host.Open();
    host.SetSampleRate(static_cast<float>(kRate));
    host.SetBlockSize(kBlock);
    host.Resume();
    if (chunk) host.SetChunk(*chunk, true);

    AEffect* effect = host.Effect();
    std::vector<std::vector<float>> channels(static_cast<std::size_t>(effect->numInputs + effect->numOutputs),
                                             std::vector<float>(kBlock, 0.0f));
    std::vector<float*> inputs, outputs;
    for (std::size_t c = 0; c < channels.size(); ++c)
        (c < static_cast<std::size_t>(effect->numInputs) ? inputs : outputs).push_back(channels[c].data());
    std::vector<VstMidiEvent> notes;
    for (std::uint8_t note : kChord)
        notes.push_back(TPluginHost::MidiEvent(0, 0x90, note, 100));

    // One silent block first: it carries out a pending program switch (Quillon builds its tables there).
    host.ProcessReplacing(inputs, outputs, kBlock);
    const int blocks = static_cast<int>(std::ceil(kSeconds * kRate / kBlock));
    const double start = ThreadCpuSeconds();
    host.SendMidiEvents(notes);
    for (int b = 0; b < blocks; ++b) {
        host.ProcessReplacing(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(outputs.back());
    }
    const double cpu = ThreadCpuSeconds() - start;
    host.Unload();
    return cpu;
}

void BM_WholeSynthVersusPeers(benchmark::State& state) {
    const auto chunk = UnisonSawChunk();
    double quillon = 0.0;
    double peers[std::size(kPeers)] = {};
    bool present[std::size(kPeers)] = {};
    std::string label;
    for (std::size_t p = 0; p < std::size(kPeers); ++p) {
        present[p] = std::filesystem::exists(kPeers[p].path);
        if (!present[p]) label += std::string(label.empty() ? "" : ", ") + kPeers[p].name + " not installed";
    }
    for (auto _ : state) {
        std::string error;
        const auto own = PlayChord(QUILLON_PLUGIN_PATH, &chunk, error);
        if (!own) {
            state.SkipWithError(error.c_str());
            return;
        }
        quillon += *own;
        state.SetIterationTime(*own);
        for (std::size_t p = 0; p < std::size(kPeers); ++p) {
            if (!present[p]) continue;
            if (const auto cpu = PlayChord(kPeers[p].path, nullptr, error)) {
                peers[p] += *cpu;
            } else {
                present[p] = false;
                label += std::string(label.empty() ? "" : ", ") + kPeers[p].name + " failed to load: " + error;
            }
        }
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["quillon_cpu_s"] = quillon / runs;
    for (std::size_t p = 0; p < std::size(kPeers); ++p)
        if (present[p]) state.counters[std::string(kPeers[p].name) + "_cpu_s"] = peers[p] / runs;
    if (present[0]) state.counters["quillon_per_amsynth"] = quillon / peers[0];
    state.SetLabel(label);
}
BENCHMARK(BM_WholeSynthVersusPeers)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace
