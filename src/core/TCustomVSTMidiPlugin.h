// The synthesizer: creates the engine and the effects, turns parameter changes into engine settings,
// formats the parameter displays that depend on engine state, and renders sub-blocks.
//
// Per-voice arrays are sized once for the largest voice count, so that a voice-count change never frees
// memory the audio thread may be reading.
#pragma once

#include "core/TVSTMidiPlugin.h"

#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TIFFTVoiceOsc;
class TEnvelopeHolder;
class TIFFTNoiseGenerator;
class TModulatedFilter;
class TLowFrequencyOscillator;
class TModulationAssignment;
class TClassicChorusEffect;
class TClassicReverbEffect;
class TClassicPhaserEffect;
class TClassicDelayEffect;

class TCustomVSTMidiPlugin : public TVSTMidiPlugin {
public:
    static constexpr int kMaxVoices = 256;
    static constexpr int kEnvelopeCount = 5;

    explicit TCustomVSTMidiPlugin(vst2::audioMasterCallback audioMaster);
    ~TCustomVSTMidiPlugin() override;

    void setSampleRate(float rate) override;
    void suspend() override; // clears the effects' delay lines and filters
    void getParameterDisplay(vst2::VstInt32 index, char* text) override; // [any]
    // Display text of a stored value (0..1) for the current engine state: note lengths under tempo sync,
    // modulation amounts in their target's units, otherwise the plain number. [any]
    std::string ParameterDisplayText(int index, float value) const;

    void ParameterChanged(int index) override;  // [audio]
    void PrepareProgram(int slot) override;     // [worker]
    void FinishProgram() override;              // [audio]
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
    // Replaces the current program's harmony with what the analyser finds in a WAV file (mode 0 dynamic,
    // 1 medium, 2 soft); the engine takes it over at the next processing call.
    bool AnalyzeAudioIntoProgram(const std::string& path, int mode);

    // Voice count 1..256 (parameter "Voices"); a change silences every voice. [audio]
    void SetVoiceCount(int count);
    int VoiceCount() const { return voiceCount_; }

    TIFFTVoiceOsc& Oscillator() { return *oscillator_; }
    TEnvelopeHolder& Envelope(int index) { return *envelopes_[static_cast<std::size_t>(index)]; }
    TIFFTNoiseGenerator& Noise() { return *noise_; }
    TModulatedFilter& Filter() { return *filter_; }
    TLowFrequencyOscillator& Lfo(int index) { return index == 0 ? *lfo1_ : *lfo2_; }
    TModulationAssignment& Routing() { return *routing_; }
    TClassicChorusEffect& Chorus() { return *chorus_; }
    TClassicReverbEffect& Reverb() { return *reverb_; }
    TClassicPhaserEffect& Phaser() { return *phaser_; }
    TClassicDelayEffect& Delay() { return *delay_; }
    float PitchFactor() const { return pitchFactor_; }

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

    // Four scratch buffers of one sub-block: voice, noise, left mix, right mix.
    std::array<float, kMaxSubBlock> voiceBuffer_{}, noiseBuffer_{}, leftMix_{}, rightMix_{};
    // The slot the engine's editable model shows (set by PrepareProgram) and the slot an editing operation
    // works on; both guarded by recordsMutex.
    int modelSlot_ = -1;
    int editSlot_ = 0;
    // One frame's 251 level and 251 phase bytes, kept by CopyHarmonyFrame; empty until then.
    std::vector<std::uint8_t> harmonyClipboard_;
    std::unique_ptr<TIFFTVoiceOsc> oscillator_;
    std::array<std::unique_ptr<TEnvelopeHolder>, kEnvelopeCount> envelopes_;
    std::unique_ptr<TIFFTNoiseGenerator> noise_;
    std::unique_ptr<TModulatedFilter> filter_;
    int voiceCount_ = 0; // 0 until the first parameter push at construction sets it
    float pitchFactor_ = 1.0f;    // frequency factor from the routing's pitch target
    float pitchSemitones_ = 0.0f; // the same in semitones
    std::array<float, kMaxVoices> voiceGain_{}; // amplitude gain at the end of the previous sub-block
    std::array<float, kMaxVoices> panLeft_{}, panRight_{};
    std::unique_ptr<TLowFrequencyOscillator> lfo1_, lfo2_;
    std::unique_ptr<TModulationAssignment> routing_;
    std::unique_ptr<TClassicChorusEffect> chorus_;
    std::unique_ptr<TClassicReverbEffect> reverb_;
    std::unique_ptr<TClassicPhaserEffect> phaser_;
    std::unique_ptr<TClassicDelayEffect> delay_;
};

} // namespace quillon
