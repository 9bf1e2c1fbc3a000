// Multi-point envelope shared by all voices: one list of breakpoints (time in seconds, value; the editor
// works in 0 … 1, times ascending, the first point at 0 s) and per-voice playback state. The synthesizer
// holds five: amplitude, filter, pitch and the two LFO depths. A voice advances once per render block,
// interpolates linearly between breakpoints, can loop a time range while the note is held, and on release
// ramps linearly from the level it had to the release target.
//
// Threads and hand-over of the point list
// - Point edits (InsertPoint, DeletePoint, DeleteAllPoints, SetPoint, SetSampleRate) come from the editor,
//   from chunk restores and from the program-change worker [gui]. They edit a writer-side master list
//   (serialised between those threads by a mutex that the audio thread never touches) and then publish a
//   finished copy of it (TPublished): the audio thread takes the newest copy at the start of each of its
//   operations, and the copy it replaces is freed on the writer's side. Neither side ever waits, and no
//   point is read while it changes or after it is gone. Edits therefore take effect between render blocks;
//   a NextValue that runs during an edit uses the list as it was before the edit.
// - The per-voice corrections that edits imply are made by the audio thread when it takes a new snapshot:
//   a voice's segment beyond the last point is brought back to the last point, and every point moved by
//   SetPoint (or re-stored by SetSampleRate) carries the generation of its snapshot, so the voice catch-up
//   of SetPoint is applied once to each moved point.
// - Per-voice state lives in arrays sized once for 256 voices and belongs to the audio thread.
//   SetVoiceCount [any] stores the count and requests a reset of every voice; the audio thread performs it
//   before its next voice operation. Settings (loop, release time and target, sample rate) are relaxed
//   atomics [any]: each is one value, read once per block.
// - The audio-thread operations [audio] allocate nothing and take no lock.
#pragma once

#include "engine/TPublished.h"
#include "engine/VoiceLimits.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace quillon {

class TEnvelopeHolder {
public:
    static constexpr int kMaxPoints = 100;

    // voiceCount 1 … 256; sampleRate in Hz.
    TEnvelopeHolder(int voiceCount, float sampleRate);
    TEnvelopeHolder(const TEnvelopeHolder&) = delete;
    TEnvelopeHolder& operator=(const TEnvelopeHolder&) = delete;

    // Settings -------------------------------------------------------------------------------------------

    // Stores the rate and re-stores every point unchanged, which applies the catch-up of SetPoint. Running
    // voices keep their time increment until their next note start. [gui]
    void SetSampleRate(float sampleRate);
    float SampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    // Voice count, limited to 1 … 256; every voice is reset as by NoteStart(voice, not legato). [any]
    void SetVoiceCount(int count);
    int VoiceCount() const { return voiceCount_.load(std::memory_order_relaxed); }

    void SetLoopEnabled(bool on) { loopEnabled_.store(on, std::memory_order_relaxed); } // [any]
    bool LoopEnabled() const { return loopEnabled_.load(std::memory_order_relaxed); }
    void SetLoopStart(float seconds) { loopStart_.store(seconds, std::memory_order_relaxed); } // [any]
    float LoopStart() const { return loopStart_.load(std::memory_order_relaxed); }
    void SetLoopEnd(float seconds) { loopEnd_.store(seconds, std::memory_order_relaxed); } // [any]
    float LoopEnd() const { return loopEnd_.load(std::memory_order_relaxed); }
    // Duration of the release line at speed 1, seconds (1.0 at creation). [any]
    void SetReleaseTime(float seconds) { releaseTime_.store(seconds, std::memory_order_relaxed); }
    float ReleaseTime() const { return releaseTime_.load(std::memory_order_relaxed); }
    // Level the release line ends at and then holds (0 at creation). SetReleaseLevel is the name the
    // parameter actions use ("RelLevel"). [any]
    void SetReleaseTarget(float level) { releaseTarget_.store(level, std::memory_order_relaxed); }
    void SetReleaseLevel(float level) { SetReleaseTarget(level); }
    float ReleaseTarget() const { return releaseTarget_.load(std::memory_order_relaxed); }
    float ReleaseLevel() const { return ReleaseTarget(); }

    // Voices [audio] (voice indices outside 0 … voice count − 1 are ignored) --------------------------------

    // Holds the voice and sets its speed to 1; unless legato, the voice starts again from time 0.
    void NoteStart(int voice, bool legato);
    // Time runs `speed` times as fast (time stretch by key and velocity); called after NoteStart.
    void SetSpeed(int voice, float speed);
    // Enters the release line from the last output. With cubeRoot (the amplitude envelope, whose result
    // the render loop cubes) the line starts at the cube root of the output, or at 1e-20 below 1e-5.
    void Release(int voice, bool cubeRoot = false);
    // Advances the voice by a block of n samples and returns its value for the block; 0 for an ignored voice.
    float NextValue(int voice, int n);

    // Voice state, for inspection: time in seconds since the note started, the index of the point the
    // voice moves towards, held or released, and the per-sample time increment.
    float VoiceTime(int voice);
    int VoiceSegment(int voice);
    bool VoiceRunning(int voice);
    float VoiceIncrement(int voice);

    // Points [gui] -----------------------------------------------------------------------------------------

    int PointCount() const;
    // Inserts before the point at index (0 ≤ index ≤ count, at most 100 points); false when refused.
    bool InsertPoint(int index, float seconds, float value);
    // Deletes the point at index (0 ≤ index < count); false when refused.
    bool DeletePoint(int index);
    void DeleteAllPoints();
    // Moves the point at index. Voices moving towards the next point whose time is below the new time jump
    // to it. An index outside the list changes nothing and gives false (telling the user is the caller's
    // part); true when the point was stored.
    bool SetPoint(int index, float seconds, float value);
    // Time (seconds) and value of a point; 0 outside the list.
    float PointTime(int index) const;
    float PointValue(int index) const;

private:
    struct Point {
        float time = 0.0f;
        float value = 0.0f;
        std::uint64_t moved = 0; // generation of the snapshot in which SetPoint last stored this point
    };
    struct Snapshot {
        int count = 0;
        std::uint64_t generation = 0;
        std::uint64_t lastMoved = 0; // largest `moved` of the points
        std::array<Point, kMaxPoints> points{};
    };
    struct Voice {
        float increment = 0.0f;    // seconds per sample: speed / sample rate
        float time = 0.0f;         // seconds since the note started
        int segment = 0;           // the point the voice moves towards
        bool running = true;       // held; false after release
        float releaseLevel = 0.0f; // output during release
        float output = 0.0f;       // last value while held, and the release start level
    };

    bool ValidVoice(int voice) const { return voice >= 0 && voice < VoiceCount(); }
    void ResetVoice(Voice& v) const;
    // Writer side, with writerMutex_ held: copies the master list into the back snapshot and publishes it.
    void PublishLocked();
    // Audio side: performs a requested voice reset and takes a newly published snapshot.
    void SyncAudio();
    void ApplyCatchUp(const Snapshot& s);

    // Writer side.
    mutable std::mutex writerMutex_;
    Snapshot master_;
    std::uint64_t generation_ = 0;

    // Hand-over.
    TPublished<Snapshot> published_;

    // Audio side.
    std::uint64_t seenGeneration_ = 0;
    std::uint32_t seenReset_ = 0;
    std::array<Voice, kMaxVoices> voices_{};

    std::atomic<float> sampleRate_;
    std::atomic<int> voiceCount_;
    std::atomic<std::uint32_t> resetRequest_{0};
    std::atomic<bool> loopEnabled_{false};
    std::atomic<float> loopEnd_{3.0e38f};
    std::atomic<float> loopStart_{0.0f};
    std::atomic<float> releaseTime_{1.0f};
    std::atomic<float> releaseTarget_{0.0f};
};

} // namespace quillon
