#include "support/MidiEvents.h"

#include "hostkit/TPluginHost.h"

#include <algorithm>
#include <cstring>

namespace quillon::test {

vst2::VstMidiEvent Midi(int frame, int status, int data1, int data2) {
    return TPluginHost::MidiEvent(frame, static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1),
                                  static_cast<std::uint8_t>(data2));
}

TMidiEventBlock::TMidiEventBlock(std::initializer_list<vst2::VstMidiEvent> events)
    : TMidiEventBlock(std::vector<vst2::VstMidiEvent>(events)) {}

TMidiEventBlock::TMidiEventBlock(std::vector<vst2::VstMidiEvent> events) : events_(std::move(events)) {
    // VstEvents declares two pointers; hosts allocate as many as they pass, and so do we.
    static_assert(sizeof(vst2::VstEvents) == 2 * sizeof(vst2::VstIntPtr) + 2 * sizeof(void*));
    storage_.assign(2 + std::max<std::size_t>(events_.size(), 2), 0);
    const auto count = static_cast<vst2::VstInt32>(events_.size());
    std::memcpy(storage_.data(), &count, sizeof count);
    for (std::size_t i = 0; i < events_.size(); ++i)
        storage_[2 + i] = reinterpret_cast<vst2::VstIntPtr>(&events_[i]);
}

} // namespace quillon::test
