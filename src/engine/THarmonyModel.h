// The harmony as the editor and the program switch edit it: the posting side of the voice oscillator.
// It keeps the editable model (each frame's time, harmonic levels and phases, its newest tables and its
// table slot), builds a frame's 128 wavetables when it is rebuilt, runs the generators and reads and
// writes harmony files, and posts every change to the oscillator's renderer through the hand-over
// (THarmonyHandOver; the design note in TIFFTVoiceOsc.h tells how). It also frees what the renderer hands
// back. All operations are [gui]: they run on posting threads (editor, program-switch worker), may allocate,
// build tables and take the model's mutex, which the audio thread never touches.
#pragma once

#include "engine/THarmonyFrame.h"
#include "engine/THarmonyHandOver.h"
#include "engine/TTableBuilder.h"
#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace quillon {

class THarmonyModel {
public:
    static constexpr int kDefaultHarmonics = 250; // harmonics 1 … 250 for the generators

    // Posts into `handOver`, which outlives the model.
    explicit THarmonyModel(THarmonyHandOver& handOver);
    ~THarmonyModel();
    THarmonyModel(const THarmonyModel&) = delete;
    THarmonyModel& operator=(const THarmonyModel&) = delete;

    // Frames -----------------------------------------------------------------------------------
    int FrameCount() const;
    float FrameTime(int frame) const; // 0 for a frame that does not exist
    // Accepted for 0 ≤ position ≤ FrameCount(): a silent frame at `time` seconds.
    bool InsertFrame(int position, float time);
    bool DeleteFrame(int frame);
    void DeleteAllFrames();
    bool SetFrameTime(int frame, float time);
    // Builds the frame's tables from its harmonics and publishes them.
    void RebuildFrame(int frame);
    // Makes every harmonic of the frame silent and rebuilds it.
    void ResetFrame(int frame);
    // Bytes of the frame's tables and harmonic data (0 for a frame that does not exist).
    std::size_t FrameBytes(int frame) const;
    // Frees lists and tables the audio thread has handed back; posting operations do it too. Replaced
    // tables stay in memory until then, so the GUI's idle calls this now and then.
    void CollectGarbage();

    // Harmonics of a frame: bytes as the editor, files and records use them (level 255 silent,
    // phase 128 = 0 rad). Changing them does not rebuild the tables: call RebuildFrame when done.
    void SetHarmonicLevel(int frame, int harmonic, int level);
    void SetHarmonicPhase(int frame, int harmonic, int phase);
    int GetHarmonicLevel(int frame, int harmonic) const; // rounded, 0 … 255
    int GetHarmonicPhase(int frame, int harmonic) const; // rounded

    // Generators over harmonics 1 … count of a frame, each followed by RebuildFrame.
    void FillSaw(int frame, int count = kDefaultHarmonics);
    void FillPulse(int frame, float widthPercent, int count = kDefaultHarmonics);
    void FillTriangle(int frame, float peakPercent, int count = kDefaultHarmonics); // 0 < peak < 100
    void FillRandom(int frame, int count = kDefaultHarmonics);
    // A preset shape (THarmonyFrame::FillShape) over harmonics 1 … 250; false for an unknown shape.
    bool FillShape(int frame, int shape);
    // Restarts FillRandom's random source from `seed`. Each oscillator starts from a seed of the system's
    // random source, so that every instance and every load makes its own random harmony; tests fix it.
    void SetRandomSeed(std::uint32_t seed);
    void ClearHarmonics(int frame, int last = kDefaultHarmonics); // harmonics 0 … last
    void TiltHarmonics(int frame, float amount, int count = kDefaultHarmonics);

    // Harmony files (.bha): THarmonyFileManager's outcomes (files/THarmonyFileManager.h), and kOutOfRange
    // with no text for a frame the model does not have.
    Status LoadHarmonyFile(const std::string& path, int frame);
    Status SaveHarmonyFile(const std::string& path, int frame);

private:
    struct Frame {
        THarmonyFrame harmonics;
        std::shared_ptr<const THarmonyFrame::Tables> tables; // the newest built
        std::shared_ptr<THarmonyHandOver::TableSlot> slot;
    };

    Frame* At(int frame);
    const Frame* At(int frame) const;
    // Posts the model's frame list with the edit that made it.
    void Post(int command, int index, float time);
    // Frees lists and tables the renderer has handed back.
    void CollectLocked();
    // Builds the frame's tables and leaves them pending in its slot for the renderer.
    void RebuildLocked(int frame);

    THarmonyHandOver& handOver_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Frame>> frames_;
    TTableBuilder builder_;
    std::mt19937 random_; // FillRandom's source
};

} // namespace quillon
