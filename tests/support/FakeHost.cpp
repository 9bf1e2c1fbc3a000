#include "support/FakeHost.h"

namespace quillon::test {

namespace {
std::atomic<FakeHost*> gCurrent{nullptr};
}

FakeHost::FakeHost() {
    time.tempo = 120.0;
    time.sampleRate = 44100.0;
    time.flags = vst2::kVstTempoValid;
    gCurrent.store(this);
}

FakeHost::~FakeHost() {
    gCurrent.store(nullptr);
}

vst2::VstIntPtr FakeHost::Callback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr, void*,
                                   float) {
    FakeHost* host = gCurrent.load();
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterWantMidi:
        if (host) ++host->wantMidiCalls;
        return 1;
    case vst2::audioMasterAutomate:
        if (host) {
            ++host->automateCalls;
            host->lastAutomatedIndex = index;
        }
        return 0;
    case vst2::audioMasterGetTime:
        return host && host->reportTime ? reinterpret_cast<vst2::VstIntPtr>(&host->time) : 0;
    case vst2::audioMasterGetCurrentProcessLevel:
        return host ? host->processLevel : 0;
    default:
        return 0;
    }
}

} // namespace quillon::test
