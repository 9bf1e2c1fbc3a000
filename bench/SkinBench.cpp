// The editor's skin as the plug-in carries it: decoding the embedded archive of each display scale, which
// happens every time an editor opens. Targets: scale 1 decodes in <= 30 ms into <= 16 MB of images and
// atlases; the archives of both scales add <= 8 MB to the plug-in (counters "decoded_bytes",
// "archive_bytes" and, over both scales, "embedded_bytes").
#include "editor/EmbeddedSkin.h"
#include "editor/TEditorSkin.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quillon;

void BM_SkinDecodeEmbedded(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    std::size_t decoded = 0;
    for (auto _ : state) {
        const TEditorSkin skin = TEditorSkin::Embedded(scale);
        decoded = skin.DecodedBytes();
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["decoded_bytes"] = static_cast<double>(decoded);
    state.counters["archive_bytes"] = static_cast<double>(EmbeddedSkinArchive(scale).size());
    state.counters["embedded_bytes"] =
        static_cast<double>(EmbeddedSkinArchive(1).size() + EmbeddedSkinArchive(2).size());
}
BENCHMARK(BM_SkinDecodeEmbedded)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
