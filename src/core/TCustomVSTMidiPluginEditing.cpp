// The editing operations the editor calls on the current program: each changes the program record and
// the engine together, so that what is saved is what sounds, and marks the current bank modified.
// They run on the editor's thread and hold the records mutex, so that a program switch in progress on
// the worker never interleaves with an edit.
#include "core/TCustomVSTMidiPlugin.h"

#include "engine/TEnvelopeHolder.h"
#include "engine/TIFFTVoiceOsc.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace quillon {

namespace {

bool ValidEnvelope(int envelope) {
    return envelope >= 0 && envelope < record::kEnvelopeCount;
}
bool ValidHarmonic(int harmonic) {
    return harmonic >= 0 && harmonic < record::kHarmonicCount;
}

} // namespace

void TCustomVSTMidiPlugin::SyncModelLocked() {
    // The program can change at any time (a MIDI program change on the audio thread): the slot is read
    // once, and the rest of the operation works on that slot and on a model that shows it.
    editSlot_ = CurrentProgram();
    if (ModelStale() || modelSlot_ != editSlot_) {
        ClearModelStale();
        PrepareProgram(editSlot_);
    }
}

int TCustomVSTMidiPlugin::EditedFrameCount() const {
    return std::clamp(Programs().FrameCount(editSlot_), 1, record::kMaxFrames);
}

void TCustomVSTMidiPlugin::MarkEditedBankModified() {
    SetBankModified(editSlot_ / kBankSize, true);
}

// Frames --------------------------------------------------------------------------------------------

int TCustomVSTMidiPlugin::GetFrameCount() const {
    return std::clamp(Programs().FrameCount(CurrentProgram()), 1, record::kMaxFrames);
}

float TCustomVSTMidiPlugin::GetFrameTime(int frame) const {
    return Programs().FrameTime(CurrentProgram(), frame);
}

void TCustomVSTMidiPlugin::SetFrameTime(int frame, float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount() || !std::isfinite(seconds)) return;
    Programs().SetFrameTime(editSlot_, frame, seconds);
    Oscillator().SetFrameTime(frame, seconds);
    MarkEditedBankModified();
}

// Copies frames `from` … end from the oscillator's model into the record: count, times and harmonic bytes.
void TCustomVSTMidiPlugin::ReadFramesIntoRecord(int from) {
    const int slot = editSlot_;
    const int count = std::clamp(Oscillator().FrameCount(), 0, record::kMaxFrames);
    Programs().SetFrameCount(slot, count);
    for (int f = std::max(0, from); f < count; ++f) {
        Programs().SetFrameTime(slot, f, Oscillator().FrameTime(f));
        ReadFrameBytes(f);
    }
}

void TCustomVSTMidiPlugin::ReadFrameBytes(int frame) {
    const int slot = editSlot_;
    for (int k = 0; k < record::kHarmonicCount; ++k) {
        Programs().SetLevel(slot, frame, k,
                            static_cast<std::uint8_t>(std::clamp(Oscillator().GetHarmonicLevel(frame, k), 0, 255)));
        Programs().SetPhase(slot, frame, k,
                            static_cast<std::uint8_t>(std::clamp(Oscillator().GetHarmonicPhase(frame, k), 0, 255)));
    }
}

bool TCustomVSTMidiPlugin::InsertHarmonyFrame(int position, float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    // The record holds at most 100 frames.
    if (Oscillator().FrameCount() >= record::kMaxFrames || !std::isfinite(seconds)) return false;
    if (!Oscillator().InsertFrame(position, seconds)) return false;
    ReadFramesIntoRecord(position);
    MarkEditedBankModified();
    return true;
}

bool TCustomVSTMidiPlugin::DeleteHarmonyFrame(int frame) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    // A program always keeps one frame.
    if (Oscillator().FrameCount() <= 1 || !Oscillator().DeleteFrame(frame)) return false;
    ReadFramesIntoRecord(frame);
    MarkEditedBankModified();
    return true;
}

int TCustomVSTMidiPlugin::GetHarmonicLevel(int frame, int harmonic) const {
    return Programs().Level(CurrentProgram(), frame, harmonic);
}

int TCustomVSTMidiPlugin::GetHarmonicPhase(int frame, int harmonic) const {
    return Programs().Phase(CurrentProgram(), frame, harmonic);
}

void TCustomVSTMidiPlugin::SetHarmonicLevel(int frame, int harmonic, int level) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount() || !ValidHarmonic(harmonic)) return;
    level = std::clamp(level, 0, 255);
    Programs().SetLevel(editSlot_, frame, harmonic, static_cast<std::uint8_t>(level));
    Oscillator().SetHarmonicLevel(frame, harmonic, level);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::SetHarmonicPhase(int frame, int harmonic, int phase) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount() || !ValidHarmonic(harmonic)) return;
    phase = std::clamp(phase, 0, 255);
    Programs().SetPhase(editSlot_, frame, harmonic, static_cast<std::uint8_t>(phase));
    Oscillator().SetHarmonicPhase(frame, harmonic, phase);
    MarkEditedBankModified();
}

float TCustomVSTMidiPlugin::GetLoopStart() const {
    return Programs().HarmonyLoopStart(CurrentProgram());
}
float TCustomVSTMidiPlugin::GetLoopEnd() const {
    return Programs().HarmonyLoopEnd(CurrentProgram());
}

void TCustomVSTMidiPlugin::SetLoopStart(float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    const int slot = editSlot_;
    Programs().SetHarmonyLoop(slot, seconds, Programs().HarmonyLoopEnd(slot));
    Oscillator().SetLoopStart(seconds);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::SetLoopEnd(float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    const int slot = editSlot_;
    Programs().SetHarmonyLoop(slot, Programs().HarmonyLoopStart(slot), seconds);
    Oscillator().SetLoopEnd(seconds);
    MarkEditedBankModified();
}

// Generators ------------------------------------------------------------------------------------

void TCustomVSTMidiPlugin::FillHarmonics(int frame, int shape) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount() || !Oscillator().FillShape(frame, shape)) return;
    ReadFrameBytes(frame);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::ClearHarmonics(int frame) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount()) return;
    Oscillator().ClearHarmonics(frame);
    ReadFrameBytes(frame);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::TiltHarmonics(int frame, float amount) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= EditedFrameCount() || !std::isfinite(amount)) return;
    Oscillator().TiltHarmonics(frame, amount);
    ReadFrameBytes(frame);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::RebuildFrame(int frame) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame >= 0 && frame < EditedFrameCount()) Oscillator().RebuildFrame(frame);
}

// Envelope points -------------------------------------------------------------------------------

// Copies the envelope's point count and its points from `from` on into the record.
void TCustomVSTMidiPlugin::ReadPointsIntoRecord(int envelope, int from) {
    const int slot = editSlot_;
    TEnvelopeHolder& e = Envelope(envelope);
    const int count = std::clamp(e.PointCount(), 0, record::kMaxEnvelopePoints);
    Programs().SetPointCount(slot, envelope, count);
    for (int i = std::max(0, from); i < count; ++i)
        Programs().SetPoint(slot, envelope, i, e.PointTime(i), e.PointValue(i));
}

bool TCustomVSTMidiPlugin::InsertEnvelopePoint(int envelope, int index, float seconds, float level) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (!ValidEnvelope(envelope) || !std::isfinite(seconds) || !std::isfinite(level)) return false;
    TEnvelopeHolder& e = Envelope(envelope);
    if (e.PointCount() >= record::kMaxEnvelopePoints || !e.InsertPoint(index, seconds, level)) return false;
    ReadPointsIntoRecord(envelope, index);
    MarkEditedBankModified();
    return true;
}

bool TCustomVSTMidiPlugin::DeleteEnvelopePoint(int envelope, int index) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (!ValidEnvelope(envelope)) return false;
    TEnvelopeHolder& e = Envelope(envelope);
    // An envelope always keeps one point.
    if (e.PointCount() <= 1 || !e.DeletePoint(index)) return false;
    ReadPointsIntoRecord(envelope, index);
    MarkEditedBankModified();
    return true;
}

bool TCustomVSTMidiPlugin::SetEnvelopePoint(int envelope, int index, float seconds, float level) {
    if (!ValidEnvelope(envelope) || !std::isfinite(seconds) || !std::isfinite(level)) return false;
    TEnvelopeHolder& e = Envelope(envelope);
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        SyncModelLocked();
        if (index >= 0 && index < e.PointCount()) {
            Programs().SetPoint(editSlot_, envelope, index, seconds, level);
            e.SetPoint(index, seconds, level);
            MarkEditedBankModified();
            return true;
        }
    }
    // A point the envelope does not have: the envelope's own message, shown without holding the records
    // (a program switch must not wait for the user); nothing changes.
    UserPrompt().ShowMessage("No such point!");
    return false;
}

void TCustomVSTMidiPlugin::SetEnvelopeLoopStart(int envelope, float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (!ValidEnvelope(envelope)) return;
    const int slot = editSlot_;
    Programs().SetEnvelopeLoop(slot, envelope, seconds, Programs().EnvelopeLoopEnd(slot, envelope));
    Envelope(envelope).SetLoopStart(seconds);
    MarkEditedBankModified();
}

void TCustomVSTMidiPlugin::SetEnvelopeLoopEnd(int envelope, float seconds) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (!ValidEnvelope(envelope)) return;
    const int slot = editSlot_;
    Programs().SetEnvelopeLoop(slot, envelope, Programs().EnvelopeLoopStart(slot, envelope), seconds);
    Envelope(envelope).SetLoopEnd(seconds);
    MarkEditedBankModified();
}

// Program slots ---------------------------------------------------------------------------------

void TCustomVSTMidiPlugin::CopyProgram() {
    SetCopySource(CurrentProgram());
}

void TCustomVSTMidiPlugin::PasteProgram() {
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        const int source = CopySource();
        const int slot = CurrentProgram();
        if (!TProgramBank::ValidSlot(source)) return;
        std::vector<std::uint8_t> copy(record::kRecordSize);
        Programs().CopyRecord(source, copy);
        Programs().StoreRecord(slot, copy);
    }
    RequestProgramApply();
    MarkCurrentBankModified();
    RequestRefresh(3);
}

void TCustomVSTMidiPlugin::InitProgram() {
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        Programs().InitRecord(CurrentProgram());
    }
    RequestProgramApply();
    MarkCurrentBankModified();
    updateDisplay();
    RequestRefresh(3);
}

void TCustomVSTMidiPlugin::InitBank(int bank) {
    if (bank < 0 || bank > 1) return;
    SetBankModified(bank, true);
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        for (int slot = bank * kBankSize; slot < (bank + 1) * kBankSize; ++slot)
            Programs().InitRecord(slot);
    }
    if (CurrentProgram() / kBankSize == bank) {
        RequestProgramApply();
        RequestRefresh(3);
    }
}

bool TCustomVSTMidiPlugin::StoreInOtherBank() {
    const int slot = CurrentProgram();
    const int other = slot < kBankSize ? 1 : 0;
    int target = -1;
    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        for (int s = other * kBankSize; s < (other + 1) * kBankSize && target < 0; ++s)
            if (Programs().Name(s) == "-") target = s;
        if (target >= 0) {
            std::vector<std::uint8_t> copy(record::kRecordSize);
            Programs().CopyRecord(slot, copy);
            Programs().StoreRecord(target, copy);
        }
    }
    if (target < 0) {
        UserPrompt().ShowMessage("No free program slots available.");
        return false;
    }
    SetBankModified(other, true);
    RequestRefresh(3);
    return true;
}

void TCustomVSTMidiPlugin::GetCurrentProgramCopy(std::span<std::uint8_t> buffer) const {
    Programs().CopyRecord(CurrentProgram(), buffer);
}

} // namespace quillon
