// The 128 program records of one plug-in instance and the bank trailer behind them, held as one
// contiguous little-endian image of 7,104,596 bytes: the bank chunk is exactly this byte range.
// Fields are read and written through explicit little-endian accessors at the offsets of
// files/ProgramRecord.h, never by casting structs.
//
// Threads: parameter values are read and written with atomic 32-bit accesses, because hosts set and
// read parameters from their GUI and audio threads at once [any]. Every other field belongs to the
// thread that edits programs (the host's GUI thread, or a program switch while audio stays out) [gui].
#pragma once

#include "files/ProgramRecord.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TProgramBank {
public:
    TProgramBank();

    // Parameter value 0..1 of a slot. [any]
    float Parameter(int slot, int index) const;
    void SetParameter(int slot, int index, float value);

    // Program name, at most 24 characters.
    std::string Name(int slot) const;
    // Stores the first 24 characters of `name` (up to its first NUL), zero-filling the rest of the field.
    void SetName(int slot, const char* name);

    float Version(int slot) const;
    void SetVersion(int slot, float version);

    int FrameCount(int slot) const;
    void SetFrameCount(int slot, int count);
    float FrameTime(int slot, int frame) const;
    void SetFrameTime(int slot, int frame, float seconds);
    std::uint8_t Level(int slot, int frame, int harmonic) const;
    void SetLevel(int slot, int frame, int harmonic, std::uint8_t level);
    std::uint8_t Phase(int slot, int frame, int harmonic) const;
    void SetPhase(int slot, int frame, int harmonic, std::uint8_t phase);
    float HarmonyLoopStart(int slot) const;
    float HarmonyLoopEnd(int slot) const;
    void SetHarmonyLoop(int slot, float start, float end);

    int PointCount(int slot, int envelope) const;
    void SetPointCount(int slot, int envelope, int count);
    float PointTime(int slot, int envelope, int point) const;
    float PointLevel(int slot, int envelope, int point) const;
    void SetPoint(int slot, int envelope, int point, float seconds, float level);
    float EnvelopeLoopStart(int slot, int envelope) const;
    float EnvelopeLoopEnd(int slot, int envelope) const;
    void SetEnvelopeLoop(int slot, int envelope, float start, float end);

    // Writes the defaults of a fresh program into a slot; padding, unused frame and point slots and all
    // loop points keep what they hold.
    void InitRecord(int slot);

    // Bank trailer.
    float BankVersion() const;
    void SetBankVersion(float version);
    int BankCurrentProgram() const;
    void SetBankCurrentProgram(int slot);
    std::span<std::uint8_t, record::kGlobalSettingsSize> GlobalSettings();
    std::span<const std::uint8_t, record::kGlobalSettingsSize> GlobalSettings() const;

    // Copies of one record and of the whole image, taken with atomic reads of the parameter values, so
    // that a host setting parameters on another thread meanwhile cannot tear them.
    void CopyRecord(int slot, std::span<std::uint8_t> out) const;
    void CopyImage(std::span<std::uint8_t> out) const;
    // Writes a whole record (parameter values through atomic stores).
    void StoreRecord(int slot, std::span<const std::uint8_t> in);
    // Repairs a record that came from outside (chunk, program or bank file) before anything reads it, so
    // that a record holding nonsense reaches the engine and the editor only as a playable program:
    // - parameter values are held to 0..1, not-a-number becomes 0;
    // - the name field ends with a NUL (at most 24 characters);
    // - frame and point counts are held to 1..100;
    // - times of the frames and points in use and the loop starts are held to 0..kLatestTime (not-a-number
    //   and negative become 0), loop ends likewise with not-a-number meaning "never" (kLatestTime);
    // - point levels are held to 0..1 (not-a-number becomes 0).
    // Harmonic level and phase bytes are valid in every value; frame and point slots beyond the counts
    // keep what they hold, as they do in every record. A sound record comes out byte for byte unchanged.
    void RepairRecord(int slot);

    // The latest time a record may name: the loop end of a fresh program ("no loop").
    static constexpr float kLatestTime = 3.0e38f;

    // Raw bytes of one record and of the whole image.
    std::span<std::uint8_t> RecordBytes(int slot);
    std::span<const std::uint8_t> RecordBytes(int slot) const;
    std::span<std::uint8_t> ImageBytes();
    std::span<const std::uint8_t> ImageBytes() const;

    static bool ValidSlot(int slot) { return slot >= 0 && slot < static_cast<int>(record::kProgramCount); }

private:
    std::uint8_t* At(int slot, std::size_t offset);
    const std::uint8_t* At(int slot, std::size_t offset) const;

    // Words keep the image 4-byte aligned so that parameter values can be accessed atomically.
    std::vector<std::uint32_t> words_;
};

} // namespace quillon
