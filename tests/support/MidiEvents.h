// MIDI events as a host hands them to a plug-in: single events and the effProcessEvents block.
#pragma once

#include "host/vst2.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quillon::test {

// One MIDI event at `frame` of the coming block.
vst2::VstMidiEvent Midi(int frame, int status, int data1, int data2 = 0);

// A VstEvents block of any length over copies of the events; Events() stays valid while the block lives.
class TMidiEventBlock {
public:
    TMidiEventBlock(std::initializer_list<vst2::VstMidiEvent> events);
    explicit TMidiEventBlock(std::vector<vst2::VstMidiEvent> events);
    vst2::VstEvents* Events() { return reinterpret_cast<vst2::VstEvents*>(storage_.data()); }

private:
    std::vector<vst2::VstMidiEvent> events_;
    std::vector<vst2::VstIntPtr> storage_; // numEvents, reserved, then the event pointers
};

} // namespace quillon::test
