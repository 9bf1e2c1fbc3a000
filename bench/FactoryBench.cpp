// The cost of the factory programs: eight notes (48 52 55 60 64 67 71 72, velocity 100) held for 4 s through
// the built plug-in, for the reference program (a plain sawtooth with chorus and reverb) and for every
// program of the built factory banks. The programs' benchmark reports the worst ratio of a program's time
// to the reference's, measured in the same iteration, and the program it belongs to.
#include "ProgramMeasures.h"
#include "core/TProgramBank.h"
#include "files/TPresetsFileManager.h"
#include "hostkit/TRecordRenderer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quillon;

constexpr int kRate = 44100;
constexpr int kBlock = 512;
constexpr std::int64_t kWarmUp = kRate / 10;
constexpr std::int64_t kFrames = std::int64_t{4} * kRate;

struct TProgram {
    std::string name;
    std::vector<std::uint8_t> record;
};

std::vector<TProgram> FactoryPrograms() {
    std::vector<TProgram> programs;
    std::vector<std::uint8_t> records(TPresetsFileManager::kBankBytes), fresh(record::kRecordSize);
    const auto freshPrograms = std::make_unique<TProgramBank>();
    for (const char* bank : {"Factory A", "Factory B"}) {
        const std::string path = std::string(QUILLON_FACTORY_BANK_DIR) + "/" + bank + ".bpb";
        if (!TPresetsFileManager().LoadBank(path, TPresetsFileManager::BankSpan(records.data(), records.size())))
            continue;
        for (std::size_t slot = 0; slot < TPresetsFileManager::kBankPrograms; ++slot) {
            const auto* record = records.data() + slot * record::kRecordSize;
            freshPrograms->CopyRecord(static_cast<int>(slot), fresh);
            if (std::equal(fresh.begin(), fresh.end(), record)) continue; // a slot the description left empty
            const std::string name(reinterpret_cast<const char*>(record + record::kNameOffset));
            programs.push_back(
                {std::string(bank) + ": " + name, std::vector<std::uint8_t>(record, record + record::kRecordSize)});
        }
    }
    return programs;
}

// CPU seconds of the process, every thread counted (the wall clock of a shared machine is too noisy for
// ratios of renders this short).
double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// CPU seconds to render the eight notes with `record`; negative when the plug-in fails.
double EightNotes(const std::vector<std::uint8_t>& record, std::vector<float>& out) {
    static const std::vector<TRecordRenderer::TEvent> events = [] {
        std::vector<TRecordRenderer::TEvent> notes;
        for (const std::uint8_t note : {48, 52, 55, 60, 64, 67, 71, 72})
            notes.push_back({kWarmUp, 0x90, note, 100});
        return notes;
    }();
    TRecordRenderer renderer;
    out.clear();
    if (renderer.Start(QUILLON_PLUGIN_PATH, record, kRate, kBlock) || renderer.Render(kWarmUp, {}, out)) return -1.0;
    const double start = ProcessSeconds();
    if (renderer.Render(kFrames, events, out)) return -1.0;
    return ProcessSeconds() - start;
}

void BM_FactoryReference(benchmark::State& state) {
    const std::vector<std::uint8_t> reference = ReferenceProgram();
    std::vector<float> out;
    out.reserve(kWarmUp + kFrames);
    for (auto _ : state) {
        const double seconds = EightNotes(reference, out);
        if (seconds < 0.0) {
            state.SkipWithError("the plug-in did not render");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FactoryReference)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FactoryPrograms(benchmark::State& state) {
    const std::vector<TProgram> programs = FactoryPrograms();
    if (programs.empty()) {
        state.SkipWithError("no factory banks built");
        return;
    }
    const std::vector<std::uint8_t> reference = ReferenceProgram();
    std::vector<float> out;
    out.reserve(kWarmUp + kFrames);
    double worst = 0.0;
    std::string worstName;
    for (auto _ : state) {
        const double base = EightNotes(reference, out);
        double total = 0.0;
        for (const TProgram& program : programs) {
            const double seconds = EightNotes(program.record, out);
            if (seconds < 0.0 || base <= 0.0) {
                state.SkipWithError(("the plug-in did not render " + program.name).c_str());
                return;
            }
            total += seconds;
            if (seconds / base > worst) {
                worst = seconds / base;
                worstName = program.name;
            }
        }
        state.SetIterationTime(total);
    }
    state.counters["programs"] = static_cast<double>(programs.size());
    state.counters["worst_ratio"] = worst;
    state.SetLabel("worst: " + worstName);
}
BENCHMARK(BM_FactoryPrograms)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
