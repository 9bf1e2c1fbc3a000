#include "core/TProgramBank.h"
#include "core/ParameterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using namespace quillon;
using namespace quillon::record;

namespace {

float FloatAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
        (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::int32_t IntAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
        (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24));
}

} // namespace

TEST(ProgramRecord, FreshRecordBytesAtTheirOffsets) {
    auto bank = std::make_unique<TProgramBank>();
    const auto r = bank->RecordBytes(5);
    ASSERT_EQ(r.size(), 55504u);
    for (int i = 0; i < record::kParameterCount; ++i)
        EXPECT_EQ(FloatAt(r, 4u * static_cast<std::size_t>(i)), ParameterTable::Spec(i).defaultValue) << i;
    EXPECT_EQ(FloatAt(r, 4 * 106), 0.12f);
    // Name "-" then zeros up to the end of the 25-byte field.
    EXPECT_EQ(r[496], '-');
    for (std::size_t i = 497; i < 521; ++i)
        EXPECT_EQ(r[i], 0) << i;
    // Version 1.1 as bits 0x3F8CCCCD, little-endian.
    EXPECT_EQ(r[524], 0xCD);
    EXPECT_EQ(r[525], 0xCC);
    EXPECT_EQ(r[526], 0x8C);
    EXPECT_EQ(r[527], 0x3F);
    EXPECT_EQ(IntAt(r, 632), 1);
    EXPECT_EQ(FloatAt(r, 636), 0.0f);
    for (std::size_t k = 0; k < 251; ++k) {
        EXPECT_EQ(r[640 + k], 255) << k;
        EXPECT_EQ(r[891 + k], 128) << k;
    }
    const float neutral[5] = {1.0f, 0.5f, 0.5f, 1.0f, 1.0f};
    for (std::size_t e = 0; e < 5; ++e) {
        const std::size_t block = 51444 + 812 * e;
        EXPECT_EQ(IntAt(r, block), 1) << e;
        EXPECT_EQ(FloatAt(r, block + 4), 0.0f) << e;
        EXPECT_EQ(FloatAt(r, block + 8), neutral[e]) << e;
    }
}

TEST(ProgramRecord, AllFreshSlotsAreIdentical) {
    auto bank = std::make_unique<TProgramBank>();
    const auto first = bank->RecordBytes(0);
    for (int slot = 1; slot < 128; ++slot) {
        const auto other = bank->RecordBytes(slot);
        ASSERT_EQ(std::memcmp(first.data(), other.data(), first.size()), 0) << slot;
    }
    EXPECT_EQ(bank->ImageBytes().size(), 7104596u);
}

TEST(ProgramRecord, AccessorsWriteLittleEndianAtTheStoredOffsets) {
    auto bank = std::make_unique<TProgramBank>();
    bank->SetFrameCount(3, 2);
    bank->SetFrameTime(3, 1, 0.5f);
    bank->SetLevel(3, 1, 250, 7);
    bank->SetPhase(3, 1, 0, 9);
    bank->SetHarmonyLoop(3, 0.25f, 0.75f);
    bank->SetPoint(3, kPitchEnvelope, 99, 2.0f, 0.125f);
    bank->SetEnvelopeLoop(3, kLfo2Envelope, 1.0f, 3.0f);
    const auto r = bank->RecordBytes(3);
    EXPECT_EQ(IntAt(r, 632), 2);
    EXPECT_EQ(FloatAt(r, 636 + 508), 0.5f);
    EXPECT_EQ(r[636 + 508 + 4 + 250], 7);
    EXPECT_EQ(r[636 + 508 + 255], 9);
    EXPECT_EQ(FloatAt(r, 51436), 0.25f);
    EXPECT_EQ(FloatAt(r, 51440), 0.75f);
    EXPECT_EQ(FloatAt(r, 51444 + 812 * 2 + 4 + 8 * 99), 2.0f);
    EXPECT_EQ(FloatAt(r, 51444 + 812 * 2 + 4 + 8 * 99 + 4), 0.125f);
    EXPECT_EQ(FloatAt(r, 51444 + 812 * 4 + 804), 1.0f);
    EXPECT_EQ(FloatAt(r, 51444 + 812 * 4 + 808), 3.0f);
    // Nothing leaked into the neighbouring records.
    EXPECT_EQ(bank->FrameCount(2), 1);
    EXPECT_EQ(bank->FrameCount(4), 1);
}

TEST(ProgramRecord, NamesAreCutTo24Characters) {
    auto bank = std::make_unique<TProgramBank>();
    bank->SetName(0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"); // 30 characters
    EXPECT_EQ(bank->Name(0), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(bank->RecordBytes(0)[520], 0); // the field keeps its terminator
    bank->SetName(0, "Pad");
    EXPECT_EQ(bank->Name(0), "Pad");
    EXPECT_EQ(bank->RecordBytes(0)[499], 0); // the longer old name is gone
    EXPECT_EQ(bank->RecordBytes(0)[510], 0);
}

TEST(ProgramRecord, InitRecordKeepsLoopPointsAndUnusedSlots) {
    auto bank = std::make_unique<TProgramBank>();
    bank->SetHarmonyLoop(7, 1.5f, 2.5f);
    bank->SetEnvelopeLoop(7, kAmplitudeEnvelope, 0.1f, 0.2f);
    bank->SetFrameCount(7, 3);
    bank->SetFrameTime(7, 2, 4.0f);
    bank->SetLevel(7, 0, 10, 3);
    bank->SetParameter(7, kCutoff, 0.9f);
    bank->SetName(7, "Lead");
    bank->InitRecord(7);
    EXPECT_EQ(bank->HarmonyLoopStart(7), 1.5f);
    EXPECT_EQ(bank->HarmonyLoopEnd(7), 2.5f);
    EXPECT_EQ(bank->EnvelopeLoopEnd(7, kAmplitudeEnvelope), 0.2f);
    EXPECT_EQ(bank->FrameTime(7, 2), 4.0f); // slot beyond the count keeps its bytes
    EXPECT_EQ(bank->FrameCount(7), 1);
    EXPECT_EQ(bank->Level(7, 0, 10), 255);
    EXPECT_EQ(bank->Parameter(7, kCutoff), 0.5f);
    EXPECT_EQ(bank->Name(7), "-");
}

TEST(ProgramRecord, BankTrailerAndGlobalSettingsFollowTheRecords) {
    auto bank = std::make_unique<TProgramBank>();
    bank->SetBankVersion(1.1f);
    bank->SetBankCurrentProgram(70);
    bank->GlobalSettings()[0] = 5;
    bank->GlobalSettings()[75] = 0xAB;
    const auto image = bank->ImageBytes();
    EXPECT_EQ(FloatAt(image, 7104512), 1.1f);
    EXPECT_EQ(IntAt(image, 7104516), 70);
    EXPECT_EQ(image[7104520], 5);
    EXPECT_EQ(image[7104595], 0xAB);
}

TEST(ProgramRecord, OutOfRangeAccessIsHarmless) {
    auto bank = std::make_unique<TProgramBank>();
    const std::vector<std::uint8_t> before(bank->ImageBytes().begin(), bank->ImageBytes().end());
    bank->SetParameter(128, 0, 1.0f);
    bank->SetParameter(0, 124, 1.0f);
    bank->SetParameter(-1, 0, 1.0f);
    bank->SetLevel(0, 100, 0, 0);
    bank->SetLevel(0, 0, 251, 0);
    bank->SetPoint(0, 5, 0, 1.0f, 1.0f);
    bank->SetPoint(0, 0, 100, 1.0f, 1.0f);
    bank->SetName(200, "x");
    bank->SetName(0, nullptr);
    EXPECT_EQ(bank->Name(0), "");
    bank->SetName(0, "-");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bank->ImageBytes().begin()));
    EXPECT_EQ(bank->Parameter(128, 0), 0.0f);
    EXPECT_EQ(bank->Level(0, -1, 0), 255);
    EXPECT_TRUE(bank->RecordBytes(128).empty());
}

TEST(ProgramRecord, RepairMakesNonsenseSafeAndLeavesSoundRecordsByteIdentical) {
    auto bank = std::make_unique<TProgramBank>();
    // A sound record with values at the edges of their ranges, -0.0 and a far loop end stays bit for bit.
    bank->SetParameter(3, 7, -0.0f);
    bank->SetParameter(3, 8, 1.0f);
    bank->SetFrameCount(3, 100);
    bank->SetFrameTime(3, 99, 1.0e6f);
    bank->SetHarmonyLoop(3, 0.0f, TProgramBank::kLatestTime);
    bank->SetPointCount(3, 2, 100);
    bank->SetPoint(3, 2, 99, 20.0f, 1.0f);
    std::vector<std::uint8_t> sound(bank->RecordBytes(3).begin(), bank->RecordBytes(3).end());
    bank->RepairRecord(3);
    EXPECT_TRUE(std::equal(sound.begin(), sound.end(), bank->RecordBytes(3).begin()));

    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    bank->SetParameter(4, 0, nan);
    bank->SetParameter(4, 1, -inf);
    bank->SetParameter(4, 2, 2.5f);
    std::memset(bank->RecordBytes(4).data() + kNameOffset, 'x', kNameFieldSize); // no terminating NUL
    bank->SetFrameCount(4, 1000);
    bank->SetFrameTime(4, 0, nan);
    bank->SetFrameTime(4, 1, -3.0f);
    bank->SetFrameTime(4, 2, inf);
    bank->SetHarmonyLoop(4, nan, nan);
    bank->SetPointCount(4, 0, -7);
    bank->SetPoint(4, 0, 0, -inf, nan);
    bank->SetPointCount(4, 1, std::numeric_limits<std::int32_t>::min());
    bank->SetPointCount(4, 3, 3);
    bank->SetPoint(4, 3, 2, 1.0f, 4.0f);
    bank->SetEnvelopeLoop(4, 3, -1.0f, inf);
    bank->RepairRecord(4);

    EXPECT_EQ(bank->Parameter(4, 0), 0.0f);
    EXPECT_EQ(bank->Parameter(4, 1), 0.0f);
    EXPECT_EQ(bank->Parameter(4, 2), 1.0f);
    EXPECT_EQ(bank->Name(4), std::string(24, 'x'));
    EXPECT_EQ(bank->RecordBytes(4)[kNameOffset + 24], 0);
    EXPECT_EQ(bank->FrameCount(4), 100);
    EXPECT_EQ(bank->FrameTime(4, 0), 0.0f);
    EXPECT_EQ(bank->FrameTime(4, 1), 0.0f);
    EXPECT_EQ(bank->FrameTime(4, 2), TProgramBank::kLatestTime);
    EXPECT_EQ(bank->HarmonyLoopStart(4), 0.0f);
    EXPECT_EQ(bank->HarmonyLoopEnd(4), TProgramBank::kLatestTime); // not-a-number: never loops
    EXPECT_EQ(bank->PointCount(4, 0), 1);
    EXPECT_EQ(bank->PointTime(4, 0, 0), 0.0f);
    EXPECT_EQ(bank->PointLevel(4, 0, 0), 0.0f);
    EXPECT_EQ(bank->PointCount(4, 1), 1);
    EXPECT_EQ(bank->PointLevel(4, 3, 2), 1.0f);
    EXPECT_EQ(bank->EnvelopeLoopStart(4, 3), 0.0f);
    EXPECT_EQ(bank->EnvelopeLoopEnd(4, 3), TProgramBank::kLatestTime);
}
