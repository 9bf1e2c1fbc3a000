// The synthesizer plug-in constructed in-process, as the tests of the plug-in object use it: a fake host
// that answers the process level, a scripted user prompt, the dispatcher, processing into two buffers and MIDI
// intake.
#pragma once

#include "core/TCustomVSTMidiPlugin.h"
#include "support/FakeHost.h"
#include "support/MidiEvents.h"
#include "support/ScriptedPrompt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace quillon::test {

class TPluginFixture : public ::testing::Test {
protected:
    // Constructs the plug-in for a host at `level` and gives it `prompt`; offline, program switches finish
    // within the processing call that starts them. A plug-in created before is closed first.
    void Create(vst2::VstInt32 level = vst2::kVstProcessLevelOffline);
    // Closes the plug-in (effClose frees it); nothing when none is open.
    void Close();
    void TearDown() override { Close(); }

    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, vst2::VstInt32 index = 0, vst2::VstIntPtr value = 0,
                             void* ptr = nullptr, float opt = 0.0f);
    // Hands the plug-in a bank (or with `isPreset` a program) chunk through effSetChunk.
    vst2::VstIntPtr SetChunk(std::vector<std::uint8_t>& chunk, bool isPreset);
    // One processReplacing call of `frames` into `left` and `right` (0.5 before the call).
    void Process(int frames = 64);
    // Processes `frames` in 512-frame blocks and returns the left output.
    std::vector<float> RenderLeft(int frames);
    // Processes 64-frame blocks until the pending program switch is over and the engine has the current
    // program (the worker runs meanwhile).
    void ProcessUntilSwitched();
    // Hands events to the plug-in through effProcessEvents.
    void Send(std::initializer_list<vst2::VstMidiEvent> events);
    // True when both outputs of the last block hold the silence value 1e-20 throughout.
    bool AllSilence() const;

    FakeHost host;
    std::shared_ptr<ScriptedPrompt> prompt = std::make_shared<ScriptedPrompt>();
    TCustomVSTMidiPlugin* plugin = nullptr;
    vst2::AEffect* effect = nullptr;
    std::vector<float> left, right;
};

} // namespace quillon::test
