// An in-process host callback for tests that construct the plug-in object directly: answers the VST
// version, reports a tempo when asked, and records what the plug-in asked of it.
#pragma once

#include "host/vst2.h"

#include <atomic>

namespace quillon::test {

struct FakeHost {
    // Installs `this` as the host the static callback answers for (one fake host per test at a time).
    FakeHost();
    ~FakeHost();

    static vst2::VstIntPtr Callback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                    vst2::VstIntPtr value, void* ptr, float opt);

    vst2::VstTimeInfo time{};
    bool reportTime = false;
    vst2::VstInt32 processLevel = vst2::kVstProcessLevelRealtime;
    std::atomic<int> wantMidiCalls{0};
    std::atomic<int> automateCalls{0};
    std::atomic<int> lastAutomatedIndex{-1};
};

} // namespace quillon::test
