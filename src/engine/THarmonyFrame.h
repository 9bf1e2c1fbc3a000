// One harmony frame: a point on the harmony's time line, the level and phase of each of its harmonics, and
// the builder of its 128 band-limited single-cycle wavetables (one per MIDI note, 4096 samples each).
//
// Harmonic encoding. Level: attenuation in steps of 0.5 dB, amplitude 10^(−level/40); 255 and above is
// silent; negative levels count as 0. Phase byte b: angle (b − 128)/128·π, so 128 is a sine starting at 0.
// Each harmonic j keeps a cosine part sin φ·A and a sine part cos φ·A; the inverse transform turns the pair
// into the component 2A·sin(jθ + φ).
//
// Table building. For note n with frequency F (NoteTable), harmonic j ≥ 1 gets gain 1 below 20000 Hz, the
// cubic fade ((22050 − jF)/2050)³ between 20000 and 22050 Hz, and 0 from 22050 Hz on (the band limit does
// not depend on the sample rate); harmonic 0 (DC) never sounds. Notes whose gains are equal for every
// sounding harmonic get bit-identical tables, so such a run of notes stores one table (every low note where
// all harmonics lie below 20000 Hz, the top notes that keep only the same few harmonics). A silent harmonic
// contributes exactly nothing to a table.
//
// Threads: a frame is plain data owned by one thread at a time. Built tables are immutable and may be read
// by any thread [any].
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>

namespace quillon {

class TFFTReal;

class THarmonyFrame {
public:
    static constexpr int kHarmonicCount = 2048;    // harmonics 0 … 2047, 0 being DC
    static constexpr int kEditableHarmonics = 251; // harmonics 0 … 250 reach the editor, files and records
    static constexpr int kNoteCount = 128;
    static constexpr int kTableLength = 4096;
    static constexpr float kSilentLevel = 1.0e20f; // stored level of a silent harmonic
    static constexpr float kSilentAmplitude = 1.0e-10f;

    // The 128 wavetables of a frame, immutable once built. Table(n) points at sample 0 of one cycle of note
    // n; samples −1, 4096 and 4097 are readable too (wrapped copies of 4095, 0 and 1), so that 4-point
    // interpolation needs no index wrapping.
    class Tables {
    public:
        static constexpr int kStride = kTableLength + 4; // one guard before, two after, one spare

        const float* Table(int note) const { return data_.get() + offset_[static_cast<std::size_t>(note)]; }
        int DistinctCount() const { return distinctCount_; }
        // Bytes held by this object and its table storage.
        std::size_t ByteSize() const {
            return sizeof(*this) + static_cast<std::size_t>(distinctCount_) * kStride * sizeof(float);
        }

    private:
        friend class THarmonyFrame;
        Tables() = default;

        std::array<std::uint32_t, kNoteCount> offset_{};   // element offset of sample 0 of each note's table
        std::array<std::uint8_t, kNoteCount> firstNote_{}; // the lowest note of each stored table
        int distinctCount_ = 0;
        std::unique_ptr<float[]> data_;
    };

    // A silent frame at time 0.
    THarmonyFrame();

    // Seconds of harmony time at which the frame sounds pure.
    float Time() const { return time_; }
    void SetTime(float seconds) { time_ = seconds; }

    // Harmonic j (0 … 2047). Levels are attenuations in 0.5 dB steps; phases are phase-byte values.
    // Out-of-range j is ignored (setters) or reads as silent with phase 128 (getters).
    void SetLevel(int j, float level);
    void SetPhase(int j, float phase);
    // Byte forms as the editor, files and records use them: level byte 255 means silent.
    void SetLevelByte(int j, int level);
    void SetPhaseByte(int j, int phase);
    float Level(int j) const;
    float Phase(int j) const;
    int LevelByte(int j) const; // rounded, limited to 0 … 255
    int PhaseByte(int j) const; // rounded
    float CosinePart(int j) const;
    float SinePart(int j) const;

    // Every harmonic silent with phase 128.
    void Silence();

    // Harmonic generators over harmonics 1 … count (the editor passes 250); count is limited to 2047.
    void FillSaw(int count);
    void FillPulse(int count, float widthPercent);
    // peakPercent must lie strictly between 0 and 100; other values leave the frame as it is.
    void FillTriangle(int count, float peakPercent);
    void FillRandom(int count, std::mt19937& random);
    // One of the eleven preset shapes over harmonics 1 … count: 0 saw, 1 pulse 50 %, 2 triangle 50 %,
    // 3 pulse 6 %, 4 pulse 12 %, 5 pulse 25 %, 6 triangle 3 %, 7 triangle 6 %, 8 triangle 12 %,
    // 9 triangle 25 %, 10 random (from `random`). Other shapes leave the frame as it is; false then.
    bool FillShape(int shape, int count, std::mt19937& random);
    // Harmonics 0 … last become silent with phase 128.
    void ClearHarmonics(int last);
    // Lowers the level of harmonic k by amount·ln k (k = 1 … count); levels may leave 0 … 255.
    void TiltHarmonics(int count, float amount);

    // Works out which notes share a table and allocates the (unfilled) tables.
    std::unique_ptr<Tables> PlanTables() const;
    // Fills stored tables first, first + step, … of a plan made from this frame. Several threads may fill
    // disjoint sets of one plan at once, each with its own `fft` (length 4096) and `work` (4096 floats).
    void FillTables(Tables& tables, int first, int step, TFFTReal& fft, float* work) const;
    // Plans and fills all tables on the calling thread.
    std::unique_ptr<Tables> BuildTables(TFFTReal& fft) const;

    // Gain of harmonic j for a note of frequency f Hz: the band limit described above.
    static float BandGain(int j, double noteFrequency);
    // Level byte of a generator's amplitude a: round(−40·log10(|a| + 1e-20)), 255 when above 180.
    static float GeneratorLevel(double amplitude);

private:
    void UpdateParts(int j);
    // Fills work with the spectrum of note n (only sounding harmonics).
    void FillSpectrum(int note, float* work) const;

    float time_ = 0.0f;
    std::array<float, kHarmonicCount> levels_;
    std::array<float, kHarmonicCount> phases_;
    std::array<float, kHarmonicCount> cosineParts_;
    std::array<float, kHarmonicCount> sineParts_;
};

} // namespace quillon
