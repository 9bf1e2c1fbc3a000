#include "midi/TMidiHandler.h"

#include <algorithm>
#include <climits>

namespace quillon {

namespace {

static_assert((TMidiHandler::kQueueCapacity & (TMidiHandler::kQueueCapacity - 1)) == 0);

constexpr int kNoteOff = 0x80;
constexpr int kNoteOn = 0x90;
constexpr int kPolyPressure = 0xA0;
constexpr int kControlChange = 0xB0;
constexpr int kProgramChange = 0xC0;
constexpr int kChannelPressure = 0xD0;
constexpr int kPitchBend = 0xE0;
constexpr int kSystem = 0xF0;

constexpr bool ValidNote(int note) {
    return note >= 0 && note < TMidiHandler::kNoteCount;
}
constexpr std::size_t At(int index) {
    return static_cast<std::size_t>(index);
}
bool PedalDown(int value) {
    return value >= 64;
}

} // namespace

TMidiHandler::TMidiHandler() : queue_(static_cast<std::size_t>(kQueueCapacity)) {
    for (auto& entry : ccAssignment_)
        entry.store(-1, std::memory_order_relaxed);
    ClearVoicesAndKeys();
}

TMidiHandler::~TMidiHandler() = default;

// Event queue ------------------------------------------------------------------------------------

void TMidiHandler::QueueEvent(int frame, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                              std::uint8_t data3, std::uint8_t detune) {
    // A data byte where the status belongs (VST events carry no running status) and system messages
    // (the handler acts on none) are not kept.
    if (status < 0x80 || status >= kSystem) return;
    if (midiChannel_ > 0 && (status & 0x0F) != midiChannel_ - 1) return;
    // Only the data bytes the message uses are looked at; one with its high bit set makes the message
    // malformed.
    const int kind = status & 0xF0;
    const bool oneDataByte = kind == kProgramChange || kind == kChannelPressure;
    if (data1 > 127 || (!oneDataByte && data2 > 127)) return;
    if (oneDataByte) data2 = 0;
    const bool noteOn = kind == kNoteOn && data2 > 0;
    if (noteOn && (data1 < rangeLow_ || data1 > rangeHigh_)) return;
    if (queueCount_ >= kQueueCapacity) {
        ++droppedEvents_;
        return;
    }
    // Insertion from the back: O(1) for events that arrive in frame order, and stable for equal frames.
    int position = queueCount_;
    while (position > 0 && EventAt(position - 1).frame > frame) {
        EventAt(position) = EventAt(position - 1);
        --position;
    }
    EventAt(position) = QueuedEvent{frame, status, data1, data2, data3, detune};
    ++queueCount_;
}

int TMidiHandler::DispatchUntil(int frame) {
    dispatchEnded_ = false;
    while (queueCount_ > 0 && frame >= EventAt(0).frame) {
        // Taken off the queue before it acts, so that an action may queue events of its own.
        const QueuedEvent event = EventAt(0);
        queueFirst_ = (queueFirst_ + 1) & (kQueueCapacity - 1);
        --queueCount_;
        DispatchEvent(event);
        if (dispatchEnded_) break;
    }
    const int next = queueCount_ > 0 ? EventAt(0).frame : 0;
    if (dispatchEnded_) return next;

    const int wanted = editorNote_.load(std::memory_order_relaxed);
    // (A note still sounding for a key the editor has let go is stopped too, also after ClearQueue.)
    if (wanted != editorNoteSounding_ || (wanted < 0 && editorNoteStarted_ >= 0)) {
        if (editorNoteStarted_ >= 0) StopNote(editorNoteStarted_, 0);
        editorNoteStarted_ = -1;
        editorNoteSounding_ = wanted;
        const int note = wanted + Transposition();
        if (wanted >= 0 && ValidNote(note)) {
            StartNote(note, kEditorVelocity, legatoPedal_);
            editorNoteStarted_ = note;
        }
    }
    return next;
}

void TMidiHandler::AdvanceQueue(int frames) {
    for (int i = 0; i < queueCount_; ++i) {
        QueuedEvent& event = EventAt(i);
        // Saturating, so that no position wraps around (and the order stays intact).
        const long long moved = static_cast<long long>(event.frame) - frames;
        event.frame = static_cast<int>(std::clamp<long long>(moved, INT_MIN, INT_MAX));
    }
}

void TMidiHandler::ClearQueue() {
    queueFirst_ = 0;
    queueCount_ = 0;
    editorNoteSounding_ = -1;
}

void TMidiHandler::DispatchEvent(const QueuedEvent& event) {
    const int kind = event.status & 0xF0;
    const int d1 = event.data1;
    const int d2 = event.data2;
    switch (kind) {
    case kNoteOff:
        NoteOff(d1 + Transposition(), d2);
        break;
    case kNoteOn:
        if (d2 == 0)
            NoteOff(d1 + Transposition(), 0);
        else
            NoteOn(d1 + Transposition(), d2);
        break;
    case kPolyPressure:
        Aftertouch(d2);
        break;
    case kControlChange:
        ControlChange(d1, d2);
        break;
    case kProgramChange:
        ProgramChange(d1);
        break;
    case kChannelPressure:
        Aftertouch(d1);
        break;
    case kPitchBend:
        PitchBend(d1, d2);
        break;
    default:
        break;
    }
}

// Notes ------------------------------------------------------------------------------------------

void TMidiHandler::NoteOff(int note, int velocity) {
    if (!ValidNote(note)) return;
    const auto n = At(note);
    keyDown_[n] = false;
    if (HeldByPedal(note)) {
        releasePending_[n] = true;
        return;
    }
    if (!StopNote(note, velocity)) return;
    // Fall back to the highest key that is still held but lost its voice (stolen, or started while all
    // voices were busy), with the velocity of the key just released.
    const bool legato = assignMode_ == 0 ? true : legatoPedal_;
    for (int key = kNoteCount - 1; key >= 0; --key) {
        if (keyDown_[At(key)] && !noteActive_[At(key)]) {
            StartNote(key, keyVelocity_[n], legato);
            break;
        }
    }
}

void TMidiHandler::NoteOn(int note, int velocity) {
    if (!ValidNote(note)) return;
    const auto n = At(note);
    keyDown_[n] = true;
    keyVelocity_[n] = static_cast<std::uint8_t>(velocity);
    if (HeldByPedal(note)) releasePending_[n] = false;
    StartNote(note, velocity, legatoPedal_);
}

void TMidiHandler::StartNote(int note, int velocity, bool legato) {
    if (!ValidNote(note)) return;
    velocity = std::clamp(velocity, 0, 127);
    const auto n = At(note);
    if (noteActive_[n]) {
        if (retriggerMode_ == 0) return;
        if (retriggerMode_ == 1) {
            const int voice = voiceOfNote_[n];
            voiceState_[At(voice)] = kVoiceHeld;
            VoiceStart(voice, velocity, legato);
            return;
        }
        StopNote(note, velocity);
    }
    noteActive_[n] = true;

    int voice = 0;
    if (assignMode_ == 1) {
        // The voice released longest ago; a voice still held there is taken from its note.
        voice = releaseOrder_[At(allocPos_)];
        if (voiceState_[At(voice)] > 0) StopNote(voiceNote_[At(voice)], 0);
    } else {
        // The lowest voice that is idle or in its release; if every voice is held, steal round-robin and
        // let the stolen voice continue legato.
        voice = -1;
        for (int v = 0; v < voiceCount_; ++v) {
            if (voiceState_[At(v)] < kVoiceHeld) {
                voice = v;
                break;
            }
        }
        if (voice >= 0) {
            allocPos_ = 255; // the next steal starts at voice 0
        } else {
            voice = allocPos_;
            StopNote(voiceNote_[At(voice)], 0);
            legato = true;
        }
    }
    voiceNote_[At(voice)] = static_cast<std::uint8_t>(note);
    voiceOfNote_[n] = static_cast<std::uint8_t>(voice);
    allocPos_ = (allocPos_ + 1) & 0xFF;
    if (allocPos_ > voiceCount_ - 1) allocPos_ = 0;

    voiceState_[At(voice)] = kVoiceHeld;
    VoiceStart(voice, velocity, legato);
}

bool TMidiHandler::StopNote(int note, int velocity) {
    (void)velocity; // release velocity is not used by the voices
    if (!ValidNote(note) || !noteActive_[At(note)]) return false;
    noteActive_[At(note)] = false;
    if (note == editorNoteStarted_) editorNoteStarted_ = -1;
    const int voice = voiceOfNote_[At(note)];
    if (assignMode_ == 1) {
        releaseOrder_[At(releaseWritePos_)] = static_cast<std::uint8_t>(voice);
        releaseWritePos_ = releaseWritePos_ + 1 > voiceCount_ - 1 ? 0 : releaseWritePos_ + 1;
    }
    voiceState_[At(voice)] = kVoiceReleased;
    VoiceRelease(voice);
    return true;
}

void TMidiHandler::StopAllNotes() {
    for (int note = 0; note < kNoteCount; ++note)
        StopNote(note, 0);
}

void TMidiHandler::ReleasePendingNotes() {
    for (int note = 0; note < kNoteCount; ++note) {
        const auto n = At(note);
        if (releasePending_[n] && !HeldByPedal(note)) {
            releasePending_[n] = false;
            StopNote(note, 0);
        }
    }
}

// Controllers ------------------------------------------------------------------------------------

bool TMidiHandler::Learnable(int controller) {
    return (controller >= 3 && controller <= 5) || (controller >= 7 && controller <= 10) ||
           (controller >= 12 && controller <= 31) || (controller >= 33 && controller <= 37) ||
           (controller >= 39 && controller <= 63) || controller == 65 || (controller >= 70 && controller <= 95) ||
           (controller >= 102 && controller <= 119);
}

void TMidiHandler::ControlChange(int controller, int value) {
    if (controller < 0 || controller >= kControllerCount) return;
    value = std::clamp(value, 0, 127);
    switch (controller) {
    case kCcModWheel:
        ModWheel(value);
        return;
    case kCcBreath:
        Breath(value);
        return;
    case kCcExpression:
        Expression(value);
        return;
    case kCcSustain:
        sustainPedal_ = PedalDown(value);
        if (!sustainPedal_) ReleasePendingNotes();
        return;
    case kCcSostenuto:
        if (PedalDown(value) == sostenutoPedal_) return; // a continuous pedal repeats its state: only the edges count
        sostenutoPedal_ = PedalDown(value);
        if (sostenutoPedal_) {
            // Holds exactly the notes sounding now.
            sostenutoHeld_ = noteActive_;
        } else {
            sostenutoHeld_.fill(false);
            ReleasePendingNotes();
        }
        return;
    case kCcSoftPedal:
        SoftPedal(value);
        return;
    case kCcLegato:
        legatoPedal_ = PedalDown(value);
        return;
    case kCcHold2:
        hold2Pedal_ = PedalDown(value);
        Hold2Changed();
        return;
    case kCcAllNotesOff:
        StopAllNotes();
        return;
    default:
        break;
    }
    if (!Learnable(controller)) return;
    LearnStep(controller);
    if (ccAssignment_[At(controller)].load(std::memory_order_relaxed) >= 0) LearnedControl(controller, value);
}

void TMidiHandler::LearnStep(int controller) {
    std::atomic<int>& entry = ccAssignment_[At(controller)];
    const int mode = learnMode_.load(std::memory_order_relaxed);
    if (mode == kLearnBind) {
        int parameter = learnParameter_.load(std::memory_order_relaxed);
        if (parameter >= 0 && entry.load(std::memory_order_relaxed) < 0) {
            entry.store(parameter, std::memory_order_relaxed);
            // Disarms only the parameter just bound: one the editor armed meanwhile stays armed.
            learnParameter_.compare_exchange_strong(parameter, -1, std::memory_order_relaxed);
            assignmentsChanged_.store(true, std::memory_order_release);
        }
    } else if (mode == kLearnForget) {
        if (entry.load(std::memory_order_relaxed) >= 0) {
            entry.store(-1, std::memory_order_relaxed);
            assignmentsChanged_.store(true, std::memory_order_release);
        }
    }
}

// Voices -----------------------------------------------------------------------------------------

void TMidiHandler::ClearVoicesAndKeys() {
    voiceState_.fill(kVoiceIdle);
    voiceNote_.fill(kNoVoiceNote);
    for (int v = 0; v < kMaxVoices; ++v)
        releaseOrder_[At(v)] = static_cast<std::uint8_t>(v);
    voiceOfNote_.fill(0);
    keyDown_.fill(false);
    noteActive_.fill(false);
    sostenutoHeld_.fill(false);
    releasePending_.fill(false);
    sustainPedal_ = false;
    sostenutoPedal_ = false;
    legatoPedal_ = false;
    hold2Pedal_ = false;
    releaseWritePos_ = 0;
    allocPos_ = 0;
    editorNoteStarted_ = -1;
}

void TMidiHandler::Reset() {
    const bool hold2WasDown = hold2Pedal_;
    ClearVoicesAndKeys();
    VoicesReset();
    if (hold2WasDown) Hold2Changed(); // the release time returns to the pedal-up value
}

void TMidiHandler::VoiceFinished(int voice) {
    if (voice >= 0 && voice < kMaxVoices && voiceState_[At(voice)] == kVoiceReleased)
        voiceState_[At(voice)] = kVoiceIdle;
}

int TMidiHandler::VoiceState(int voice) const {
    return voice >= 0 && voice < kMaxVoices ? voiceState_[At(voice)] : kVoiceIdle;
}

int TMidiHandler::VoiceNote(int voice) const {
    return voice >= 0 && voice < kMaxVoices ? voiceNote_[At(voice)] : kNoVoiceNote;
}

bool TMidiHandler::NoteActive(int note) const {
    return ValidNote(note) && noteActive_[At(note)];
}

int TMidiHandler::NoteVoice(int note) const {
    return NoteActive(note) ? voiceOfNote_[At(note)] : -1;
}

bool TMidiHandler::KeyDown(int note) const {
    return ValidNote(note) && keyDown_[At(note)];
}

// Settings ---------------------------------------------------------------------------------------

void TMidiHandler::SetVoiceCount(int count) {
    count = std::clamp(count, 1, kMaxVoices);
    if (count == voiceCount_) return; // a program switch re-applies every setting: sounding notes stay
    voiceCount_ = count;
    Reset();
}

void TMidiHandler::SetAssignMode(int mode) {
    mode = std::clamp(mode, 0, 1);
    if (mode == assignMode_) return;
    assignMode_ = mode;
    Reset();
}

void TMidiHandler::SetRetriggerMode(int mode) {
    mode = std::clamp(mode, 0, 2);
    if (mode == retriggerMode_) return;
    retriggerMode_ = mode;
    Reset();
}

void TMidiHandler::SetMidiChannel(int channel) {
    midiChannel_ = std::clamp(channel, 0, 16);
}

void TMidiHandler::SetRangeLow(int note) {
    rangeLow_ = std::clamp(note, 0, 127);
}

void TMidiHandler::SetRangeHigh(int note) {
    rangeHigh_ = std::clamp(note, 0, 127);
}

void TMidiHandler::SetTransposeSemitones(int semitones) {
    semitones = std::clamp(semitones, -127, 127);
    if (semitones == transposeSemitones_) return;
    transposeSemitones_ = semitones;
    ForgetTransposedKeys();
}

void TMidiHandler::SetTransposeOctaves(int octaves) {
    octaves = std::clamp(octaves, -10, 10);
    if (octaves == transposeOctaves_) return;
    transposeOctaves_ = octaves;
    ForgetTransposedKeys();
}

void TMidiHandler::ForgetTransposedKeys() {
    StopAllNotes();
    // Held keys were recorded under the old transposition; their note-offs will arrive under the new one,
    // so they would never be cleared and could be restarted as fall-back notes.
    keyDown_.fill(false);
    releasePending_.fill(false);
}

// Editor and MIDI learn --------------------------------------------------------------------------

void TMidiHandler::SetEditorNote(int note) {
    editorNote_.store(ValidNote(note) ? note : -1, std::memory_order_relaxed);
}

void TMidiHandler::SetLearnMode(int mode) {
    learnMode_.store(mode >= kLearnOff && mode <= kLearnForget ? mode : kLearnOff, std::memory_order_relaxed);
    learnParameter_.store(-1, std::memory_order_relaxed);
}

void TMidiHandler::SetLearnParameter(int parameter) {
    learnParameter_.store(parameter < 0 ? -1 : parameter, std::memory_order_relaxed);
}

int TMidiHandler::Assignment(int controller) const {
    return controller >= 0 && controller < kControllerCount
               ? ccAssignment_[At(controller)].load(std::memory_order_relaxed)
               : -1;
}

void TMidiHandler::SetAssignment(int controller, int parameter) {
    if (controller >= 0 && controller < kControllerCount)
        ccAssignment_[At(controller)].store(parameter < 0 ? -1 : parameter, std::memory_order_relaxed);
}

void TMidiHandler::SetAssignments(std::span<const int, kControllerCount> table) {
    for (int c = 0; c < kControllerCount; ++c)
        SetAssignment(c, table[At(c)]);
    learnMode_.store(kLearnOff, std::memory_order_relaxed);
    learnParameter_.store(-1, std::memory_order_relaxed);
}

std::array<int, TMidiHandler::kControllerCount> TMidiHandler::Assignments() const {
    std::array<int, kControllerCount> table{};
    for (int c = 0; c < kControllerCount; ++c)
        table[At(c)] = Assignment(c);
    return table;
}

} // namespace quillon
