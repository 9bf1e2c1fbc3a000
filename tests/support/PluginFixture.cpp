#include "support/PluginFixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quillon::test {

void TPluginFixture::Create(vst2::VstInt32 level) {
    Close();
    host.processLevel = level;
    plugin = new TCustomVSTMidiPlugin(FakeHost::Callback);
    effect = plugin->getAeffect();
    plugin->SetUserPrompt(prompt);
}

void TPluginFixture::Close() {
    if (effect) effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
    plugin = nullptr;
}

vst2::VstIntPtr TPluginFixture::Dispatch(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr,
                                         float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

vst2::VstIntPtr TPluginFixture::SetChunk(std::vector<std::uint8_t>& chunk, bool isPreset) {
    return Dispatch(vst2::effSetChunk, isPreset ? 1 : 0, static_cast<vst2::VstIntPtr>(chunk.size()), chunk.data());
}

void TPluginFixture::Process(int frames) {
    left.assign(static_cast<std::size_t>(frames), 0.5f);
    right.assign(static_cast<std::size_t>(frames), 0.5f);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, frames);
}

std::vector<float> TPluginFixture::RenderLeft(int frames) {
    std::vector<float> sound;
    for (int done = 0; done < frames; done += 512) {
        Process(std::min(512, frames - done));
        sound.insert(sound.end(), left.begin(), left.end());
    }
    return sound;
}

void TPluginFixture::ProcessUntilSwitched() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {
        Process(64);
        if (!plugin->ProgramChangePending() && !plugin->ProgramNeedsApply()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    FAIL() << "program switch did not finish";
}

void TPluginFixture::Send(std::initializer_list<vst2::VstMidiEvent> events) {
    TMidiEventBlock block(events);
    Dispatch(vst2::effProcessEvents, 0, 0, block.Events());
}

bool TPluginFixture::AllSilence() const {
    for (std::size_t i = 0; i < left.size(); ++i)
        if (left[i] != 1e-20f || right[i] != 1e-20f) return false;
    return true;
}

} // namespace quillon::test
