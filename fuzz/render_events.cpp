// Fuzzes the render loop with what a host sends while it plays: the input is read as a list of commands
// that queue MIDI events (any frame offset, status and data bytes), change parameters (any index, values
// in 0..1 or any float bits) and render 64-frame blocks. The output must stay finite.
//
// Commands, one selector byte each (selector % 4):
//   0  parameter: index byte (signed, so negative and too-large indices occur), value from 2 bytes as a
//      fraction of 65535
//   1  raw parameter: index byte, 4 bytes of float bits (NaN, infinities, out of range)
//   2  MIDI event: frame (signed byte), status, data1, data2
//   3  block: hands the queued events to processEvents and renders 64 frames
// The plug-in is made once; each input starts from the program state it had after construction.
#include "FuzzSupport.h"

#include "core/TCustomVSTMidiPlugin.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kBlock = 64;
constexpr std::size_t kMaxEvents = 64;

struct Instance {
    vst2::AEffect* effect = nullptr;
    std::vector<std::uint8_t> initialProgram; // the program chunk right after construction
};

Instance& Plugin() {
    static Instance instance = [] {
        quillon::fuzz::IsolateSettings();
        auto* plugin = new quillon::TCustomVSTMidiPlugin(quillon::fuzz::HostCallback);
        Instance made;
        made.effect = plugin->getAeffect();
        vst2::AEffect* effect = made.effect;
        effect->dispatcher(effect, vst2::effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect->dispatcher(effect, vst2::effSetBlockSize, 0, kBlock, nullptr, 0.0f);
        effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
        void* chunk = nullptr;
        const auto bytes = effect->dispatcher(effect, vst2::effGetChunk, 1, 0, &chunk, 0.0f);
        const auto* begin = static_cast<const std::uint8_t*>(chunk);
        made.initialProgram.assign(begin, begin + bytes);
        return made;
    }();
    return instance;
}

void Render(vst2::AEffect* effect, std::vector<vst2::VstMidiEvent>& queued) {
    struct {
        vst2::VstInt32 numEvents;
        vst2::VstIntPtr reserved;
        vst2::VstEvent* events[kMaxEvents];
    } block{static_cast<vst2::VstInt32>(queued.size()), 0, {}};
    for (std::size_t i = 0; i < queued.size(); ++i)
        block.events[i] = reinterpret_cast<vst2::VstEvent*>(&queued[i]);
    if (!queued.empty()) effect->dispatcher(effect, vst2::effProcessEvents, 0, 0, &block, 0.0f);
    queued.clear();

    static std::array<float, kBlock> left, right;
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, kBlock);
    for (int i = 0; i < kBlock; ++i)
        if (!std::isfinite(left[static_cast<std::size_t>(i)]) || !std::isfinite(right[static_cast<std::size_t>(i)]))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Instance& instance = Plugin();
    vst2::AEffect* effect = instance.effect;
    std::vector<std::uint8_t> program = instance.initialProgram;
    effect->dispatcher(effect, vst2::effSetChunk, 1, static_cast<vst2::VstIntPtr>(program.size()), program.data(),
                       0.0f);

    std::vector<vst2::VstMidiEvent> queued;
    queued.reserve(kMaxEvents);
    std::size_t at = 0;
    auto remaining = [&] { return size - at; };
    while (at < size) {
        const std::uint8_t selector = data[at++];
        switch (selector % 4) {
        case 0: {
            if (remaining() < 3) return 0;
            const auto index = static_cast<std::int8_t>(data[at]);
            const float value = static_cast<float>(data[at + 1] | (data[at + 2] << 8)) / 65535.0f;
            at += 3;
            effect->setParameter(effect, index, value);
            break;
        }
        case 1: {
            if (remaining() < 5) return 0;
            const auto index = static_cast<std::int8_t>(data[at]);
            float value;
            std::memcpy(&value, data + at + 1, sizeof value);
            at += 5;
            effect->setParameter(effect, index, value);
            break;
        }
        case 2: {
            if (remaining() < 4) return 0;
            vst2::VstMidiEvent event{};
            event.type = vst2::kVstMidiType;
            event.byteSize = sizeof event;
            event.deltaFrames = static_cast<std::int8_t>(data[at]);
            event.midiData[0] = static_cast<char>(data[at + 1]);
            event.midiData[1] = static_cast<char>(data[at + 2]);
            event.midiData[2] = static_cast<char>(data[at + 3]);
            at += 4;
            if (queued.size() < kMaxEvents) queued.push_back(event);
            break;
        }
        default:
            Render(effect, queued);
            break;
        }
    }
    Render(effect, queued);
    return 0;
}
