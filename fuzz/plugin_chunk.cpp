// Fuzzes the host chunks through the plug-in object: the first byte chooses a program chunk (even) or a
// bank chunk (odd), the rest is handed to setChunk, and one block of 64 frames is rendered, which must be
// finite. The plug-in is made once; a refused chunk leaves it as it was, an accepted one is the new state.
#include "FuzzSupport.h"

#include "core/TCustomVSTMidiPlugin.h"

#include <cmath>
#include <vector>

namespace {

vst2::AEffect* Effect() {
    static vst2::AEffect* effect = [] {
        quillon::fuzz::IsolateSettings();
        auto* plugin = new quillon::TCustomVSTMidiPlugin(quillon::fuzz::HostCallback);
        vst2::AEffect* made = plugin->getAeffect();
        made->dispatcher(made, vst2::effOpen, 0, 0, nullptr, 0.0f);
        made->dispatcher(made, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        made->dispatcher(made, vst2::effSetBlockSize, 0, 64, nullptr, 0.0f);
        made->dispatcher(made, vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
        return made;
    }();
    return effect;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    vst2::AEffect* effect = Effect();
    const bool isPreset = (data[0] & 1) == 0;
    std::vector<std::uint8_t> chunk(data + 1, data + size);
    effect->dispatcher(effect, vst2::effSetChunk, isPreset ? 1 : 0, static_cast<vst2::VstIntPtr>(chunk.size()),
                       chunk.empty() ? nullptr : chunk.data(), 0.0f);

    static std::vector<float> left(64), right(64);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 64);
    for (std::size_t i = 0; i < 64; ++i)
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
    return 0;
}
