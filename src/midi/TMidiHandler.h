// MIDI handler: receives the host's MIDI events, keeps them in a queue ordered by frame position, and
// releases them to the synthesizer at their frame while the render loop works through a block in
// sub-blocks. It filters by channel and key range, transposes, tracks held keys and pedals, assigns notes
// to a pool of voices (stealing when none is free) and turns controllers into modulation-source values,
// learned parameter changes and program changes. The musical actions (VoiceStart, PitchBend, ...) are
// empty virtual operations here; a derived class routes them into a synthesizer.
//
// Design note.
// - Nothing here allocates after construction. The event queue is a fixed ring of kQueueCapacity events;
//   events beyond it in one block are dropped (DroppedEventCount counts them). Events are inserted in
//   frame order, stably: events of one frame keep the order in which the host delivered them, and hosts
//   that deliver unsorted lists are served in frame order all the same.
// - Per-voice tables are sized for kMaxVoices voices once; SetVoiceCount changes only the count, so the
//   render loop can never read freed memory. Voices at or above the count are always idle.
// - Threads. Event intake, dispatch, the note and controller operations and the setters (reached from
//   the plug-in's parameter changes) run on the audio thread [audio], or on the host's thread while
//   processing is stopped (construction, sample-rate change). What the editor sets — the on-screen note,
//   the learn mode, the armed learn parameter and the controller assignments — is atomic and may be
//   touched from any thread [any]/[gui].
// - Voice states: −1 idle, 0 released (still sounding its release), 1 held. The handler marks a voice held
//   when it starts it and released when it stops it; the synthesizer reports the end of a release with
//   VoiceFinished, after which the voice is idle.
#pragma once

#include "engine/VoiceLimits.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

class TMidiHandler {
public:
    static constexpr int kMaxVoices = quillon::kMaxVoices;
    static constexpr int kQueueCapacity = 4096; // events; a power of two
    static constexpr int kNoteCount = 128;
    static constexpr int kControllerCount = 128;
    static constexpr int kEditorVelocity = 80; // velocity of the on-screen keyboard's notes
    static constexpr int kNoVoiceNote = 255;   // VoiceNote of a voice that never played

    // Voice states.
    static constexpr int kVoiceIdle = -1;
    static constexpr int kVoiceReleased = 0;
    static constexpr int kVoiceHeld = 1;

    // Learn modes.
    static constexpr int kLearnOff = 0;
    static constexpr int kLearnBind = 1;   // the next moved unbound controller takes the armed parameter
    static constexpr int kLearnForget = 2; // every moved bound controller is unbound

    // Controllers with a fixed meaning.
    static constexpr int kCcModWheel = 1;
    static constexpr int kCcBreath = 2;
    static constexpr int kCcExpression = 11;
    static constexpr int kCcSustain = 64;
    static constexpr int kCcSostenuto = 66;
    static constexpr int kCcSoftPedal = 67;
    static constexpr int kCcLegato = 68;
    static constexpr int kCcHold2 = 69;
    static constexpr int kCcAllNotesOff = 123;

    TMidiHandler();
    virtual ~TMidiHandler();
    TMidiHandler(const TMidiHandler&) = delete;
    TMidiHandler& operator=(const TMidiHandler&) = delete;

    // Event queue -------------------------------------------------------------------------------
    // Queues one event at a frame of the current block (negative frames are due at once). Events off the
    // MIDI channel, note events outside the key range (before transposition; note-offs always pass, so
    // that a range change never strands a sounding note), system messages and bytes without a status bit
    // and messages whose data bytes have the high bit set are dropped. Only status, data 1 and data 2 are
    // interpreted (data 2 not for program change and channel pressure). [audio]
    virtual void QueueEvent(int frame, std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::uint8_t data3,
                            std::uint8_t detune);
    // Dispatches every queued event at or before `frame`, then starts or stops the on-screen note.
    // Returns the frame of the next queued event, 0 if none is left. An action that calls EndDispatch
    // ends it early: the events after that one stay queued (the returned frame may then be at or before
    // `frame`) and the on-screen note waits too. [audio]
    virtual int DispatchUntil(int frame);
    // Called by an action during DispatchUntil: the events behind the one being dispatched wait for the
    // next DispatchUntil (a program change holds back the notes that follow it until the new program is
    // in place). [audio]
    void EndDispatch() { dispatchEnded_ = true; }
    // True when the last DispatchUntil ended early and left due events queued. [audio]
    bool DispatchEnded() const { return dispatchEnded_; }
    // Moves the remaining events back by a processed block of `frames`. [audio]
    virtual void AdvanceQueue(int frames);
    // Discards every queued event; the on-screen note is started again at the next dispatch. [audio]
    void ClearQueue();
    int QueuedEventCount() const { return queueCount_; }           // [audio]
    long long DroppedEventCount() const { return droppedEvents_; } // events lost to a full queue [audio]

    // Notes and voices [audio] -----------------------------------------------------------------
    // Starts `note` (0..127, transposed) on a voice. `legato` asks the voice to continue its envelopes.
    virtual void StartNote(int note, int velocity, bool legato);
    // Releases the voice of `note`; false when the note had no voice.
    virtual bool StopNote(int note, int velocity);
    // Controller `controller` (0..127) moved to `value` (0..127): pedals, routing sources, MIDI learn.
    virtual void ControlChange(int controller, int value);
    // Silences every voice at once (all idle) and forgets keys, pedals and the allocation order.
    void Reset();
    // A released voice has fallen silent and becomes idle; held voices and bad indices are left alone.
    void VoiceFinished(int voice);
    int VoiceState(int voice) const; // −1 idle, 0 released, 1 held; −1 out of range
    int VoiceNote(int voice) const;  // the note the voice plays or last played, 255 for none
    bool NoteActive(int note) const; // the note owns a voice
    int NoteVoice(int note) const;   // the voice of an active note, −1 otherwise
    bool KeyDown(int note) const;    // the player holds the key (transposed number)
    bool SustainPedal() const { return sustainPedal_; }
    bool SostenutoPedal() const { return sostenutoPedal_; }
    bool LegatoPedal() const { return legatoPedal_; }
    bool Hold2Pedal() const { return hold2Pedal_; }

    // Musical actions, empty here; a synthesizer overrides them [audio] -------------------------
    virtual void Aftertouch(int value) { (void)value; }                // 0..127
    virtual void PitchBend(int lsb, int msb) { (void)lsb, (void)msb; } // 14 bits, centre msb 64 lsb 0
    virtual void ModWheel(int value) { (void)value; }                  // 0..127
    virtual void Breath(int value) { (void)value; }                    // 0..127
    virtual void Expression(int value) { (void)value; }                // 0..127
    virtual void SoftPedal(int value) { (void)value; }                 // 0..127
    // A bound controller moved: its parameter is Assignment(controller).
    virtual void LearnedControl(int controller, int value) { (void)controller, (void)value; }
    // Starts voice `voice` on VoiceNote(voice) with velocity 0..127.
    virtual void VoiceStart(int voice, int velocity, bool legato) { (void)voice, (void)velocity, (void)legato; }
    // Releases voice `voice`: its envelopes enter their release.
    virtual void VoiceRelease(int voice) { (void)voice; }
    // The hold-2 pedal moved: the release time is now CurrentReleaseTime().
    virtual void Hold2Changed() {}
    // Every voice was silenced at once (Reset): the synthesizer stops rendering them.
    virtual void VoicesReset() {}
    virtual void ProgramChange(int program) { (void)program; } // 0..127

    // Settings, reached from parameter changes [audio] ------------------------------------------
    // Voice count, clamped to 1..kMaxVoices; a change silences every voice (Reset).
    virtual void SetVoiceCount(int count);
    // Amplitude release times in seconds with the hold-2 pedal up and down.
    virtual void SetReleaseTime(float seconds) { releaseTime_ = seconds; }
    virtual void SetHold2ReleaseTime(float seconds) { hold2ReleaseTime_ = seconds; }
    // The amplitude envelope's release time for the current state of the hold-2 pedal.
    virtual float CurrentReleaseTime() const { return hold2Pedal_ ? hold2ReleaseTime_ : releaseTime_; }
    // 0 lowest free voice (stealing round-robin when none is free), 1 voices in the order they were
    // released; clamped; a change silences every voice.
    void SetAssignMode(int mode);
    // What a note-on of a sounding note does: 0 nothing, 1 restart its voice, 2 release it and start a new
    // voice; clamped; a change silences every voice.
    void SetRetriggerMode(int mode);
    void SetMidiChannel(int channel); // 0 every channel, 1..16 that channel only; clamped
    void SetRangeLow(int note);       // lowest accepted note, 0..127
    void SetRangeHigh(int note);      // highest accepted note, 0..127
    // Transposition (semitones −127..127, octaves −10..10); a change releases every sounding note.
    void SetTransposeSemitones(int semitones);
    void SetTransposeOctaves(int octaves);

    int VoiceCount() const { return voiceCount_; }
    int AssignMode() const { return assignMode_; }
    int RetriggerMode() const { return retriggerMode_; }
    int MidiChannel() const { return midiChannel_; }
    int RangeLow() const { return rangeLow_; }
    int RangeHigh() const { return rangeHigh_; }
    int TransposeSemitones() const { return transposeSemitones_; }
    int TransposeOctaves() const { return transposeOctaves_; }
    float ReleaseTime() const { return releaseTime_; }
    float Hold2ReleaseTime() const { return hold2ReleaseTime_; }

    // The editor ----------------------------------------------------------------------------------
    // The note the on-screen keyboard wants sounding (0..127, before transposition), −1 for none; started
    // with velocity 80 at the next dispatch. [any]
    void SetEditorNote(int note);
    int EditorNote() const { return editorNote_.load(std::memory_order_relaxed); } // [any]

    // MIDI learn ----------------------------------------------------------------------------------
    // Learn mode (kLearnOff, kLearnBind, kLearnForget; others count as off); disarms the parameter. [any]
    void SetLearnMode(int mode);
    int LearnMode() const { return learnMode_.load(std::memory_order_relaxed); } // [any]
    // Arms a parameter index for learning, −1 for none (the editor arms the control the user touches). [any]
    void SetLearnParameter(int parameter);
    int LearnParameter() const { return learnParameter_.load(std::memory_order_relaxed); } // [any]
    // Parameter index bound to a controller, −1 for none or out of range. [any]
    int Assignment(int controller) const;
    // Binds a controller to a parameter index (negative unbinds). [any]
    void SetAssignment(int controller, int parameter);
    // Replaces the whole table (128 entries, controller → parameter, −1 for none), e.g. from the
    // assignment file; learning and the armed parameter are reset. [gui]
    void SetAssignments(std::span<const int, kControllerCount> table);
    std::array<int, kControllerCount> Assignments() const; // a copy of the table [any]
    // True once after learning has bound or unbound a controller on the audio thread, so that the owner
    // of the assignment file writes it from its own thread. [gui]
    bool TakeAssignmentsChanged() { return assignmentsChanged_.exchange(false, std::memory_order_acq_rel); }
    // Controllers that MIDI learn may bind: 3 to 5, 7 to 10, 12 to 31, 33 to 37, 39 to 63, 65, 70 to 95
    // and 102 to 119.
    static bool Learnable(int controller);

private:
    struct QueuedEvent {
        int frame;
        std::uint8_t status, data1, data2, data3, detune;
    };

    QueuedEvent& EventAt(int index) {
        return queue_[static_cast<std::size_t>((queueFirst_ + index) & (kQueueCapacity - 1))];
    }
    void DispatchEvent(const QueuedEvent& event);
    void NoteOff(int note, int velocity);
    void NoteOn(int note, int velocity);
    bool HeldByPedal(int note) const { return sustainPedal_ || sostenutoHeld_[static_cast<std::size_t>(note)]; }
    // Releases the notes whose keys went up while a pedal held them and that no pedal holds any more.
    void ReleasePendingNotes();
    void LearnStep(int controller);
    void StopAllNotes();
    // After a transposition change: releases every note and forgets the held keys.
    void ForgetTransposedKeys();
    int Transposition() const { return transposeSemitones_ + 12 * transposeOctaves_; }
    void ClearVoicesAndKeys();

    // Settings.
    int voiceCount_ = 1;
    int assignMode_ = 0;
    int retriggerMode_ = 0;
    int midiChannel_ = 0;
    int rangeLow_ = 0;
    int rangeHigh_ = 127;
    int transposeSemitones_ = 0;
    int transposeOctaves_ = 0;
    float releaseTime_ = 0.25f;
    float hold2ReleaseTime_ = 0.6f;

    // Event queue: a ring of kQueueCapacity events sorted by frame from queueFirst_ on.
    std::vector<QueuedEvent> queue_;
    int queueFirst_ = 0;
    int queueCount_ = 0;
    long long droppedEvents_ = 0;
    bool dispatchEnded_ = false; // an action ended the running DispatchUntil

    // Keys, pedals and voices (audio thread).
    std::array<bool, kNoteCount> keyDown_{};
    std::array<std::uint8_t, kNoteCount> keyVelocity_{};
    std::array<bool, kNoteCount> noteActive_{};
    std::array<std::uint8_t, kNoteCount> voiceOfNote_{};
    std::array<bool, kNoteCount> sostenutoHeld_{};  // held by the sostenuto pedal
    std::array<bool, kNoteCount> releasePending_{}; // key went up while a pedal held the note
    bool sustainPedal_ = false;
    bool sostenutoPedal_ = false;
    bool legatoPedal_ = false;
    bool hold2Pedal_ = false;
    std::array<std::int8_t, kMaxVoices> voiceState_{};
    std::array<std::uint8_t, kMaxVoices> voiceNote_{};
    std::array<std::uint8_t, kMaxVoices> releaseOrder_{}; // ring of voices in release order (assign mode 1)
    int releaseWritePos_ = 0;
    int allocPos_ = 0; // next voice to steal (mode 0) or next ring entry to take (mode 1)

    // The on-screen note.
    std::atomic<int> editorNote_{-1};
    int editorNoteSounding_ = -1; // the editor note last taken over (−1 none)
    int editorNoteStarted_ = -1;  // the transposed note started for it, −1 when not sounding

    // MIDI learn.
    std::atomic<int> learnMode_{kLearnOff};
    std::atomic<int> learnParameter_{-1};
    std::array<std::atomic<int>, kControllerCount> ccAssignment_{};
    std::atomic<bool> assignmentsChanged_{false};
};

} // namespace quillon
