// Wavetable voice oscillator, the sound source of every voice. It keeps the harmony as an ordered list of
// harmony frames (THarmonyFrame), each with a time in seconds and 128 band-limited single-cycle tables, one
// per MIDI note. A voice reads the table of its note with a 32-bit phase accumulator and 4-point Hermite
// interpolation, with up to 32 detuned unison copies, and moves along the harmony's time line, crossfading
// between the two frames around its harmony time, optionally looping. It also holds each voice's pitch
// state: note frequency, glide, pitch offset, pitch modulation and harmony-time speed.
//
// Design note — how frame edits reach the audio thread
// ----------------------------------------------------
// The oscillator is the audio-thread renderer; its harmony model (THarmonyModel) is the editing side, and
// THarmonyHandOver holds what the two share. The harmony exists twice. The posting side (the editor thread
// or the program-switch worker, through the model) owns the editable model: each frame's harmonic levels and phases,
// its time, its newest tables and its table slot. The audio side owns one frame list (time and slot per frame).
// Inserting, deleting and moving a frame changes the model and posts a new list together with the edit's command into a
// 1024-entry single-producer/single-consumer queue. ApplyEdits, called by the audio thread at the start of every
// processing block, takes the lists in posting order, makes each the current one and applies the edit's
// effect on the voices (insert and delete restart every voice's harmony; a new frame time moves voices
// that are crossfading away from that frame forward to it). A list it replaces goes back through a second
// queue and is freed by the posting side at its next post or at CollectGarbage.
// Tables travel apart from the lists, through the frame's slot: a rebuild builds the new tables on the
// posting thread (a full frame's 128 tables on two threads when the machine has two cores) and leaves them
// pending in the slot; ApplyEdits makes pending tables live and hands the replaced ones back through the
// second queue. A rebuild that finds tables still pending frees those at once, since the audio thread never
// saw them, so rebuilds of one frame merge: however many arrive while no block runs, a frame holds at most
// its live and its pending tables, and the lists waiting in the queue hold none. So the audio thread never
// allocates, frees, builds, locks or waits, and it reads only tables of slots of lists it holds. Posting
// operations serialise on a mutex that only posting threads take. Should 1024 edits pile up unapplied (no
// audio running), further edits collapse into one pending list that ApplyEdits takes after the queue,
// restarting every voice's harmony.
// The editor's frame count and times are the model's and change when it posts; the renderer's change when
// ApplyEdits applies the edit. A rendering flag and a busy flag (sequentially consistent atomics) keep a
// Render and an ApplyEdits on two different threads apart: ApplyEdits leaves the queue alone while a Render
// runs, and a Render that meets an ApplyEdits outputs its 1e-10 block.
// Per-voice state is allocated once for kMaxVoices voices; SetVoiceCount only changes the count.
//
// Threads: [audio] operations run on the thread that renders (or on another thread while that one stays
// out of the oscillator, as during a program switch); [gui] operations on posting threads (editor, program
// switch worker; they may allocate, build tables and take the posting mutex); [any] anywhere.
#pragma once

#include "engine/THarmonyFrame.h"
#include "engine/THarmonyHandOver.h"
#include "engine/THarmonyModel.h"
#include "engine/TWavetableReader.h"
#include "engine/VoiceLimits.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

class TIFFTVoiceOsc {
public:
    static constexpr int kMaxUnison = 32;
    static constexpr int kEditQueueSize = THarmonyHandOver::kEditQueueSize;
    static constexpr int kTableLength = THarmonyFrame::kTableLength;
    static constexpr int kDefaultHarmonics = THarmonyModel::kDefaultHarmonics;

    // Voice count (1 … 256) and sample rate in Hz; the plug-in creates it with 8 and 44100.
    TIFFTVoiceOsc(int voiceCount, float sampleRate);
    ~TIFFTVoiceOsc();
    TIFFTVoiceOsc(const TIFFTVoiceOsc&) = delete;
    TIFFTVoiceOsc& operator=(const TIFFTVoiceOsc&) = delete;

    // Settings ---------------------------------------------------------------------------------------
    // [audio] Stores the rate only; increments already computed keep their values.
    void SetSampleRate(float rate);
    // [audio] Voices 1 … 256; every voice's target and current frequency become 440 Hz, then ResetAllVoices.
    void SetVoiceCount(int count);
    // [audio] Unison oscillators per voice, limited to 1 … 32; gains become 1/count, ratios are recomputed,
    // then ResetAllVoices.
    void SetUnisonCount(int count);
    // [audio] Ratio between the highest and the lowest unison oscillator (1 … 1.0293 from the program; values
    // ≤ 0 count as 1): ratio i = x^(i/(n−1))/√x.
    void SetUnisonSpread(float spread);
    // [audio] When off, the unison phases in use of every voice become random.
    void SetPhaseReset(bool on);
    void SetGlideEnabled(bool on);      // [audio]
    void SetGlideTime(float seconds);   // [audio] 0.03 … 3 s; 0 or less jumps to the new note at once
    void SetLoopEnabled(bool on);       // [audio]
    void SetFrequencyFactor(float f);   // [audio] fine tune as a frequency ratio (0.9715 … 1.0293)
    void SetOscillatorGain(float gain); // [audio] 0 … 1
    void SetGlideFromLastNote(bool on); // [audio] glide from the last note on any voice (mono mode)
    // [any] Harmony loop in seconds of harmony time.
    void SetLoopStart(float seconds) { loopStart_.store(seconds, std::memory_order_relaxed); }
    void SetLoopEnd(float seconds) { loopEnd_.store(seconds, std::memory_order_relaxed); }
    float LoopStart() const { return loopStart_.load(std::memory_order_relaxed); }
    float LoopEnd() const { return loopEnd_.load(std::memory_order_relaxed); }

    int VoiceCount() const { return voiceCount_; }
    float SampleRate() const { return sampleRate_; }
    int UnisonCount() const { return unisonCount_; }
    float UnisonSpread() const { return unisonSpread_; }
    bool PhaseReset() const { return phaseReset_; }
    bool GlideEnabled() const { return glideEnabled_; }
    float GlideTime() const { return glideTime_; }
    bool LoopEnabled() const { return loopEnabled_; }
    float FrequencyFactor() const { return frequencyFactor_; }
    float OscillatorGain() const { return oscillatorGain_; }
    bool GlideFromLastNote() const { return glideFromLastNote_; }
    float UnisonRatio(int i) const { return unisonRatio_[static_cast<std::size_t>(i)]; }
    float UnisonGain(int i) const { return unisonGain_[static_cast<std::size_t>(i)]; }

    // Voices [audio] ---------------------------------------------------------------------------------
    // Starts a note of `frequency` Hz; unless legato the voice is reset first.
    void NoteStart(int voice, bool legato, float frequency);
    // Frequency multiplier from the pitch modulation routing (2^octaves).
    void SetOctaveFactor(int voice, float factor);
    // Velocity amplitude 0 … 1; the voice keeps half of it (a full-level harmonic 1 then peaks at 1).
    void SetVoiceAmplitude(int voice, float amplitude);
    // Harmony-time speed: seconds of harmony time per second of audio.
    void SetTimeSpeed(int voice, float speed);
    // Pitch offset in semitones, limited to −24 … +24 (96 steps per octave, interpolated).
    void SetPitchOffset(int voice, float semitones);
    // Multiplier of the phase increment for the coming blocks (vibrato), 1 at rest.
    void SetPitchModulation(int voice, float factor);
    // Semitones between the gliding and the target frequency (0 when no glide runs).
    float GlideOffset(int voice) const;
    void ResetVoice(int voice);
    void ResetAllVoices();

    // [any] MIDI note whose table serves frequency f Hz: the lowest note at or above f, 127 above 16383 Hz.
    int NoteFor(float frequency) const;

    // Blocks [audio] ---------------------------------------------------------------------------------
    // Takes the posted frame edits in order; called at the start of every processing block.
    void ApplyEdits();
    // Adds n samples of the voice to buffer. Without frames the n samples are replaced by 1e-10.
    void Render(int voice, float* buffer, int n);

    // Voice state as the renderer holds it [audio].
    float HarmonyTime(int voice) const;
    float PitchFactor(int voice) const;
    std::uint32_t PhaseIncrement(int voice) const;
    int TableNote(int voice) const;
    float CurrentFrequency(int voice) const;
    int AppliedFrameCount() const;
    // [audio] Vector reading with the kernel that this processor runs fastest (TWavetableReader); on by
    // default. Off: the plain reader. The results are bit-identical either way; tests and benchmarks compare.
    void SetVectorKernels(bool on);
    // [audio] Forces one reader kernel (an unsupported one reads plainly).
    void SetReaderKernel(TWavetableReader::Kernel kernel) { reader_.SetKernel(kernel); }
    TWavetableReader::Kernel ReaderKernel() const { return reader_.ActiveKernel(); }

    // The harmony [gui] ---------------------------------------------------------------------------------
    // The editing side (THarmonyModel.h): frames, harmonics, generators and harmony files, posted to the
    // renderer through the hand-over.
    THarmonyModel& Harmony() { return *model_; }
    const THarmonyModel& Harmony() const { return *model_; }
    int FrameCount() const { return model_->FrameCount(); }
    float FrameTime(int frame) const { return model_->FrameTime(frame); }
    bool InsertFrame(int position, float time) { return model_->InsertFrame(position, time); }
    bool DeleteFrame(int frame) { return model_->DeleteFrame(frame); }
    void DeleteAllFrames() { model_->DeleteAllFrames(); }
    bool SetFrameTime(int frame, float time) { return model_->SetFrameTime(frame, time); }
    void RebuildFrame(int frame) { model_->RebuildFrame(frame); }
    void ResetFrame(int frame) { model_->ResetFrame(frame); }
    std::size_t FrameBytes(int frame) const { return model_->FrameBytes(frame); }
    void CollectGarbage() { model_->CollectGarbage(); }
    void SetHarmonicLevel(int frame, int harmonic, int level) { model_->SetHarmonicLevel(frame, harmonic, level); }
    void SetHarmonicPhase(int frame, int harmonic, int phase) { model_->SetHarmonicPhase(frame, harmonic, phase); }
    int GetHarmonicLevel(int frame, int harmonic) const { return model_->GetHarmonicLevel(frame, harmonic); }
    int GetHarmonicPhase(int frame, int harmonic) const { return model_->GetHarmonicPhase(frame, harmonic); }
    void FillSaw(int frame, int count = kDefaultHarmonics) { model_->FillSaw(frame, count); }
    void FillPulse(int frame, float widthPercent, int count = kDefaultHarmonics) {
        model_->FillPulse(frame, widthPercent, count);
    }
    void FillTriangle(int frame, float peakPercent, int count = kDefaultHarmonics) {
        model_->FillTriangle(frame, peakPercent, count);
    }
    void FillRandom(int frame, int count = kDefaultHarmonics) { model_->FillRandom(frame, count); }
    bool FillShape(int frame, int shape) { return model_->FillShape(frame, shape); }
    void SetRandomSeed(std::uint32_t seed) { model_->SetRandomSeed(seed); }
    void ClearHarmonics(int frame, int last = kDefaultHarmonics) { model_->ClearHarmonics(frame, last); }
    void TiltHarmonics(int frame, float amount, int count = kDefaultHarmonics) {
        model_->TiltHarmonics(frame, amount, count);
    }
    Status LoadHarmonyFile(const std::string& path, int frame) { return model_->LoadHarmonyFile(path, frame); }
    Status SaveHarmonyFile(const std::string& path, int frame) { return model_->SaveHarmonyFile(path, frame); }

private:
    struct Voice {
        std::array<std::uint32_t, kMaxUnison> phases{};
        std::uint32_t increment = 0;
        int tableNote = 0;
        float harmonyTime = 0.0f;
        int segment = 0, fromFrame = 0, toFrame = 0;
        float timeIncrement = 0.0f;
        float lastPitchOffset = 0.0f;
        float targetFrequency = 440.0f, currentFrequency = 440.0f;
        float pitchFactor = 1.0f, octaveFactor = 1.0f;
        float amplitude = 0.5f;
        float glideRate = 0.0f;
        float pitchModulation = 1.0f;
        float glideOffset = 0.0f;
    };
    using FrameList = THarmonyHandOver::FrameList;
    using Edit = THarmonyHandOver::Edit;

    Voice* VoiceAt(int voice);
    const Voice* VoiceAt(int voice) const;
    void UpdatePitch(Voice& v, float frequency);
    std::uint32_t RandomPhase();
    void Adopt(FrameList* list);
    void ApplyEdit(const Edit& edit);
    // Makes the pending tables of the current list's slots live.
    void TakeNewTables();
    void RenderSingle(Voice& v, const FrameList& list, float* buffer, int n);
    void RenderCrossfade(Voice& v, const FrameList& list, float* buffer, int n);
    void Loop(Voice& v, const FrameList& list);

    // Settings.
    int voiceCount_ = 0;
    float sampleRate_;
    int unisonCount_ = 1;
    float unisonSpread_ = 1.0f;
    bool phaseReset_ = true;
    bool glideEnabled_ = false;
    float glideTime_ = 0.0f;
    bool loopEnabled_ = false;
    float frequencyFactor_ = 0.0f;
    float oscillatorGain_ = 1.0f;
    bool glideFromLastNote_ = false;
    float lastNoteFrequency_ = 440.0f;
    std::atomic<float> loopStart_{0.0f};
    std::atomic<float> loopEnd_{3.0e38f};
    std::array<float, kMaxUnison> unisonRatio_{};
    std::array<float, kMaxUnison> unisonGain_{};
    std::uint64_t randomState_ = 0x9E3779B97F4A7C15ull;
    TWavetableReader reader_;

    // Tables fixed at construction.
    std::array<float, 386> pitchRatio_{};       // 2^(k/96 − 2): two octaves down … two up, plus a guard
    std::array<std::uint8_t, 32768> noteFor_{}; // by round(2·f): the lowest note at or above f

    std::unique_ptr<Voice[]> voices_; // kMaxVoices

    // Hand-over between the harmony model and the renderer; the model goes first.
    FrameList* current_ = nullptr; // the renderer's list
    THarmonyHandOver handOver_;
    std::atomic<bool> rendering_{false};
    std::atomic<bool> busy_{false};
    std::unique_ptr<THarmonyModel> model_;
};

} // namespace quillon
