// Per-voice filter of twelve types: low-pass, high-pass, band-pass and notch in 1-, 2- and 4-pole forms,
// two of the 4-pole forms being cascades of one-pole stages with resonant zero-delay feedback. One object
// holds the state of every voice and filters one voice's block in place. The cutoff comes once per block
// as a control value (0 … 1 spans the table's minimum … maximum frequency exponentially, 20 Hz … 20 kHz in
// the synthesizer) and is turned into the bilinear coefficient K = cot(π·f/fs) by table lookup.
//
// Types (as the parameter delivers them): 1 "Lowpass 6", 2 "Lowpass 12", 3 "Lowpass 24", 4 "mg Lowpass",
// 5 "Highpass 6", 6 "Highpass 12", 7 "Highpass 24", 8 "mg Highpass", 9 "Bandpass 6", 10 "Bandpass 12",
// 11 "Notch 6", 12 "Notch 12"; any other type leaves the signal unchanged.
//
// Threads: the voice operations and Process run on the audio thread [audio]; they allocate nothing. The
// per-voice arrays are sized once for 256 voices. The settings (type, resonance, dry gain, voice count) may
// also be changed from another thread [any]: they are relaxed atomics read once per block, and the voice
// reset that SetType and SetVoiceCount imply is requested there and carried out by the audio thread
// before its next voice operation. SetSampleRate rebuilds the frequency table and runs while audio is
// stopped [gui].
#pragma once

#include "engine/TIIRFrequencyTable.h"
#include "engine/VoiceLimits.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace quillon {

class TModulatedFilter {
public:
    static constexpr int kTypeCount = 12;

    // The synthesizer passes 8 voices, 44100 Hz, 20000 Hz, 20 Hz and 1000 table entries.
    TModulatedFilter(int voiceCount, float sampleRate, float maximumFrequency, float minimumFrequency, int tableSize);
    TModulatedFilter(const TModulatedFilter&) = delete;
    TModulatedFilter& operator=(const TModulatedFilter&) = delete;

    // Settings -------------------------------------------------------------------------------------------

    void SetSampleRate(float sampleRate); // [gui]
    float SampleRate() const { return table_.SampleRate(); }
    // Voice count, limited to 1 … 256; every voice is reset. [any]
    void SetVoiceCount(int count);
    int VoiceCount() const { return voiceCount_.load(std::memory_order_relaxed); }
    // Selects the routine of the type and resets every voice; the current type changes nothing. [any]
    void SetType(int type);
    int Type() const { return type_.load(std::memory_order_relaxed); }
    // Resonance 0 … 1: feedback −0.13 … −4.0 for the feedback types, Q 0.707 … 20 for the others. [any]
    void SetResonance(float resonance);
    // Share of the unfiltered input added to the output ("Direct", 0 … 1). [any]
    void SetDryGain(float gain) { dryGain_.store(gain, std::memory_order_relaxed); }
    float DryGain() const { return dryGain_.load(std::memory_order_relaxed); }

    float Feedback() const { return feedback_.load(std::memory_order_relaxed); }
    float Gain() const { return gain_.load(std::memory_order_relaxed); }
    float BandGain() const { return bandGain_.load(std::memory_order_relaxed); }
    float Q() const { return q_.load(std::memory_order_relaxed); }
    float QSquared() const { return qSquared_.load(std::memory_order_relaxed); }
    const TIIRFrequencyTable& FrequencyTable() const { return table_; }
    float MaximumFrequency() const { return table_.MaximumFrequency(); }
    float MinimumFrequency() const { return table_.MinimumFrequency(); }
    int TableSize() const { return static_cast<int>(table_.Size()); }

    // Voices [audio] (voice indices outside 0 … voice count − 1 are ignored) --------------------------------

    // Clears the voice's filter memories and its cutoff offset (a note start that is not legato).
    void ResetVoice(int voice);
    // Offset added to the cutoff control value of the voice: (velocity − 64)·velocity amount/127.
    void SetCutoffOffset(int voice, float offset);
    float CutoffOffset(int voice);
    // Filters n samples of buffer in place with cutoff control value x (plus the voice's offset).
    void Process(int voice, float* buffer, int n, float x);

private:
    struct VoiceState {
        std::array<float, 6> s{}; // delay memories; their meaning depends on the type
        float cutoffOffset = 0.0f;
    };
    // Settings read once per block.
    struct Block {
        float k;    // bilinear coefficient
        float dry;  // dry gain
        float gain; // 1/(1 − feedback)
        float band; // band-pass gain
        float q;    // Q
        float qq;   // Q squared
        float fb;   // feedback
    };
    using Routine = void (*)(VoiceState&, float*, int, const Block&);

    static void Bypass(VoiceState&, float*, int, const Block&);
    static void Lowpass6(VoiceState& v, float* x, int n, const Block& b);
    static void Lowpass12(VoiceState& v, float* x, int n, const Block& b);
    static void Lowpass24(VoiceState& v, float* x, int n, const Block& b);
    static void MgLowpass(VoiceState& v, float* x, int n, const Block& b);
    static void Highpass6(VoiceState& v, float* x, int n, const Block& b);
    static void Highpass12(VoiceState& v, float* x, int n, const Block& b);
    static void Highpass24(VoiceState& v, float* x, int n, const Block& b);
    static void MgHighpass(VoiceState& v, float* x, int n, const Block& b);
    static void Bandpass6(VoiceState& v, float* x, int n, const Block& b);
    static void Bandpass12(VoiceState& v, float* x, int n, const Block& b);
    static void Notch6(VoiceState& v, float* x, int n, const Block& b);
    static void Notch12(VoiceState& v, float* x, int n, const Block& b);
    static constexpr std::array<Routine, kTypeCount + 1> kRoutines{
        Bypass,     Lowpass6,   Lowpass12, Lowpass24,  MgLowpass, Highpass6, Highpass12,
        Highpass24, MgHighpass, Bandpass6, Bandpass12, Notch6,    Notch12};

    bool ValidVoice(int voice) const { return voice >= 0 && voice < VoiceCount(); }
    // Audio side: performs a requested reset of every voice.
    void SyncAudio();

    std::array<VoiceState, kMaxVoices> voices_{};
    std::atomic<float> gain_{1.0f};
    std::atomic<float> bandGain_{0.0f};
    std::atomic<float> qSquared_{0.5f};
    std::atomic<float> q_{0.707f};
    std::atomic<int> voiceCount_;
    std::atomic<float> feedback_{0.0f};
    TIIRFrequencyTable table_;
    std::atomic<float> dryGain_{0.0f};
    std::atomic<int> type_{-1};
    std::atomic<int> routine_{0}; // index into kRoutines
    std::atomic<std::uint32_t> resetRequest_{0};
    std::uint32_t seenReset_ = 0;
};

} // namespace quillon
