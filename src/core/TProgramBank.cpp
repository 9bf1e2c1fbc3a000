#include "core/TProgramBank.h"

#include "core/ParameterTable.h"
#include "files/LittleEndian.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace quillon {

using namespace record;

namespace {
bool ValidFrame(int frame) {
    return frame >= 0 && frame < kMaxFrames;
}
bool ValidHarmonic(int harmonic) {
    return harmonic >= 0 && harmonic < kHarmonicCount;
}
bool ValidEnvelope(int envelope) {
    return envelope >= 0 && envelope < kEnvelopeCount;
}
bool ValidPoint(int point) {
    return point >= 0 && point < kMaxEnvelopePoints;
}
bool ValidParameter(int index) {
    return index >= 0 && index < record::kParameterCount;
}

// Neutral level of each envelope: 1.0 scales fully, 0.5 leaves filter and pitch unmoved.
constexpr float kEnvelopeNeutralLevel[kEnvelopeCount] = {1.0f, 0.5f, 0.5f, 1.0f, 1.0f};
} // namespace

TProgramBank::TProgramBank() : words_(kBankImageSize / 4, 0u) {
    for (int slot = 0; slot < static_cast<int>(kProgramCount); ++slot)
        InitRecord(slot);
}

std::uint8_t* TProgramBank::At(int slot, std::size_t offset) {
    return reinterpret_cast<std::uint8_t*>(words_.data()) + kRecordSize * static_cast<std::size_t>(slot) + offset;
}

const std::uint8_t* TProgramBank::At(int slot, std::size_t offset) const {
    return reinterpret_cast<const std::uint8_t*>(words_.data()) + kRecordSize * static_cast<std::size_t>(slot) + offset;
}

float TProgramBank::Parameter(int slot, int index) const {
    if (!ValidSlot(slot) || !ValidParameter(index)) return 0.0f;
    const std::size_t word = (kRecordSize * static_cast<std::size_t>(slot) + 4u * static_cast<std::size_t>(index)) / 4;
    std::atomic_ref<std::uint32_t> ref(const_cast<std::uint32_t&>(words_[word]));
    return std::bit_cast<float>(le::NativeFromLittle(ref.load(std::memory_order_relaxed)));
}

void TProgramBank::SetParameter(int slot, int index, float value) {
    if (!ValidSlot(slot) || !ValidParameter(index)) return;
    const std::size_t word = (kRecordSize * static_cast<std::size_t>(slot) + 4u * static_cast<std::size_t>(index)) / 4;
    std::atomic_ref<std::uint32_t> ref(words_[word]);
    ref.store(le::LittleFromNative(std::bit_cast<std::uint32_t>(value)), std::memory_order_relaxed);
}

std::string TProgramBank::Name(int slot) const {
    if (!ValidSlot(slot)) return {};
    const auto* p = reinterpret_cast<const char*>(At(slot, kNameOffset));
    return std::string(p, strnlen(p, kNameLength));
}

void TProgramBank::SetName(int slot, const char* name) {
    if (!ValidSlot(slot)) return;
    std::uint8_t* field = At(slot, kNameOffset);
    std::memset(field, 0, kNameFieldSize);
    if (name) std::memcpy(field, name, strnlen(name, kNameLength));
}

float TProgramBank::Version(int slot) const {
    return ValidSlot(slot) ? le::LoadF32(At(slot, kVersionOffset)) : 0.0f;
}

void TProgramBank::SetVersion(int slot, float version) {
    if (ValidSlot(slot)) le::StoreF32(At(slot, kVersionOffset), version);
}

int TProgramBank::FrameCount(int slot) const {
    return ValidSlot(slot) ? le::LoadI32(At(slot, kFrameCountOffset)) : 0;
}

void TProgramBank::SetFrameCount(int slot, int count) {
    if (ValidSlot(slot)) le::StoreI32(At(slot, kFrameCountOffset), count);
}

float TProgramBank::FrameTime(int slot, int frame) const {
    if (!ValidSlot(slot) || !ValidFrame(frame)) return 0.0f;
    return le::LoadF32(At(slot, FrameOffset(frame) + kFrameTimeOffset));
}

void TProgramBank::SetFrameTime(int slot, int frame, float seconds) {
    if (ValidSlot(slot) && ValidFrame(frame)) le::StoreF32(At(slot, FrameOffset(frame) + kFrameTimeOffset), seconds);
}

std::uint8_t TProgramBank::Level(int slot, int frame, int harmonic) const {
    if (!ValidSlot(slot) || !ValidFrame(frame) || !ValidHarmonic(harmonic)) return 255;
    return *At(slot, FrameOffset(frame) + kFrameLevelsOffset + static_cast<std::size_t>(harmonic));
}

void TProgramBank::SetLevel(int slot, int frame, int harmonic, std::uint8_t level) {
    if (ValidSlot(slot) && ValidFrame(frame) && ValidHarmonic(harmonic))
        *At(slot, FrameOffset(frame) + kFrameLevelsOffset + static_cast<std::size_t>(harmonic)) = level;
}

std::uint8_t TProgramBank::Phase(int slot, int frame, int harmonic) const {
    if (!ValidSlot(slot) || !ValidFrame(frame) || !ValidHarmonic(harmonic)) return 128;
    return *At(slot, FrameOffset(frame) + kFramePhasesOffset + static_cast<std::size_t>(harmonic));
}

void TProgramBank::SetPhase(int slot, int frame, int harmonic, std::uint8_t phase) {
    if (ValidSlot(slot) && ValidFrame(frame) && ValidHarmonic(harmonic))
        *At(slot, FrameOffset(frame) + kFramePhasesOffset + static_cast<std::size_t>(harmonic)) = phase;
}

float TProgramBank::HarmonyLoopStart(int slot) const {
    return ValidSlot(slot) ? le::LoadF32(At(slot, kHarmonyLoopStartOffset)) : 0.0f;
}

float TProgramBank::HarmonyLoopEnd(int slot) const {
    return ValidSlot(slot) ? le::LoadF32(At(slot, kHarmonyLoopEndOffset)) : 0.0f;
}

void TProgramBank::SetHarmonyLoop(int slot, float start, float end) {
    if (!ValidSlot(slot)) return;
    le::StoreF32(At(slot, kHarmonyLoopStartOffset), start);
    le::StoreF32(At(slot, kHarmonyLoopEndOffset), end);
}

int TProgramBank::PointCount(int slot, int envelope) const {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope)) return 0;
    return le::LoadI32(At(slot, EnvelopeOffset(envelope) + kEnvelopePointCountOffset));
}

void TProgramBank::SetPointCount(int slot, int envelope, int count) {
    if (ValidSlot(slot) && ValidEnvelope(envelope))
        le::StoreI32(At(slot, EnvelopeOffset(envelope) + kEnvelopePointCountOffset), count);
}

float TProgramBank::PointTime(int slot, int envelope, int point) const {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope) || !ValidPoint(point)) return 0.0f;
    return le::LoadF32(At(slot, EnvelopeOffset(envelope) + kEnvelopePointsOffset +
                                    kEnvelopePointSize * static_cast<std::size_t>(point)));
}

float TProgramBank::PointLevel(int slot, int envelope, int point) const {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope) || !ValidPoint(point)) return 0.0f;
    return le::LoadF32(At(slot, EnvelopeOffset(envelope) + kEnvelopePointsOffset +
                                    kEnvelopePointSize * static_cast<std::size_t>(point) + 4));
}

void TProgramBank::SetPoint(int slot, int envelope, int point, float seconds, float level) {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope) || !ValidPoint(point)) return;
    std::uint8_t* p = At(slot, EnvelopeOffset(envelope) + kEnvelopePointsOffset +
                                   kEnvelopePointSize * static_cast<std::size_t>(point));
    le::StoreF32(p, seconds);
    le::StoreF32(p + 4, level);
}

float TProgramBank::EnvelopeLoopStart(int slot, int envelope) const {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope)) return 0.0f;
    return le::LoadF32(At(slot, EnvelopeOffset(envelope) + kEnvelopeLoopStartOffset));
}

float TProgramBank::EnvelopeLoopEnd(int slot, int envelope) const {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope)) return 0.0f;
    return le::LoadF32(At(slot, EnvelopeOffset(envelope) + kEnvelopeLoopEndOffset));
}

void TProgramBank::SetEnvelopeLoop(int slot, int envelope, float start, float end) {
    if (!ValidSlot(slot) || !ValidEnvelope(envelope)) return;
    le::StoreF32(At(slot, EnvelopeOffset(envelope) + kEnvelopeLoopStartOffset), start);
    le::StoreF32(At(slot, EnvelopeOffset(envelope) + kEnvelopeLoopEndOffset), end);
}

void TProgramBank::InitRecord(int slot) {
    if (!ValidSlot(slot)) return;
    for (int i = 0; i < record::kParameterCount; ++i)
        SetParameter(slot, i, ParameterTable::Spec(i).defaultValue);
    SetName(slot, "-");
    SetVersion(slot, kFormatVersion);
    *At(slot, kReservedByteOffset) = 0;
    std::memset(At(slot, kReservedBlock1Offset), 0, kReservedBlockSize);
    std::memset(At(slot, kReservedBlock2Offset), 0, kReservedBlockSize);
    SetFrameCount(slot, 1);
    SetFrameTime(slot, 0, 0.0f);
    std::memset(At(slot, FrameOffset(0) + kFrameLevelsOffset), 255, kHarmonicCount);
    std::memset(At(slot, FrameOffset(0) + kFramePhasesOffset), 128, kHarmonicCount);
    for (int e = 0; e < kEnvelopeCount; ++e) {
        SetPointCount(slot, e, 1);
        SetPoint(slot, e, 0, 0.0f, kEnvelopeNeutralLevel[e]);
    }
}

void TProgramBank::CopyRecord(int slot, std::span<std::uint8_t> out) const {
    if (!ValidSlot(slot) || out.size() < kRecordSize) return;
    constexpr std::size_t kParameterBytes = 4 * static_cast<std::size_t>(record::kParameterCount);
    for (int i = 0; i < record::kParameterCount; ++i)
        le::StoreF32(out.data() + 4 * static_cast<std::size_t>(i), Parameter(slot, i));
    std::memcpy(out.data() + kParameterBytes, At(slot, kParameterBytes), kRecordSize - kParameterBytes);
}

void TProgramBank::CopyImage(std::span<std::uint8_t> out) const {
    if (out.size() < kBankImageSize) return;
    for (int slot = 0; slot < static_cast<int>(kProgramCount); ++slot)
        CopyRecord(slot, out.subspan(kRecordSize * static_cast<std::size_t>(slot), kRecordSize));
    std::memcpy(out.data() + kBankVersionOffset,
                reinterpret_cast<const std::uint8_t*>(words_.data()) + kBankVersionOffset,
                kBankImageSize - kBankVersionOffset);
}

void TProgramBank::StoreRecord(int slot, std::span<const std::uint8_t> in) {
    if (!ValidSlot(slot) || in.size() < kRecordSize) return;
    constexpr std::size_t kParameterBytes = 4 * static_cast<std::size_t>(record::kParameterCount);
    for (int i = 0; i < record::kParameterCount; ++i)
        SetParameter(slot, i, le::LoadF32(in.data() + 4 * static_cast<std::size_t>(i)));
    std::memcpy(At(slot, kParameterBytes), in.data() + kParameterBytes, kRecordSize - kParameterBytes);
}

namespace {

// Holds a time to 0..latest; not-a-number becomes `otherwise`.
float RepairTime(float seconds, float otherwise) {
    if (std::isnan(seconds)) return otherwise;
    return std::clamp(seconds, 0.0f, TProgramBank::kLatestTime);
}

// Holds a value to 0..1; not-a-number becomes 0.
float RepairUnit(float value) {
    return value >= 0.0f ? std::min(value, 1.0f) : 0.0f;
}

} // namespace

void TProgramBank::RepairRecord(int slot) {
    if (!ValidSlot(slot)) return;
    for (int i = 0; i < record::kParameterCount; ++i) {
        const float v = Parameter(slot, i);
        if (!(v >= 0.0f && v <= 1.0f)) SetParameter(slot, i, RepairUnit(v));
    }
    At(slot, kNameOffset)[kNameLength] = 0;

    // A value in range comes back with the same bits (even -0.0), so a sound record stays byte-identical.
    const int frames = std::clamp(FrameCount(slot), 1, kMaxFrames);
    SetFrameCount(slot, frames);
    for (int f = 0; f < frames; ++f)
        SetFrameTime(slot, f, RepairTime(FrameTime(slot, f), 0.0f));
    SetHarmonyLoop(slot, RepairTime(HarmonyLoopStart(slot), 0.0f), RepairTime(HarmonyLoopEnd(slot), kLatestTime));

    for (int e = 0; e < kEnvelopeCount; ++e) {
        const int points = std::clamp(PointCount(slot, e), 1, kMaxEnvelopePoints);
        SetPointCount(slot, e, points);
        for (int i = 0; i < points; ++i)
            SetPoint(slot, e, i, RepairTime(PointTime(slot, e, i), 0.0f), RepairUnit(PointLevel(slot, e, i)));
        SetEnvelopeLoop(slot, e, RepairTime(EnvelopeLoopStart(slot, e), 0.0f),
                        RepairTime(EnvelopeLoopEnd(slot, e), kLatestTime));
    }
}

float TProgramBank::BankVersion() const {
    return le::LoadF32(reinterpret_cast<const std::uint8_t*>(words_.data()) + kBankVersionOffset);
}

void TProgramBank::SetBankVersion(float version) {
    le::StoreF32(reinterpret_cast<std::uint8_t*>(words_.data()) + kBankVersionOffset, version);
}

int TProgramBank::BankCurrentProgram() const {
    return le::LoadI32(reinterpret_cast<const std::uint8_t*>(words_.data()) + kBankCurrentProgramOffset);
}

void TProgramBank::SetBankCurrentProgram(int slot) {
    le::StoreI32(reinterpret_cast<std::uint8_t*>(words_.data()) + kBankCurrentProgramOffset, slot);
}

std::span<std::uint8_t, kGlobalSettingsSize> TProgramBank::GlobalSettings() {
    return std::span<std::uint8_t, kGlobalSettingsSize>(
        reinterpret_cast<std::uint8_t*>(words_.data()) + kGlobalSettingsOffset, kGlobalSettingsSize);
}

std::span<const std::uint8_t, kGlobalSettingsSize> TProgramBank::GlobalSettings() const {
    return std::span<const std::uint8_t, kGlobalSettingsSize>(
        reinterpret_cast<const std::uint8_t*>(words_.data()) + kGlobalSettingsOffset, kGlobalSettingsSize);
}

std::span<std::uint8_t> TProgramBank::RecordBytes(int slot) {
    if (!ValidSlot(slot)) return {};
    return std::span<std::uint8_t>(At(slot, 0), kRecordSize);
}

std::span<const std::uint8_t> TProgramBank::RecordBytes(int slot) const {
    if (!ValidSlot(slot)) return {};
    return std::span<const std::uint8_t>(At(slot, 0), kRecordSize);
}

std::span<std::uint8_t> TProgramBank::ImageBytes() {
    return std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(words_.data()), kBankImageSize);
}

std::span<const std::uint8_t> TProgramBank::ImageBytes() const {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(words_.data()), kBankImageSize);
}

} // namespace quillon
