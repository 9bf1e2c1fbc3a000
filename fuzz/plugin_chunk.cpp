// Fuzzes the host chunks through the plug-in object. The first byte chooses:
//   bit 0  program chunk (0) or bank chunk (1)
//   bit 1  the rest is the chunk as it is (0), or patches to a well-formed record image that is then
//          compressed into a chunk (1; see RecordPatches.h), so that records holding nonsense arrive whole
// After effSetChunk a note is played for three blocks of 64 frames and released; every output sample must
// be finite. The plug-in is made once; a refused chunk leaves it as it was, an accepted one is the new state.
#include "FuzzSupport.h"
#include "RecordPatches.h"

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

void Note(vst2::AEffect* effect, std::uint8_t status, std::uint8_t velocity) {
    vst2::VstMidiEvent event{};
    event.type = vst2::kVstMidiType;
    event.byteSize = sizeof(event);
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = 60;
    event.midiData[2] = static_cast<char>(velocity);
    vst2::VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<vst2::VstEvent*>(&event);
    effect->dispatcher(effect, vst2::effProcessEvents, 0, 0, &events, 0.0f);
}

void RenderFinite(vst2::AEffect* effect) {
    static std::vector<float> left(64), right(64);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 64);
    for (std::size_t i = 0; i < 64; ++i)
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    vst2::AEffect* effect = Effect();
    const bool isPreset = (data[0] & 1) == 0;
    std::vector<std::uint8_t> chunk;
    if (data[0] & 2) {
        const auto& base = quillon::fuzz::BaseBankImage();
        std::vector<std::uint8_t> image(
            base.begin(),
            base.begin() + static_cast<std::ptrdiff_t>(isPreset ? quillon::record::kRecordSize : base.size()));
        quillon::fuzz::ApplyPatches(image, data + 1, size - 1);
        chunk = quillon::fuzz::Compress(image);
    } else {
        chunk.assign(data + 1, data + size);
    }
    effect->dispatcher(effect, vst2::effSetChunk, isPreset ? 1 : 0, static_cast<vst2::VstIntPtr>(chunk.size()),
                       chunk.empty() ? nullptr : chunk.data(), 0.0f);

    Note(effect, 0x90, 100);
    for (int block = 0; block < 3; ++block)
        RenderFinite(effect);
    Note(effect, 0x80, 0);
    RenderFinite(effect);
    return 0;
}
