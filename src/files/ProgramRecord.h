// Layout of one program record: 55,504 bytes, little-endian, stored byte for byte in host chunks,
// program files and bank files. Every offset here is part of those stored formats.
#pragma once

#include <cstddef>

namespace quillon::record {

constexpr int kParameterCount = 124;
constexpr int kNameLength = 24;     // characters; the field holds a terminating NUL as well
constexpr int kHarmonicCount = 251; // harmonic 0 (DC) to 250
constexpr int kMaxFrames = 100;
constexpr int kMaxEnvelopePoints = 100;
constexpr int kEnvelopeCount = 5;

constexpr std::size_t kParametersOffset = 0; // 124 floats 0..1
constexpr std::size_t kNameOffset = 496;     // 25 bytes
constexpr std::size_t kNameFieldSize = 25;
constexpr std::size_t kVersionOffset = 524; // float
constexpr std::size_t kReservedByteOffset = 528;
constexpr std::size_t kReservedBlock1Offset = 529; // 51 bytes
constexpr std::size_t kReservedBlock2Offset = 580; // 51 bytes
constexpr std::size_t kReservedBlockSize = 51;
constexpr std::size_t kFrameCountOffset = 632; // int32, 1..100
constexpr std::size_t kFramesOffset = 636;     // 100 slots
constexpr std::size_t kFrameSize = 508;
constexpr std::size_t kFrameTimeOffset = 0;            // float seconds of harmony time
constexpr std::size_t kFrameLevelsOffset = 4;          // 251 bytes, 0 loudest, 0.5 dB steps, 255 silent
constexpr std::size_t kFramePhasesOffset = 255;        // 251 bytes, angle (b − 128)/128·π
constexpr std::size_t kHarmonyLoopStartOffset = 51436; // float seconds
constexpr std::size_t kHarmonyLoopEndOffset = 51440;   // float seconds
constexpr std::size_t kEnvelopesOffset = 51444;
constexpr std::size_t kEnvelopeSize = 812;
constexpr std::size_t kEnvelopePointCountOffset = 0; // int32, 1..100
constexpr std::size_t kEnvelopePointsOffset = 4;     // 100 × (float time s, float level 0..1)
constexpr std::size_t kEnvelopePointSize = 8;
constexpr std::size_t kEnvelopeLoopStartOffset = 804;
constexpr std::size_t kEnvelopeLoopEndOffset = 808;
constexpr std::size_t kRecordSize = 55504;

constexpr std::size_t kProgramCount = 128;
constexpr std::size_t kBankVersionOffset = kRecordSize * kProgramCount; // float, after the records
constexpr std::size_t kBankCurrentProgramOffset = kBankVersionOffset + 4;
constexpr std::size_t kGlobalSettingsOffset = kBankCurrentProgramOffset + 4;
constexpr std::size_t kGlobalSettingsSize = 76;
constexpr std::size_t kBankImageSize = kGlobalSettingsOffset + kGlobalSettingsSize;

constexpr float kFormatVersion = 1.1f; // bits 0x3F8CCCCD

// Envelope blocks in record order.
enum EnvelopeIndex : int { kAmplitudeEnvelope = 0, kFilterEnvelope, kPitchEnvelope, kLfo1Envelope, kLfo2Envelope };

constexpr std::size_t FrameOffset(int frame) {
    return kFramesOffset + kFrameSize * static_cast<std::size_t>(frame);
}
constexpr std::size_t EnvelopeOffset(int envelope) {
    return kEnvelopesOffset + kEnvelopeSize * static_cast<std::size_t>(envelope);
}

static_assert(kNameOffset == kParametersOffset + 4 * static_cast<std::size_t>(kParameterCount));
static_assert(FrameOffset(kMaxFrames) == kHarmonyLoopStartOffset);
static_assert(kFramePhasesOffset == kFrameLevelsOffset + kHarmonicCount);
static_assert(kEnvelopeLoopStartOffset == kEnvelopePointsOffset + kEnvelopePointSize * kMaxEnvelopePoints);
static_assert(EnvelopeOffset(kEnvelopeCount) == kRecordSize);
static_assert(kBankImageSize == 7104596);
static_assert(kRecordSize % 4 == 0 && kBankImageSize % 4 == 0);

} // namespace quillon::record
