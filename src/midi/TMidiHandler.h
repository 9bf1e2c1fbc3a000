// MIDI handler: receives the host's events, and releases them to the synthesizer at their frame while
// the render loop works through a block; filters, transposes and allocates voices. This class currently
// holds the handler's settings and accepts events; the queue, note handling and voice allocation are not
// built yet, so no event is kept.
// Threads: events arrive and are dispatched on the audio thread [audio]; learnMode is [any].
#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

class TMidiHandler {
public:
    TMidiHandler() = default;
    virtual ~TMidiHandler() = default;
    TMidiHandler(const TMidiHandler&) = delete;
    TMidiHandler& operator=(const TMidiHandler&) = delete;

    // Queues one event at a frame of the current block. [audio]
    virtual void QueueEvent(int frame, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                            std::uint8_t data3, std::uint8_t detune) {
        (void)frame, (void)status, (void)data1, (void)data2, (void)data3, (void)detune;
    }
    // Dispatches the events due at or before `frame`; returns the frame of the next queued event, 0 if none.
    virtual int DispatchUntil(int frame) {
        (void)frame;
        return 0;
    }
    // Moves the remaining events' positions back by a processed block of `frames`.
    virtual void AdvanceQueue(int frames) { (void)frames; }

    virtual void SetVoiceCount(int count) { voiceCount_ = count; }
    virtual void SetReleaseTime(float seconds) { releaseTime_ = seconds; }
    virtual void SetHold2ReleaseTime(float seconds) { hold2ReleaseTime_ = seconds; }
    // The amplitude envelope's release time for the current state of the hold-2 pedal.
    virtual float CurrentReleaseTime() const { return hold2Pedal_ ? hold2ReleaseTime_ : releaseTime_; }
    void SetAssignMode(int mode) { assignMode_ = mode; }
    void SetRetriggerMode(int mode) { retriggerMode_ = mode; }
    void SetMidiChannel(int channel) { midiChannel_ = channel; }
    void SetRangeLow(int note) { rangeLow_ = note; }
    void SetRangeHigh(int note) { rangeHigh_ = note; }
    void SetTransposeSemitones(int semitones) { transposeSemitones_ = semitones; }
    void SetTransposeOctaves(int octaves) { transposeOctaves_ = octaves; }
    // MIDI learn state: 0 off, 1 learn, 2 forget. [any]
    void SetLearnMode(int mode) { learnMode_.store(mode, std::memory_order_relaxed); }
    int LearnMode() const { return learnMode_.load(std::memory_order_relaxed); }

    int VoiceCount() const { return voiceCount_; }
    int AssignMode() const { return assignMode_; }
    int RetriggerMode() const { return retriggerMode_; }
    int MidiChannel() const { return midiChannel_; }
    int RangeLow() const { return rangeLow_; }
    int RangeHigh() const { return rangeHigh_; }
    int TransposeSemitones() const { return transposeSemitones_; }
    int TransposeOctaves() const { return transposeOctaves_; }

protected:
    int voiceCount_ = 8;
    float releaseTime_ = 0.25f;
    float hold2ReleaseTime_ = 0.6f;
    bool hold2Pedal_ = false;
    int assignMode_ = 0;
    int retriggerMode_ = 0;
    int midiChannel_ = 0;
    int rangeLow_ = 0;
    int rangeHigh_ = 127;
    int transposeSemitones_ = 0;
    int transposeOctaves_ = 0;
    std::atomic<int> learnMode_{0};
};

} // namespace quillon
