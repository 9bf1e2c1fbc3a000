// The plug-in's harmony-file commands, the harmony clipboard and the audio analysis import, on the
// editor's thread. Frame edits go to the oscillator's model (which builds the tables and hands them to the
// audio thread) and are then read back into the current program's record, so that record and engine stay
// in step; like the other editing operations they hold the records mutex and bring a stale model up to
// date first. Files are read and written, and recordings analysed, outside the lock. The analysis import
// writes the record only; the engine takes the program over at the next processing call. Its reading and
// analysing half (AnalyzeWaveFile) may run on any thread; writing the result is the editor's thread's. The readers and
// writers only report; the messages are shown here.
#include "core/TCustomVSTMidiPlugin.h"

#include "analysis/AnalyzeWaveFile.h"
#include "engine/TIFFTVoiceOsc.h"

#include <algorithm>
#include <mutex>
#include <span>
#include <vector>

namespace quillon {

namespace {

constexpr const char* kAnalyzeFailed = "Analyze failed. Refer to the manual for help.";
constexpr int kHarmonics = record::kHarmonicCount;                               // 0 (DC) … 250
constexpr std::size_t kClipboardSize = 2 * static_cast<std::size_t>(kHarmonics); // levels, then phases
constexpr std::uint8_t kZeroPhase = 128;

std::uint8_t PhaseByte(int phase) {
    return static_cast<std::uint8_t>(std::clamp(phase, 0, 255));
}

} // namespace

bool TCustomVSTMidiPlugin::LoadHarmonyFile(int frame, const std::string& path) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (const Status status = Oscillator().LoadHarmonyFile(path, frame); !status.Ok()) {
        if (!status.message.empty()) UserPrompt().ShowMessage(status.message); // a frame it lacks says nothing
        return false;
    }
    ReadFrameBytes(frame);
    MarkEditedBankModified();
    return true;
}

bool TCustomVSTMidiPlugin::SaveHarmonyFile(int frame, const std::string& path) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    const Status status = Oscillator().SaveHarmonyFile(path, frame);
    if (!status.Ok() && !status.message.empty()) UserPrompt().ShowMessage(status.message);
    return status.Ok();
}

void TCustomVSTMidiPlugin::CopyHarmonyFrame(int frame) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    SyncModelLocked();
    if (frame < 0 || frame >= Oscillator().FrameCount()) return;
    std::vector<std::uint8_t> bytes(kClipboardSize);
    for (int j = 0; j < kHarmonics; ++j) {
        bytes[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(Oscillator().GetHarmonicLevel(frame, j));
        bytes[kHarmonics + static_cast<std::size_t>(j)] = PhaseByte(Oscillator().GetHarmonicPhase(frame, j));
    }
    harmonyClipboard_ = std::move(bytes);
}

void TCustomVSTMidiPlugin::PasteHarmonyFrame(int frame) {
    std::lock_guard<std::mutex> lock(RecordsMutex());
    if (harmonyClipboard_.size() != kClipboardSize) return;
    SyncModelLocked();
    if (frame < 0 || frame >= Oscillator().FrameCount()) return;
    for (int j = 0; j < kHarmonics; ++j) {
        Oscillator().SetHarmonicLevel(frame, j, harmonyClipboard_[static_cast<std::size_t>(j)]);
        Oscillator().SetHarmonicPhase(frame, j, harmonyClipboard_[kHarmonics + static_cast<std::size_t>(j)]);
    }
    Oscillator().RebuildFrame(frame);
    ReadFrameBytes(frame);
    MarkEditedBankModified();
}

bool TCustomVSTMidiPlugin::HarmonyClipboardFilled() const {
    // Only the editor's thread writes the clipboard.
    return harmonyClipboard_.size() == kClipboardSize;
}

bool TCustomVSTMidiPlugin::AnalyzeAudioIntoProgram(const std::string& path, int mode) {
    const int slot = CurrentProgram();
    return ApplyAudioAnalysis(AnalyzeWaveFile(path, mode + 1), slot); // 0 dynamic, 1 medium, 2 soft
}

bool TCustomVSTMidiPlugin::ApplyAudioAnalysis(const TWaveAnalysis& analysis, int slot) {
    if (analysis.stopped) return false;
    if (!analysis.read.Ok()) {
        UserPrompt().ShowMessage(analysis.read.message);
        return false;
    }
    const std::vector<TAnalysisPoint>& points = analysis.points;
    if (points.empty()) {
        UserPrompt().ShowMessage(kAnalyzeFailed);
        return false;
    }
    if (slot < 0 || slot >= kProgramCount) return false;

    {
        std::lock_guard<std::mutex> lock(RecordsMutex());
        TProgramBank& bank = Programs();
        const int frames = std::min(static_cast<int>(points.size()), record::kMaxFrames);
        bank.SetFrameCount(slot, frames);
        for (int frame = 0; frame < frames; ++frame) {
            const TAnalysisPoint& point = points[static_cast<std::size_t>(frame)];
            bank.SetFrameTime(slot, frame, static_cast<float>(point.time));
            for (int j = 1; j < kHarmonics; ++j) { // the DC entry is left as it is
                bank.SetLevel(slot, frame, j,
                              THarmonicAudioAnalyzer::LevelByte(point.amplitudes[static_cast<std::size_t>(j)]));
                bank.SetPhase(slot, frame, j, kZeroPhase);
            }
        }
        SetBankModified(slot / kBankSize, true);
    }
    // Another program's record is read afresh when it becomes current.
    if (slot == CurrentProgram()) RequestProgramApply();
    return true;
}

} // namespace quillon
