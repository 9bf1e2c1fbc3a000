// The synthesizer as a VST 2 plug-in: owns the synthesizer engine (TSynthEngine) and hands it the
// parameter values, the MIDI handler's voice starts and releases, the host's tempo and the program data;
// formats the parameter displays that depend on engine state; and keeps the current program's record and
// the engine in step through the editing, file and analysis commands.
#pragma once

#include "analysis/AnalyzeWaveFile.h"
#include "core/TVSTMidiPlugin.h"
#include "engine/TSynthEngine.h"

#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TCustomVSTMidiPlugin : public TVSTMidiPlugin {
public:
    static constexpr int kEnvelopeCount = record::kEnvelopeCount;

    explicit TCustomVSTMidiPlugin(vst2::audioMasterCallback audioMaster);
    ~TCustomVSTMidiPlugin() override;

    void setSampleRate(float rate) override;
    void suspend() override;                                             // clears the effects' delay lines and filters
    void getParameterDisplay(vst2::VstInt32 index, char* text) override; // [any]
    // Display text of a stored value (0..1) for the current engine state: note lengths under tempo sync,
    // modulation amounts in their target's units, otherwise the plain number. [any]
    std::string ParameterDisplayText(int index, float value) const;

    void ParameterChanged(int index) override; // [audio]
    void PrepareProgram(int slot) override;    // [worker]
    void FinishProgram() override;             // [audio]
    void ProcessBlock(int frames, float* left, float* right) override;
    void RenderSubBlock(float* left, float* right, int offset, int frames) override;

    // Starts voice `voice` on the note the MIDI handler assigned to it (velocity 0..127). [audio]
    void VoiceStart(int voice, int velocity, bool legato);
    // Releases a voice: its envelopes enter their release. [audio]
    void VoiceRelease(int voice);

    // Harmony and program editing [gui]: each keeps the current program's record and the engine in step
    // and marks the current bank modified. Frame indices refer to the current program's harmony.
    int GetFrameCount() const;
    float GetFrameTime(int frame) const;
    void SetFrameTime(int frame, float seconds);
    bool InsertHarmonyFrame(int position, float seconds);
    bool DeleteHarmonyFrame(int frame);
    int GetHarmonicLevel(int frame, int harmonic) const;
    void SetHarmonicLevel(int frame, int harmonic, int level);
    int GetHarmonicPhase(int frame, int harmonic) const;
    void SetHarmonicPhase(int frame, int harmonic, int phase);
    float GetLoopStart() const;
    void SetLoopStart(float seconds);
    float GetLoopEnd() const;
    void SetLoopEnd(float seconds);
    // Shapes: 0 saw, 1 pulse 50 %, 2 triangle 50 %, 3 pulse 6 %, 4 pulse 12 %, 5 pulse 25 %, 6 triangle 3 %,
    // 7 triangle 6 %, 8 triangle 12 %, 9 triangle 25 %, 10 random.
    void FillHarmonics(int frame, int shape);
    void ClearHarmonics(int frame);
    void TiltHarmonics(int frame, float amount);
    void RebuildFrame(int frame);
    bool InsertEnvelopePoint(int envelope, int index, float seconds, float level);
    bool DeleteEnvelopePoint(int envelope, int index);
    bool SetEnvelopePoint(int envelope, int index, float seconds, float level);
    void SetEnvelopeLoopStart(int envelope, float seconds);
    void SetEnvelopeLoopEnd(int envelope, float seconds);
    void CopyProgram();
    void PasteProgram();
    void InitProgram();
    void InitBank(int bank);
    bool StoreInOtherBank();
    void GetCurrentProgramCopy(std::span<std::uint8_t> buffer) const;
    // Harmony files, clipboard and analysis [gui].
    bool LoadHarmonyFile(int frame, const std::string& path);
    bool SaveHarmonyFile(int frame, const std::string& path);
    void CopyHarmonyFrame(int frame);
    void PasteHarmonyFrame(int frame);
    // Whether CopyHarmonyFrame has filled the harmony clipboard (PasteHarmonyFrame does nothing until then).
    bool HarmonyClipboardFilled() const;
    // Replaces the current program's harmony with what the analyser finds in a WAV file (mode 0 dynamic,
    // 1 medium, 2 soft); the engine takes it over at the next processing call.
    bool AnalyzeAudioIntoProgram(const std::string& path, int mode);
    // The writing half of AnalyzeAudioIntoProgram, for an analysis made elsewhere (AnalyzeWaveFile, on any
    // thread): a refused file shows the reader's message, an analysis without points "Analyze failed. Refer
    // to the manual for help.", and both leave the programs unchanged; otherwise the points become the
    // harmony frames of program `slot` (0..127), whose bank is marked modified, and the engine takes the
    // program over when it is the current one. A stopped analysis changes and says nothing. False unless
    // the harmony was replaced.
    bool ApplyAudioAnalysis(const TWaveAnalysis& analysis, int slot);

    // What the editor shows of the LFOs (lfo 0 or 1) [gui]: the waveform 1..10 its scope draws, set by the
    // editor or stepped to the next one (10 wraps to 1), and the shape's value at a phase 0..1. Until the
    // editor sets one, the waveform is the current program's parameter. The scope's shapes come from
    // oscillators of the editor's own; the engine's LFOs change only through their parameters, on the
    // audio thread, so the editor never writes what the audio thread reads.
    void SetLfoWaveform(int lfo, int waveform);
    void NextLfoWaveform(int lfo);
    int LfoWaveform(int lfo) const;
    float LfoWaveValue(int lfo, float phase) const;
    // The note-length text of a tempo-synchronised rate or time (parameters 36, 39, 50, 53, 78, 86, 93) for
    // a stored value, whatever the sync switch says; empty for any other parameter.
    std::string TempoSyncText(int index, float value) const;
    // The amount text of a modulation routing row (TModulationAssignment's rows) in its target's units.
    std::string ModulationAmountText(int row, float value) const;
    // The amount range (maximum − minimum, rounded) of a modulation target; 0 out of range.
    static int ModulationRange(int target);

    // Voice count 1..256 (parameter "Voices"); a change silences every voice. [audio]
    void SetVoiceCount(int count);
    int VoiceCount() const { return engine_->VoiceCount(); }

    // The synthesizer engine and its parts, with the engine's thread contract (TSynthEngine.h): audio-thread
    // objects whose own [gui]/[any] operations (harmony and envelope-point editing) are safe elsewhere.
    TSynthEngine& Engine() { return *engine_; }
    TIFFTVoiceOsc& Oscillator() { return engine_->Oscillator(); }
    TEnvelopeHolder& Envelope(int index) { return engine_->Envelope(index); }
    TIFFTNoiseGenerator& Noise() { return engine_->Noise(); }
    TModulatedFilter& Filter() { return engine_->Filter(); }
    TLowFrequencyOscillator& Lfo(int index) { return engine_->Lfo(index); }
    TModulationAssignment& Routing() { return engine_->Routing(); }
    TClassicChorusEffect& Chorus() { return engine_->Chorus(); }
    TClassicReverbEffect& Reverb() { return engine_->Reverb(); }
    TClassicPhaserEffect& Phaser() { return engine_->Phaser(); }
    TClassicDelayEffect& Delay() { return engine_->Delay(); }
    float PitchFactor() const { return engine_->PitchFactor(); }

private:
    // Rebuilds the engine's editable model from the current record when it may be out of date
    // (recordsMutex held).
    void SyncModelLocked();
    // Frame count of the slot being edited, and its bank marked modified (recordsMutex held).
    int EditedFrameCount() const;
    void MarkEditedBankModified();
    // Copies frames `from` … end (count, times, harmonic bytes) from the oscillator into the record.
    void ReadFramesIntoRecord(int from);
    void ReadFrameBytes(int frame);
    void ReadPointsIntoRecord(int envelope, int from);

    // The slot the engine's editable model shows (set by PrepareProgram) and the slot an editing operation
    // works on; both guarded by recordsMutex.
    int modelSlot_ = -1;
    int editSlot_ = 0;
    // One frame's 251 level and 251 phase bytes, kept by CopyHarmonyFrame; empty until then.
    std::vector<std::uint8_t> harmonyClipboard_;
    std::unique_ptr<TSynthEngine> engine_;
    // The editor's LFO shapes [gui]: the waveform each scope shows (0: the parameter's) and a calculator.
    std::array<int, 2> scopeWaveform_{};
    mutable std::array<std::unique_ptr<TLowFrequencyOscillator>, 2> scopeLfo_;
};

} // namespace quillon
