#include "files/THarmonyFileManager.h"

#include "engine/TIFFTVoiceOsc.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace quillon {
namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

THarmonyFileManager Sample() {
    THarmonyFileManager m;
    for (int j = 0; j < 251; ++j) {
        m.levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(255 - j);
        m.phases[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(j * 3);
    }
    return m;
}

TEST(HarmonyFile, SavedBytesFollowTheLayout) {
    test::TemporaryDirectory dir;
    const std::string path = dir / "a.bha";
    ASSERT_TRUE(Sample().Save(path));
    const auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 525u);
    EXPECT_EQ(std::memcmp(bytes.data(), "Brindmor Harmony File", 21), 0);
    EXPECT_EQ(bytes[21], 0);
    EXPECT_EQ(bytes[22], 1);
    EXPECT_EQ(bytes[23], 255);       // level of DC
    EXPECT_EQ(bytes[23 + 250], 5);   // level of harmonic 250
    EXPECT_EQ(bytes[274], 0);        // phase of DC
    EXPECT_EQ(bytes[274 + 100], 44); // phase of harmonic 100: 300 mod 256
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.bha"}) << "no temporary file may stay behind";
}

TEST(HarmonyFile, LoadReturnsWhatWasSaved) {
    test::TemporaryDirectory dir;
    const std::string path = dir / "round.bha";
    const auto saved = Sample();
    EXPECT_TRUE(saved.Save(path));
    THarmonyFileManager loaded;
    const Status status = loaded.Load(path);
    ASSERT_TRUE(status);
    EXPECT_EQ(loaded.levels, saved.levels);
    EXPECT_EQ(loaded.phases, saved.phases);
    EXPECT_EQ(status.message, "");

    // Saving again replaces the file in place.
    THarmonyFileManager other;
    other.levels.fill(7);
    EXPECT_TRUE(other.Save(path));
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.levels[100], 7);
}

TEST(HarmonyFile, RefusesMissingAndForeignFiles) {
    test::TemporaryDirectory dir;
    auto data = Sample();
    const auto before = data.levels;
    Status status = data.Load(dir / "missing.bha");
    EXPECT_EQ(status.code, StatusCode::kNotFound);
    EXPECT_EQ(status.message, "File not found!");

    const auto good = Sample().Bytes();
    auto variant = [&](auto change) {
        std::vector<std::uint8_t> bytes(good.begin(), good.end());
        change(bytes);
        WriteAll(dir / "x.bha", bytes);
        status = data.Load(dir / "x.bha");
        return status.Ok();
    };
    EXPECT_FALSE(variant([](auto& b) { b[22] = 2; }));
    EXPECT_EQ(status.message, "The file is not a valid Harmony file!");
    EXPECT_FALSE(variant([](auto& b) { b[0] = 'b'; })); // the comparison is case-sensitive
    EXPECT_EQ(status.message, "The file is not a valid Harmony file!");
    EXPECT_FALSE(variant([](auto& b) { b[21] = 'X'; })); // no zero within 22 bytes: a longer text
    EXPECT_EQ(data.levels, before) << "a refused file leaves the data as it was";

    // The text ends at the first zero; version 0 is read too.
    EXPECT_TRUE(variant([](auto& b) { b[22] = 0; }));
    EXPECT_FALSE(variant([](auto& b) { b[8] = 0; }));
}

TEST(HarmonyFile, ShortFilesAreInputOutputErrors) {
    test::TemporaryDirectory dir;
    const auto good = Sample().Bytes();
    THarmonyFileManager data;
    WriteAll(dir / "short.bha", std::vector<std::uint8_t>(good.begin(), good.begin() + 400));
    EXPECT_EQ(data.Load(dir / "short.bha").message, "The file " + dir / "short.bha" + " ends within its harmonics");
    WriteAll(dir / "header.bha", std::vector<std::uint8_t>(good.begin(), good.begin() + 10));
    EXPECT_EQ(data.Load(dir / "header.bha").code, StatusCode::kReadError);
    EXPECT_EQ(THarmonyFileManager().Save(dir / "no-such-folder/x.bha").code, StatusCode::kWriteError);
}

TEST(HarmonyFile, OscillatorFrameSurvivesASaveAndLoad) {
    test::TemporaryDirectory dir;
    TIFFTVoiceOsc osc(8, 44100.0f);
    osc.InsertFrame(0, 0.0f);
    osc.InsertFrame(1, 1.0f);
    osc.FillTriangle(0, 12.0f);
    osc.SetHarmonicPhase(0, 3, 17);
    ASSERT_TRUE(osc.SaveHarmonyFile(dir / "t.bha", 0));

    ASSERT_TRUE(osc.LoadHarmonyFile(dir / "t.bha", 1));
    for (int j = 0; j <= 250; ++j) {
        ASSERT_EQ(osc.GetHarmonicLevel(1, j), osc.GetHarmonicLevel(0, j)) << j;
        ASSERT_EQ(osc.GetHarmonicPhase(1, j), osc.GetHarmonicPhase(0, j)) << j;
    }
    EXPECT_EQ(osc.LoadHarmonyFile(dir / "none.bha", 1).message, "File not found!");
    EXPECT_EQ(osc.LoadHarmonyFile(dir / "t.bha", 5).code, StatusCode::kOutOfRange);
}

} // namespace
} // namespace quillon
