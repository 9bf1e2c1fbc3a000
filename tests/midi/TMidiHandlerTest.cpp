// The generic MIDI handler driven through its event queue, with a handler that records the musical
// actions it is asked for.
#include "midi/TMidiHandler.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>
#include <vector>

namespace quillon {
namespace {

struct Start {
    int voice, note, velocity;
    bool legato;
    bool operator==(const Start&) const = default;
};

struct Controller {
    char kind; // a aftertouch, b pitch bend, m mod wheel, r breath, e expression, s soft pedal, l learned, p program
    int first, second;
    bool operator==(const Controller&) const = default;
};

class Recorder : public TMidiHandler {
public:
    Recorder() {
        starts.reserve(8192);
        releases.reserve(8192);
        controllers.reserve(8192);
    }
    void VoiceStart(int voice, int velocity, bool legato) override {
        starts.push_back({voice, VoiceNote(voice), velocity, legato});
    }
    void VoiceRelease(int voice) override { releases.push_back(voice); }
    void Aftertouch(int v) override { controllers.push_back({'a', v, 0}); }
    void PitchBend(int lsb, int msb) override { controllers.push_back({'b', lsb, msb}); }
    void ModWheel(int v) override { controllers.push_back({'m', v, 0}); }
    void Breath(int v) override { controllers.push_back({'r', v, 0}); }
    void Expression(int v) override { controllers.push_back({'e', v, 0}); }
    void SoftPedal(int v) override { controllers.push_back({'s', v, 0}); }
    void LearnedControl(int cc, int v) override { controllers.push_back({'l', cc, v}); }
    void ProgramChange(int p) override { controllers.push_back({'p', p, 0}); }
    void Hold2Changed() override { ++hold2Calls; }

    // Sends one event at frame 0 and dispatches it.
    void Send(int status, int d1, int d2 = 0) {
        QueueEvent(0, static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(d1), static_cast<std::uint8_t>(d2),
                   0, 0);
        DispatchUntil(0);
    }
    void On(int note, int velocity = 100) { Send(0x90, note, velocity); }
    void Off(int note) { Send(0x80, note, 64); }
    void Cc(int controller, int value) { Send(0xB0, controller, value); }
    void Clear() {
        starts.clear();
        releases.clear();
        controllers.clear();
    }

    std::vector<Start> starts;
    std::vector<int> releases;
    std::vector<Controller> controllers;
    int hold2Calls = 0;
};

// A handler with `voices` voices in the given modes.
class MidiHandlerTest : public ::testing::Test {
protected:
    void Setup(int voices, int assign, int retrigger) {
        midi.SetVoiceCount(voices);
        midi.SetAssignMode(assign);
        midi.SetRetriggerMode(retrigger);
        midi.Clear();
    }
    Recorder midi;
};

// Queue ----------------------------------------------------------------------------------------

TEST_F(MidiHandlerTest, QueueReleasesEventsInFrameOrderKeepingTheOrderWithinAFrame) {
    Setup(8, 0, 1);
    // Delivered unsorted; the two events at frame 10 keep their order (note-off of 62 before its note-on).
    midi.QueueEvent(10, 0x80, 62, 0, 0, 0);
    midi.QueueEvent(3, 0x90, 62, 90, 0, 0);
    midi.QueueEvent(10, 0x90, 62, 70, 0, 0);
    midi.QueueEvent(0, 0x90, 60, 100, 0, 0);
    EXPECT_EQ(midi.QueuedEventCount(), 4);

    EXPECT_EQ(midi.DispatchUntil(0), 3);
    EXPECT_EQ(midi.starts, (std::vector<Start>{{0, 60, 100, false}}));
    EXPECT_EQ(midi.DispatchUntil(3), 10);
    EXPECT_EQ(midi.DispatchUntil(9), 10); // nothing due
    EXPECT_EQ(midi.starts.size(), 2u);
    EXPECT_EQ(midi.DispatchUntil(10), 0); // queue empty
    EXPECT_EQ(midi.releases, std::vector<int>{1});
    ASSERT_EQ(midi.starts.size(), 3u);
    EXPECT_EQ(midi.starts.back(), (Start{1, 62, 70, false})); // voice 1 released, then taken again
    EXPECT_TRUE(midi.NoteActive(62));
}

TEST_F(MidiHandlerTest, AdvanceQueueCarriesLaterEventsIntoTheNextBlock) {
    Setup(8, 0, 1);
    midi.QueueEvent(40, 0x90, 60, 100, 0, 0);
    midi.QueueEvent(-5, 0x90, 50, 100, 0, 0); // late: due at once
    EXPECT_EQ(midi.DispatchUntil(0), 40);
    EXPECT_TRUE(midi.NoteActive(50));
    EXPECT_EQ(midi.DispatchUntil(31), 40);
    midi.AdvanceQueue(32);
    EXPECT_EQ(midi.DispatchUntil(0), 8);
    EXPECT_FALSE(midi.NoteActive(60));
    EXPECT_EQ(midi.DispatchUntil(8), 0);
    EXPECT_TRUE(midi.NoteActive(60));

    // Extreme positions neither wrap around nor lose their order.
    midi.QueueEvent(INT_MAX, 0x90, 70, 100, 0, 0);
    midi.QueueEvent(INT_MIN, 0x90, 71, 100, 0, 0);
    midi.AdvanceQueue(INT_MAX); // both become due: at 0 and at the lowest position
    EXPECT_EQ(midi.DispatchUntil(0), 0);
    EXPECT_TRUE(midi.NoteActive(70));
    EXPECT_TRUE(midi.NoteActive(71));
    midi.QueueEvent(INT_MIN + 6, 0x90, 72, 100, 0, 0);
    midi.QueueEvent(-INT_MAX, 0x90, 73, 100, 0, 0);
    midi.AdvanceQueue(-INT_MAX); // later: both at or before frame 5
    EXPECT_EQ(midi.DispatchUntil(4), 5);
    EXPECT_TRUE(midi.NoteActive(73));
    EXPECT_FALSE(midi.NoteActive(72));
    midi.QueueEvent(100, 0x90, 74, 100, 0, 0);
    midi.ClearQueue();
    EXPECT_EQ(midi.QueuedEventCount(), 0);
    EXPECT_EQ(midi.DispatchUntil(INT_MAX), 0);
}

TEST_F(MidiHandlerTest, FullQueueDropsFurtherEventsAndTheRingStaysOrderedAcrossItsEnd) {
    Setup(8, 0, 0);
    for (int i = 0; i < TMidiHandler::kQueueCapacity + 100; ++i)
        midi.QueueEvent(5, 0xB0, 1, i & 127, 0, 0);
    EXPECT_EQ(midi.QueuedEventCount(), TMidiHandler::kQueueCapacity);
    EXPECT_EQ(midi.DroppedEventCount(), 100);
    midi.DispatchUntil(5);
    EXPECT_EQ(midi.controllers.size(), static_cast<std::size_t>(TMidiHandler::kQueueCapacity));
    EXPECT_EQ(midi.controllers.back().first, (TMidiHandler::kQueueCapacity - 1) & 127);

    // Blocks of events in reverse frame order, placed so that the ring wraps in the middle of a block.
    for (int round = 0; round < 5; ++round) {
        midi.Clear();
        for (int i = 0; i < 1500; ++i)
            midi.QueueEvent(1500 - i, 0xB0, 7, 0, 0, 0);
        for (int i = 0; i < 1500; ++i)
            midi.QueueEvent(1500 - i, 0xE0, i & 127, i >> 7, 0, 0);
        midi.DispatchUntil(10000);
        ASSERT_EQ(midi.controllers.size(), 1500u); // controller 7 is not bound: only the bends act
        // Frame f carried bend i = 1500 − f; in frame order they arrive with i falling.
        for (std::size_t k = 0; k < 1500; ++k) {
            const int i = 1499 - static_cast<int>(k);
            ASSERT_EQ(midi.controllers[k], (Controller{'b', i & 127, i >> 7})) << k;
        }
    }
}

TEST_F(MidiHandlerTest, DispatchAllocatesNothing) {
    Setup(4, 0, 2);
    midi.SetAssignment(20, 3);
    midi.SetEditorNote(64);
    test::ScopedAllocationCounter counter;
    for (int block = 0; block < 50; ++block) {
        for (int i = 0; i < 40; ++i) {
            midi.QueueEvent(i, 0x90, 40 + i, 90, 0, 0);
            midi.QueueEvent(i + 1, 0x80, 40 + i, 0, 0, 0);
            midi.QueueEvent(i, 0xB0, 64 + (i & 7), i * 3, 0, 0);
            midi.QueueEvent(i, 0xB0, 20, i, 0, 0);
        }
        for (int pos = 0; pos < 64; pos += 16)
            midi.DispatchUntil(pos);
        midi.AdvanceQueue(64);
    }
    EXPECT_EQ(counter.Count(), 0u);
}

// Filters and transposition --------------------------------------------------------------------

TEST_F(MidiHandlerTest, ChannelFilterDropsEveryMessageOfOtherChannels) {
    Setup(8, 0, 1);
    midi.SetMidiChannel(3);
    midi.Send(0x90, 60, 100); // channel 1
    midi.Send(0xE0, 0, 0);
    midi.Send(0xB2, 1, 50); // channel 3
    midi.Send(0x92, 61, 100);
    EXPECT_FALSE(midi.NoteActive(60));
    EXPECT_TRUE(midi.NoteActive(61));
    EXPECT_EQ(midi.controllers, (std::vector<Controller>{{'m', 50, 0}}));
    midi.SetMidiChannel(0);
    midi.Send(0x9F, 62, 100);
    EXPECT_TRUE(midi.NoteActive(62));
    midi.SetMidiChannel(99); // clamped to 16
    EXPECT_EQ(midi.MidiChannel(), 16);
}

TEST_F(MidiHandlerTest, KeyRangeAppliesToTheReceivedNoteBeforeTransposition) {
    Setup(8, 0, 1);
    midi.SetRangeLow(60);
    midi.SetRangeHigh(72);
    midi.SetTransposeSemitones(5);
    midi.On(59);
    midi.On(73);
    EXPECT_EQ(midi.QueuedEventCount(), 0);
    EXPECT_TRUE(midi.starts.empty());
    midi.On(60);
    EXPECT_EQ(midi.starts, (std::vector<Start>{{0, 65, 100, false}}));
    // Narrowing the range while the key is held does not strand its note: the note-off passes.
    midi.SetRangeLow(70);
    midi.Off(60);
    EXPECT_FALSE(midi.NoteActive(65));
    midi.SetRangeLow(-4);
    midi.SetRangeHigh(300);
    EXPECT_EQ(midi.RangeLow(), 0);
    EXPECT_EQ(midi.RangeHigh(), 127);
}

TEST_F(MidiHandlerTest, TranspositionShiftsNotesAndReleasesSoundingOnes) {
    Setup(8, 0, 1);
    midi.SetTransposeSemitones(-2);
    midi.SetTransposeOctaves(1);
    midi.On(60);
    EXPECT_TRUE(midi.NoteActive(70));
    midi.On(120); // 130 lies beyond the keyboard
    EXPECT_EQ(midi.starts.size(), 1u);

    midi.SetTransposeOctaves(0); // releases note 70
    EXPECT_FALSE(midi.NoteActive(70));
    EXPECT_EQ(midi.releases, std::vector<int>{0});
    // The key still held from before the change is no fall-back candidate afterwards.
    midi.On(64);
    midi.Off(64);
    EXPECT_FALSE(midi.NoteActive(70));
    EXPECT_FALSE(midi.NoteActive(58));
    EXPECT_EQ(midi.starts.size(), 2u);
}

// Voice allocation -----------------------------------------------------------------------------

TEST_F(MidiHandlerTest, AssignModeZeroTakesTheLowestFreeVoiceAndStealsLegato) {
    Setup(2, 0, 1);
    midi.On(60, 90);
    midi.On(62, 91);
    EXPECT_EQ(midi.VoiceState(0), TMidiHandler::kVoiceHeld);
    EXPECT_EQ(midi.VoiceState(1), TMidiHandler::kVoiceHeld);
    // Third note: voice 0 is stolen and continues legato.
    midi.On(64, 92);
    EXPECT_EQ(midi.releases, std::vector<int>{0});
    EXPECT_EQ(midi.starts.back(), (Start{0, 64, 92, true}));
    EXPECT_FALSE(midi.NoteActive(60));
    EXPECT_TRUE(midi.KeyDown(60));
    // Releasing it falls back to the highest held key without a voice, with the released key's velocity.
    midi.Off(64);
    EXPECT_EQ(midi.starts.back(), (Start{0, 60, 92, true}));
    EXPECT_EQ(midi.VoiceNote(0), 60);
    // A voice in its release counts as free.
    midi.Off(60);
    EXPECT_EQ(midi.VoiceState(0), TMidiHandler::kVoiceReleased);
    midi.On(67);
    EXPECT_EQ(midi.starts.back(), (Start{0, 67, 100, false}));

    // With every voice held again the steals walk round-robin from voice 0.
    midi.Clear();
    midi.On(69);
    midi.On(71);
    EXPECT_EQ(midi.releases, (std::vector<int>{0, 1}));
    EXPECT_EQ(midi.starts[0].voice, 0);
    EXPECT_EQ(midi.starts[1].voice, 1);
}

TEST_F(MidiHandlerTest, AssignModeOneTakesVoicesInReleaseOrder) {
    Setup(3, 1, 1);
    midi.On(60);
    midi.Off(60);
    midi.On(62); // not voice 0 again: voices rotate
    EXPECT_EQ(midi.starts.back().voice, 1);
    midi.On(64);
    midi.On(65); // voice 0, released first
    EXPECT_EQ(midi.starts.back().voice, 0);
    // All three held: the next note takes the voice next in the ring, releasing its note, not legato.
    midi.Clear();
    midi.On(67);
    EXPECT_EQ(midi.releases, std::vector<int>{1});
    EXPECT_EQ(midi.starts, (std::vector<Start>{{1, 67, 100, false}}));
    EXPECT_FALSE(midi.NoteActive(62));
    // With the legato pedal down the start is legato.
    midi.Cc(68, 127);
    midi.On(69);
    EXPECT_TRUE(midi.starts.back().legato);
    // Falling back in mode 1 follows the legato pedal.
    midi.Cc(68, 0);
    midi.Off(69);
    EXPECT_EQ(midi.starts.back(), (Start{2, 64, 100, false}));
}

TEST_F(MidiHandlerTest, RetriggerModesDecideWhatARepeatedNoteDoes) {
    Setup(4, 0, 0);
    midi.On(60, 100);
    midi.On(60, 50); // ignored
    EXPECT_EQ(midi.starts.size(), 1u);
    EXPECT_TRUE(midi.releases.empty());

    Setup(4, 0, 1);
    midi.On(60, 100);
    midi.On(61, 100);
    midi.On(60, 50); // restarts voice 0 in place
    EXPECT_EQ(midi.starts.back(), (Start{0, 60, 50, false}));
    EXPECT_TRUE(midi.releases.empty());

    Setup(4, 0, 2);
    midi.On(60, 100);
    midi.On(61, 100);
    midi.On(60, 50); // released, then a new voice: the lowest free one is its own, in release
    EXPECT_EQ(midi.releases, std::vector<int>{0});
    EXPECT_EQ(midi.starts.back(), (Start{0, 60, 50, false}));

    Setup(4, 1, 2);
    midi.On(60, 100);
    midi.On(60, 50); // mode 1: the released voice goes to the end of the ring
    EXPECT_EQ(midi.releases, std::vector<int>{0});
    EXPECT_EQ(midi.starts.back().voice, 1);
}

TEST_F(MidiHandlerTest, VoiceCountResetsStatesAndBoundsAllocation) {
    Setup(3, 0, 1);
    midi.On(60);
    midi.On(61);
    midi.On(62);
    midi.On(63); // steals voice 0: never voice 3
    for (const Start& s : midi.starts)
        EXPECT_LT(s.voice, 3);
    midi.SetVoiceCount(5);
    for (int v = 0; v < TMidiHandler::kMaxVoices; ++v) {
        EXPECT_EQ(midi.VoiceState(v), TMidiHandler::kVoiceIdle);
        EXPECT_EQ(midi.VoiceNote(v), TMidiHandler::kNoVoiceNote);
    }
    EXPECT_FALSE(midi.NoteActive(63));
    midi.SetVoiceCount(0);
    EXPECT_EQ(midi.VoiceCount(), 1);
    midi.SetVoiceCount(100000);
    EXPECT_EQ(midi.VoiceCount(), TMidiHandler::kMaxVoices);
    for (int n = 0; n < 128; ++n)
        midi.On(n);
    EXPECT_EQ(midi.NoteVoice(127), 127);
    midi.SetAssignMode(7);
    EXPECT_EQ(midi.AssignMode(), 1);
    midi.SetRetriggerMode(-3);
    EXPECT_EQ(midi.RetriggerMode(), 0);
}

TEST_F(MidiHandlerTest, VoiceFinishedMakesOnlyReleasedVoicesIdle) {
    Setup(2, 0, 1);
    midi.On(60);
    midi.On(62);
    midi.Off(60);
    midi.VoiceFinished(0);
    midi.VoiceFinished(1); // held: stays held
    midi.VoiceFinished(-1);
    midi.VoiceFinished(999);
    EXPECT_EQ(midi.VoiceState(0), TMidiHandler::kVoiceIdle);
    EXPECT_EQ(midi.VoiceState(1), TMidiHandler::kVoiceHeld);
    EXPECT_EQ(midi.VoiceState(-1), TMidiHandler::kVoiceIdle);
    EXPECT_EQ(midi.VoiceNote(999), TMidiHandler::kNoVoiceNote);
}

// Note-offs and pedals -------------------------------------------------------------------------

TEST_F(MidiHandlerTest, NoteOnWithVelocityZeroReleases) {
    Setup(4, 0, 1);
    midi.On(60);
    midi.Send(0x90, 60, 0);
    EXPECT_FALSE(midi.NoteActive(60));
    EXPECT_EQ(midi.releases, std::vector<int>{0});
}

TEST_F(MidiHandlerTest, SustainHoldsReleasedKeysUntilThePedalRises) {
    Setup(4, 0, 0);
    midi.On(60);
    midi.On(62);
    midi.Cc(64, 127);
    midi.Off(60);
    midi.Off(62);
    midi.On(62); // pressed again while held (retrigger mode 0: keeps sounding) — no longer to be released
    EXPECT_TRUE(midi.releases.empty());
    midi.Cc(64, 100); // still down
    midi.Cc(64, 0);
    EXPECT_EQ(midi.releases, std::vector<int>{0});
    EXPECT_TRUE(midi.NoteActive(62));
    midi.Off(62);
    EXPECT_FALSE(midi.NoteActive(62));
}

TEST_F(MidiHandlerTest, SostenutoHoldsOnlyTheNotesSoundingWhenItWentDown) {
    Setup(4, 0, 1);
    midi.On(60);
    midi.Cc(66, 127);
    midi.On(64);
    midi.Cc(66, 90); // a continuous pedal repeating "down" does not take in note 64
    midi.Off(60);
    midi.Off(64);
    EXPECT_TRUE(midi.NoteActive(60));
    EXPECT_FALSE(midi.NoteActive(64));
    midi.Cc(66, 0);
    EXPECT_FALSE(midi.NoteActive(60));

    // Both pedals: lifting one releases only what the other no longer holds.
    midi.On(60);
    midi.Cc(66, 127);
    midi.Cc(64, 127);
    midi.On(64);
    midi.Off(60);
    midi.Off(64);
    midi.Cc(66, 0);
    EXPECT_TRUE(midi.NoteActive(60)); // sustain still holds both
    EXPECT_TRUE(midi.NoteActive(64));
    midi.On(67);
    midi.Off(67);
    EXPECT_TRUE(midi.NoteActive(67)); // and keeps sustaining new notes
    midi.Cc(64, 0);
    EXPECT_FALSE(midi.NoteActive(60));
    EXPECT_FALSE(midi.NoteActive(64));
    EXPECT_FALSE(midi.NoteActive(67));
}

TEST_F(MidiHandlerTest, Hold2SwitchesTheReleaseTimeAndResetLiftsIt) {
    Setup(4, 0, 1);
    midi.SetReleaseTime(0.3f);
    midi.SetHold2ReleaseTime(4.0f);
    EXPECT_FLOAT_EQ(midi.CurrentReleaseTime(), 0.3f);
    midi.Cc(69, 64);
    EXPECT_EQ(midi.hold2Calls, 1);
    EXPECT_FLOAT_EQ(midi.CurrentReleaseTime(), 4.0f);
    midi.Cc(69, 63);
    EXPECT_EQ(midi.hold2Calls, 2);
    EXPECT_FLOAT_EQ(midi.CurrentReleaseTime(), 0.3f);
    midi.Cc(69, 127);
    midi.SetVoiceCount(8); // resets the pedals, and the release time follows
    EXPECT_EQ(midi.hold2Calls, 4);
    EXPECT_FALSE(midi.Hold2Pedal());
    EXPECT_FLOAT_EQ(midi.CurrentReleaseTime(), 0.3f);
}

TEST_F(MidiHandlerTest, AllNotesOffReleasesEveryVoice) {
    Setup(4, 0, 1);
    midi.On(60);
    midi.On(61);
    midi.On(62);
    midi.Cc(123, 0);
    EXPECT_EQ(midi.releases, (std::vector<int>{0, 1, 2}));
    for (int v = 0; v < 3; ++v)
        EXPECT_EQ(midi.VoiceState(v), TMidiHandler::kVoiceReleased);
}

// Controllers, programs and learning -----------------------------------------------------------

TEST_F(MidiHandlerTest, ControllersReachTheirActions) {
    Setup(4, 0, 1);
    midi.Send(0xA0, 60, 33); // polyphonic pressure: its value byte
    midi.Send(0xD0, 44);     // channel pressure
    midi.Send(0xE0, 0x12, 0x34);
    midi.Cc(1, 10);
    midi.Cc(2, 20);
    midi.Cc(11, 0);
    midi.Cc(67, 70);
    midi.Send(0xC0, 12);
    midi.Cc(0, 5);  // bank select and other fixed controllers do nothing
    midi.Cc(7, 99); // learnable but unbound
    EXPECT_EQ(midi.controllers, (std::vector<Controller>{{'a', 33, 0},
                                                         {'a', 44, 0},
                                                         {'b', 0x12, 0x34},
                                                         {'m', 10, 0},
                                                         {'r', 20, 0},
                                                         {'e', 0, 0},
                                                         {'s', 70, 0},
                                                         {'p', 12, 0}}));
}

TEST_F(MidiHandlerTest, LearningBindsFreeControllersAndForgettingUnbindsThem) {
    Setup(4, 0, 1);
    midi.SetLearnMode(TMidiHandler::kLearnBind);
    midi.SetLearnParameter(26);
    midi.Cc(7, 64);
    EXPECT_EQ(midi.Assignment(7), 26);
    EXPECT_EQ(midi.LearnParameter(), -1);
    EXPECT_TRUE(midi.TakeAssignmentsChanged());
    EXPECT_FALSE(midi.TakeAssignmentsChanged());
    EXPECT_EQ(midi.controllers.back(), (Controller{'l', 7, 64}));
    // A bound controller keeps its binding; it only drives its parameter.
    midi.SetLearnParameter(30);
    midi.Cc(7, 127);
    EXPECT_EQ(midi.Assignment(7), 26);
    EXPECT_EQ(midi.LearnParameter(), 30);
    EXPECT_EQ(midi.controllers.back(), (Controller{'l', 7, 127}));
    // A non-learnable controller never binds.
    midi.Cc(64, 127);
    EXPECT_EQ(midi.Assignment(64), -1);

    midi.SetLearnMode(TMidiHandler::kLearnForget);
    midi.Cc(7, 3);
    EXPECT_EQ(midi.Assignment(7), -1);
    EXPECT_TRUE(midi.TakeAssignmentsChanged());
    EXPECT_EQ(midi.controllers.back(), (Controller{'l', 7, 127})); // unbound: no parameter moves

    std::array<int, TMidiHandler::kControllerCount> table{};
    table.fill(-1);
    table[20] = 5;
    table[21] = -9;
    midi.SetAssignments(table);
    EXPECT_EQ(midi.LearnMode(), TMidiHandler::kLearnOff);
    EXPECT_EQ(midi.Assignments()[20], 5);
    EXPECT_EQ(midi.Assignment(21), -1);
    EXPECT_EQ(midi.Assignment(128), -1);
    midi.SetLearnMode(9);
    EXPECT_EQ(midi.LearnMode(), TMidiHandler::kLearnOff);
}

// The on-screen keyboard -----------------------------------------------------------------------

TEST_F(MidiHandlerTest, EditorNoteSoundsAtTheNextDispatchWithVelocity80) {
    Setup(4, 0, 1);
    midi.SetTransposeSemitones(2);
    midi.SetEditorNote(60);
    EXPECT_TRUE(midi.starts.empty());
    midi.DispatchUntil(0);
    EXPECT_EQ(midi.starts, (std::vector<Start>{{0, 62, 80, false}}));
    midi.DispatchUntil(16); // unchanged: nothing happens
    EXPECT_EQ(midi.starts.size(), 1u);
    midi.SetEditorNote(-1);
    midi.DispatchUntil(32);
    EXPECT_EQ(midi.releases, std::vector<int>{0});

    // After a transposition change the editor's release must not stop a note the keyboard plays now.
    midi.SetEditorNote(60);
    midi.DispatchUntil(0);
    midi.SetTransposeSemitones(0); // stops note 62
    midi.On(62);
    midi.SetEditorNote(-1);
    midi.DispatchUntil(0);
    EXPECT_TRUE(midi.NoteActive(62));
    midi.SetEditorNote(500);
    EXPECT_EQ(midi.EditorNote(), -1);
}

// Bad input ------------------------------------------------------------------------------------

TEST_F(MidiHandlerTest, MalformedBytesAndArgumentsAreHarmless) {
    Setup(4, 0, 1);
    midi.Send(0x45, 60, 100); // no status bit
    midi.Send(0xF8, 0, 0);    // system real-time
    midi.Send(0xF0, 0x7E, 0x7F);
    EXPECT_EQ(midi.QueuedEventCount(), 0);
    EXPECT_TRUE(midi.starts.empty());
    EXPECT_TRUE(midi.controllers.empty());

    // Data bytes with the high bit set make a message malformed; an unused byte is not looked at.
    midi.Send(0x90, 200, 100);
    midi.Send(0x90, 60, 250);
    midi.Send(0xE0, 0, 255);
    EXPECT_TRUE(midi.starts.empty());
    EXPECT_TRUE(midi.controllers.empty());
    midi.Send(0xC0, 5, 255);
    midi.Send(0xD0, 6, 200);
    EXPECT_EQ(midi.controllers, (std::vector<Controller>{{'p', 5, 0}, {'a', 6, 0}}));

    midi.StartNote(-1, 100, false);
    midi.StartNote(128, 100, false);
    EXPECT_FALSE(midi.StopNote(-7, 0));
    EXPECT_FALSE(midi.StopNote(1000, 0));
    midi.ControlChange(-1, 0);
    midi.ControlChange(1000, 0);
    midi.ControlChange(1, 1000); // value clamped
    EXPECT_EQ(midi.controllers.back(), (Controller{'m', 127, 0}));
    midi.SetTransposeSemitones(INT_MAX);
    midi.SetTransposeOctaves(INT_MIN);
    midi.On(60);
    EXPECT_EQ(midi.TransposeSemitones() + 12 * midi.TransposeOctaves(), 127 - 120);
}

// Random bytes, positions and settings: nothing reads out of bounds (this runs under the sanitizers in
// CI), and the bookkeeping of notes and voices stays consistent after every block.
TEST_F(MidiHandlerTest, RandomTrafficKeepsNotesAndVoicesConsistent) {
    std::mt19937 random(1234);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int block = 0; block < 3000; ++block) {
        switch (pick(0, 12)) {
        case 0:
            midi.SetVoiceCount(pick(-5, 300));
            break;
        case 1:
            midi.SetAssignMode(pick(-1, 2));
            break;
        case 2:
            midi.SetRetriggerMode(pick(-1, 3));
            break;
        case 3:
            midi.SetTransposeSemitones(pick(-20, 20));
            break;
        case 4:
            midi.SetMidiChannel(pick(-1, 17));
            break;
        case 5:
            midi.SetEditorNote(pick(-2, 130));
            break;
        case 6:
            midi.SetVoiceCount(pick(1, 4));
            break;
        default:
            break;
        }
        for (int e = pick(0, 40); e > 0; --e) {
            const int frame = pick(0, 20) == 0 ? (pick(0, 1) ? INT_MAX : INT_MIN) : pick(-10, 100);
            // Mostly channel messages on channel 1, now and then any byte at all.
            const int status = pick(0, 5) == 0 ? pick(0, 255) : (0x80 + 16 * pick(0, 6));
            const int d1 = pick(0, 9) == 0 ? pick(0, 255) : pick(36, 84);
            const int d2 = pick(0, 9) == 0 ? pick(0, 255) : pick(0, 127);
            midi.QueueEvent(frame, static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(d1),
                            static_cast<std::uint8_t>(d2), static_cast<std::uint8_t>(pick(0, 255)), 0);
        }
        for (int pos = 0; pos < 64; pos += 16)
            midi.DispatchUntil(pos);
        midi.AdvanceQueue(64);
        for (int v = 0; v < TMidiHandler::kMaxVoices; ++v)
            if (pick(0, 3) == 0) midi.VoiceFinished(v);

        for (int note = 0; note < TMidiHandler::kNoteCount; ++note) {
            if (!midi.NoteActive(note)) continue;
            const int voice = midi.NoteVoice(note);
            ASSERT_GE(voice, 0);
            ASSERT_LT(voice, midi.VoiceCount()) << block;
            ASSERT_EQ(midi.VoiceNote(voice), note) << block;
            ASSERT_EQ(midi.VoiceState(voice), TMidiHandler::kVoiceHeld) << block;
        }
        for (int v = 0; v < TMidiHandler::kMaxVoices; ++v) {
            if (v >= midi.VoiceCount()) {
                ASSERT_EQ(midi.VoiceState(v), TMidiHandler::kVoiceIdle) << block;
            } else if (midi.VoiceState(v) == TMidiHandler::kVoiceHeld) {
                const int note = midi.VoiceNote(v);
                ASSERT_TRUE(midi.NoteActive(note) && midi.NoteVoice(note) == v) << block;
            }
        }
        for (const Start& start : midi.starts)
            ASSERT_LT(start.voice, TMidiHandler::kMaxVoices);
        midi.Clear();
    }
}

} // namespace
} // namespace quillon
