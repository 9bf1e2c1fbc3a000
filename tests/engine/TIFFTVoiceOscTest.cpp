#include "engine/TIFFTVoiceOsc.h"

#include "support/AllocationCounter.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <optional>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 16;

class VoiceOsc : public ::testing::Test {
protected:
    VoiceOsc() : osc(8, kRate) { osc.SetFrequencyFactor(1.0f); }

    // A frame at `time` seconds with the given harmonics at full level and phase 0.
    void AddFrame(float time, std::initializer_list<int> harmonics) {
        const int frame = osc.FrameCount();
        osc.InsertFrame(frame, time);
        for (int k : harmonics) {
            osc.SetHarmonicLevel(frame, k, 0);
            osc.SetHarmonicPhase(frame, k, 128);
        }
        osc.RebuildFrame(frame);
        osc.ApplyEdits();
    }

    // n samples of a voice rendered in 16-sample blocks, as the render loop does.
    std::vector<float> Play(int voice, int n) {
        std::vector<float> out(static_cast<std::size_t>(n), 0.0f);
        for (int s = 0; s < n; s += kBlock)
            osc.Render(voice, out.data() + s, std::min(kBlock, n - s));
        return out;
    }

    TIFFTVoiceOsc osc;
};

// Amplitude of the frequency f (Hz) in x (a direct single-bin transform over the whole window).
double Amplitude(const std::vector<float>& x, double f, std::size_t first = 0, std::size_t count = 0) {
    if (count == 0) count = x.size() - first;
    std::complex<double> sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(x[first + i]) * std::polar(1.0, -2.0 * kPi * f * static_cast<double>(i) / kRate);
    return 2.0 * std::abs(sum) / static_cast<double>(count);
}

using test::Rms;

double ZeroCrossingPitch(const std::vector<float>& x) {
    return test::ZeroCrossingPitch(x, kRate);
}

TEST_F(VoiceOsc, WithoutFramesAVoiceOutputsTheEmptyBlock) {
    std::vector<float> buffer(kBlock, 5.0f);
    osc.NoteStart(0, false, 440.0f);
    osc.Render(0, buffer.data(), kBlock);
    for (float v : buffer)
        ASSERT_EQ(v, 1e-10f);

    AddFrame(0.0f, {1});
    buffer.assign(4, 5.0f);
    const float before = osc.HarmonyTime(0);
    osc.Render(0, buffer.data(), 0); // a block of no samples renders nothing
    EXPECT_EQ(buffer, std::vector<float>(4, 5.0f));
    EXPECT_EQ(osc.HarmonyTime(0), before);
}

TEST_F(VoiceOsc, PlaysTheNoteAtItsPitchAndLevel) {
    AddFrame(0.0f, {1});
    osc.NoteStart(0, false, 440.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    const auto x = Play(0, 44100);
    EXPECT_NEAR(ZeroCrossingPitch(x), 440.0, 0.05);
    EXPECT_NEAR(Rms(x), std::sqrt(0.5), 1e-3); // harmonic 1 at full level peaks at 1

    // Fine tune and octave factor move the pitch; the table note follows the tuned frequency.
    osc.SetFrequencyFactor(1.0293f);
    osc.SetOctaveFactor(0, 0.5f);
    EXPECT_NEAR(ZeroCrossingPitch(Play(0, 44100)), 220.0 * 1.0293, 0.05);
    EXPECT_EQ(osc.TableNote(0), osc.NoteFor(220.0f * 1.0293f));
}

TEST_F(VoiceOsc, PitchOffsetsFollowTheRatioTable) {
    AddFrame(0.0f, {1});
    osc.NoteStart(0, false, 440.0f);
    osc.SetPitchOffset(0, 0.0f);
    EXPECT_EQ(osc.PitchFactor(0), 1.0f);
    osc.SetPitchOffset(0, 1.0f);
    EXPECT_FLOAT_EQ(osc.PitchFactor(0), static_cast<float>(std::exp2(1.0 / 12.0)));
    osc.SetPitchOffset(0, 12.0f);
    EXPECT_EQ(osc.PitchFactor(0), 2.0f);
    EXPECT_NEAR(ZeroCrossingPitch(Play(0, 44100)), 880.0, 0.1);
    osc.SetPitchOffset(0, -24.0f);
    EXPECT_EQ(osc.PitchFactor(0), 0.25f);
    EXPECT_NEAR(ZeroCrossingPitch(Play(0, 44100)), 110.0, 0.05);
    // Offsets between two entries of the table (96 per octave) are interpolated linearly.
    osc.SetPitchOffset(0, 0.0625f);
    EXPECT_NEAR(osc.PitchFactor(0), 0.5 * (1.0 + std::exp2(1.0 / 96.0)), 2e-7);
    // Beyond two octaves the offset is held at ±24 semitones.
    osc.SetPitchOffset(0, 30.0f);
    EXPECT_EQ(osc.PitchFactor(0), 4.0f);
    osc.SetPitchOffset(0, -40.0f);
    EXPECT_EQ(osc.PitchFactor(0), 0.25f);
    // A new note resets the offset.
    osc.NoteStart(0, false, 440.0f);
    EXPECT_EQ(osc.PitchFactor(0), 1.0f);
}

TEST_F(VoiceOsc, TableNotesComeFromTheTunedFrequency) {
    EXPECT_EQ(osc.NoteFor(440.0f), 69);
    EXPECT_EQ(osc.NoteFor(441.0f), 70); // the lowest note at or above the frequency
    EXPECT_EQ(osc.NoteFor(8.0f), 0);
    EXPECT_EQ(osc.NoteFor(13000.0f), 127);
    EXPECT_EQ(osc.NoteFor(16383.5f), 127);
    EXPECT_EQ(osc.NoteFor(1.0e9f), 127);
    EXPECT_EQ(osc.NoteFor(-5.0f), 0);
    osc.NoteStart(0, false, 16000.0f);
    EXPECT_EQ(osc.TableNote(0), 127);
    osc.NoteStart(0, false, 261.6256f);
    EXPECT_EQ(osc.TableNote(0), 60);
}

TEST_F(VoiceOsc, CrossfadesBetweenFramesAlongHarmonyTime) {
    AddFrame(0.0f, {1}); // 441 Hz
    AddFrame(1.0f, {3}); // 1323 Hz
    osc.NoteStart(0, false, 441.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    const auto x = Play(0, 66150); // 1.5 s
    // Around 0.5 s: an even blend, each component at half its level (a 1000-sample window centred there).
    EXPECT_NEAR(Amplitude(x, 441.0, 21550, 1000), 0.5, 0.01);
    EXPECT_NEAR(Amplitude(x, 1323.0, 21550, 1000), 0.5, 0.01);
    // Early on frame 0 dominates, and after 1 s only frame 1 sounds (single-table mode).
    EXPECT_GT(Amplitude(x, 441.0, 2000, 1000), 0.9);
    EXPECT_LT(Amplitude(x, 441.0, 45000, 4400), 1e-4);
    EXPECT_NEAR(Amplitude(x, 1323.0, 45000, 4400), 1.0, 1e-3);
    EXPECT_NEAR(osc.HarmonyTime(0), 1.5f, 5e-3f); // per-sample float steps drift a little
}

TEST_F(VoiceOsc, OneFrameSoundsForEver) {
    AddFrame(0.0f, {2});
    osc.NoteStart(0, false, 441.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    const auto x = Play(0, 88200);
    EXPECT_NEAR(Amplitude(x, 882.0, 0, 4400), 1.0, 1e-3);
    EXPECT_NEAR(Amplitude(x, 882.0, 83800, 4400), 1.0, 1e-3);
}

TEST_F(VoiceOsc, LoopKeepsTheHarmonyBetweenItsEnds) {
    AddFrame(0.0f, {1});
    AddFrame(0.5f, {2});
    AddFrame(1.0f, {3});
    osc.SetLoopEnabled(true);
    osc.SetLoopStart(0.2f);
    osc.SetLoopEnd(0.8f);
    osc.NoteStart(0, false, 441.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    std::vector<float> x;
    float latest = 0.0f;
    std::size_t jumpedAt = 0;
    std::vector<float> block(kBlock);
    for (int b = 0; b < 44100 * 3 / kBlock; ++b) {
        const float before = osc.HarmonyTime(0);
        std::fill(block.begin(), block.end(), 0.0f);
        osc.Render(0, block.data(), kBlock);
        x.insert(x.end(), block.begin(), block.end());
        latest = std::max(latest, osc.HarmonyTime(0));
        if (jumpedAt == 0 && osc.HarmonyTime(0) < before) jumpedAt = x.size();
    }
    ASSERT_NEAR(static_cast<double>(jumpedAt), 0.8 * kRate, kBlock + 1);
    EXPECT_LE(latest, 0.8f + kBlock / kRate);
    // Before the jump the voice crossfades from frame 1 towards frame 2 (0.4 and 0.6 at 0.8 s) …
    EXPECT_NEAR(Amplitude(x, 1323.0, jumpedAt - 400, 400), 0.59, 0.02);
    EXPECT_NEAR(Amplitude(x, 441.0, jumpedAt - 400, 400), 0.0, 0.01);
    // … and at 0.2 s, after the jump, frames 0 and 1 blend again (0.6 and 0.4), without frame 2.
    EXPECT_NEAR(Amplitude(x, 441.0, jumpedAt, 400), 0.59, 0.02);
    EXPECT_NEAR(Amplitude(x, 882.0, jumpedAt, 400), 0.41, 0.02);
    EXPECT_NEAR(Amplitude(x, 1323.0, jumpedAt, 400), 0.0, 0.01);
}

TEST_F(VoiceOsc, GlideReachesItsTargetWithoutOvershoot) {
    AddFrame(0.0f, {1});
    osc.SetGlideEnabled(true);
    osc.SetGlideTime(0.0f); // no glide time: the voice starts on its note
    osc.NoteStart(0, false, 880.0f);
    EXPECT_EQ(osc.CurrentFrequency(0), 880.0f);
    EXPECT_EQ(osc.GlideOffset(0), 0.0f);

    osc.SetGlideTime(1.0f);
    osc.NoteStart(0, false, 440.0f);
    std::vector<float> block(kBlock);
    float previous = 880.0f;
    int reachedAt = -1;
    for (int s = 0; s < 50000; s += kBlock) {
        osc.Render(0, block.data(), kBlock);
        const float f = osc.CurrentFrequency(0);
        ASSERT_GE(f, 440.0f);
        ASSERT_LE(f, previous);
        previous = f;
        if (s + kBlock == 16) {
            EXPECT_NEAR(osc.GlideOffset(0), 12.0, 0.01);
        }
        if (s + kBlock == 22048) {
            EXPECT_NEAR(f, 440.0 * std::sqrt(2.0), 3.0); // halfway in time, halfway in pitch
        }
        if (reachedAt < 0 && f == 440.0f) reachedAt = s + kBlock;
    }
    EXPECT_NEAR(reachedAt, 44100, 250); // float rate: within 0.6 %
    EXPECT_EQ(osc.GlideOffset(0), 0.0f);
    EXPECT_NEAR(ZeroCrossingPitch(Play(0, 22050)), 440.0, 0.1);

    // With glide from the last note, a new voice starts where the previous note was.
    osc.SetGlideFromLastNote(true);
    osc.NoteStart(1, false, 660.0f);
    osc.NoteStart(2, false, 330.0f);
    EXPECT_EQ(osc.CurrentFrequency(2), 660.0f);
}

TEST_F(VoiceOsc, UnisonSpreadsGeometrically) {
    osc.SetUnisonCount(40);
    EXPECT_EQ(osc.UnisonCount(), 32);
    osc.SetUnisonCount(0);
    EXPECT_EQ(osc.UnisonCount(), 1);
    osc.SetUnisonSpread(4.0f);
    EXPECT_EQ(osc.UnisonRatio(0), 1.0f);

    osc.SetUnisonCount(3);
    EXPECT_FLOAT_EQ(osc.UnisonRatio(0), 0.5f);
    EXPECT_FLOAT_EQ(osc.UnisonRatio(1), 1.0f);
    EXPECT_FLOAT_EQ(osc.UnisonRatio(2), 2.0f);
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(osc.UnisonGain(i), 1.0f / 3.0f);

    // Heard: three partials at 220, 440 and 880 Hz, a third of the level each.
    AddFrame(0.0f, {1});
    osc.NoteStart(0, false, 440.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    const auto x = Play(0, 44100);
    for (double f : {220.0, 440.0, 880.0})
        EXPECT_NEAR(Amplitude(x, f), 1.0 / 3.0, 2e-3) << f;
}

TEST_F(VoiceOsc, FrameEditsReachTheRendererWhenApplied) {
    EXPECT_FALSE(osc.InsertFrame(1, 0.0f));
    ASSERT_TRUE(osc.InsertFrame(0, 0.0f));
    EXPECT_EQ(osc.FrameCount(), 1); // the editor sees it at once …
    EXPECT_EQ(osc.AppliedFrameCount(), 0);
    osc.ApplyEdits();
    EXPECT_EQ(osc.AppliedFrameCount(), 1); // … the renderer from the next block on
    EXPECT_FALSE(osc.DeleteFrame(1));
    EXPECT_FALSE(osc.SetFrameTime(3, 1.0f));

    // A frame time moved beyond a voice crossfading away from that frame takes the voice along.
    osc.InsertFrame(1, 1.0f);
    osc.ApplyEdits();
    osc.NoteStart(0, false, 440.0f);
    Play(0, 4410); // 0.1 s, segment 1: from frame 0 to frame 1
    osc.SetFrameTime(0, 0.3f);
    EXPECT_EQ(osc.FrameTime(0), 0.3f);
    EXPECT_NEAR(osc.HarmonyTime(0), 0.1f, 1e-4f);
    osc.ApplyEdits();
    EXPECT_EQ(osc.HarmonyTime(0), 0.3f);

    // Insert and delete restart every voice's harmony.
    Play(0, 441);
    osc.DeleteFrame(1);
    osc.ApplyEdits();
    EXPECT_EQ(osc.HarmonyTime(0), 0.0f);
    EXPECT_EQ(osc.AppliedFrameCount(), 1);

    osc.DeleteAllFrames();
    EXPECT_EQ(osc.FrameCount(), 0);
    osc.ApplyEdits();
    EXPECT_EQ(osc.AppliedFrameCount(), 0);
}

TEST_F(VoiceOsc, EditsBeyondTheQueueStillArriveInOrder) {
    // 1500 edits without a block in between: the last 476 cannot queue and collapse into one.
    for (int i = 0; i < 750; ++i) {
        osc.InsertFrame(0, 0.0f);
        osc.DeleteFrame(0);
    }
    osc.InsertFrame(0, 0.0f);
    osc.SetHarmonicLevel(0, 2, 0);
    osc.RebuildFrame(0);
    osc.ApplyEdits();
    EXPECT_EQ(osc.AppliedFrameCount(), 1);
    osc.NoteStart(0, false, 441.0f);
    osc.SetVoiceAmplitude(0, 1.0f);
    EXPECT_NEAR(Amplitude(Play(0, 4400), 882.0), 1.0, 1e-3);

    // Once drained, edits queue normally again.
    osc.ResetFrame(0);
    osc.ApplyEdits();
    EXPECT_LT(Amplitude(Play(0, 4400), 882.0), 1e-6);
}

// Every reader kernel this processor has gives the plain reader's samples, bit for bit, in crossfades, in
// single-table mode and in blocks of any length.
TEST(VoiceOscReaders, VectorAndScalarReadersAgree) {
    std::vector<float> out[TWavetableReader::kKernelCount];
    for (int kernel = 0; kernel < TWavetableReader::kKernelCount; ++kernel) {
        if (!TWavetableReader::Supported(static_cast<TWavetableReader::Kernel>(kernel))) continue;
        TIFFTVoiceOsc osc(4, kRate);
        osc.SetReaderKernel(static_cast<TWavetableReader::Kernel>(kernel));
        ASSERT_EQ(osc.ReaderKernel(), kernel);
        osc.SetFrequencyFactor(1.0f);
        osc.SetUnisonCount(5);
        osc.SetUnisonSpread(1.03f);
        osc.InsertFrame(0, 0.0f);
        osc.InsertFrame(1, 0.05f);
        osc.FillSaw(0);
        osc.SetRandomSeed(51); // both oscillators draw the same random frame
        osc.FillRandom(1);
        osc.ApplyEdits();
        for (int v = 0; v < 4; ++v)
            osc.NoteStart(v, false, 100.0f * static_cast<float>(1 << v));
        std::vector<float> block(64);
        for (int b = 0; b < 600; ++b) {
            const int n = 1 + (b * 7) % 64;
            for (int v = 0; v < 4; ++v) {
                std::fill(block.begin(), block.end(), 0.0f);
                osc.Render(v, block.data(), n);
                out[kernel].insert(out[kernel].end(), block.begin(), block.begin() + n);
            }
        }
        EXPECT_GT(osc.HarmonyTime(0), 0.05f); // both modes were played
    }
    for (int kernel = 1; kernel < TWavetableReader::kKernelCount; ++kernel) {
        if (out[kernel].empty()) continue;
        ASSERT_EQ(out[0].size(), out[kernel].size());
        for (std::size_t i = 0; i < out[0].size(); ++i)
            ASSERT_EQ(out[0][i], out[kernel][i]) << "kernel " << kernel << ", sample " << i;
    }
}

// Every oscillator (every instance of the plug-in, every load) draws its own random harmony; a fixed seed
// draws the same one again.
TEST(VoiceOscRandom, EachInstanceDrawsItsOwnHarmonyAndASeedRepeatsIt) {
    const auto draw = [](std::optional<std::uint32_t> seed) {
        TIFFTVoiceOsc osc(1, kRate);
        if (seed) osc.SetRandomSeed(*seed);
        osc.InsertFrame(0, 0.0f);
        osc.FillRandom(0);
        std::vector<int> bytes;
        for (int k = 0; k <= TIFFTVoiceOsc::kDefaultHarmonics; ++k)
            bytes.insert(bytes.end(), {osc.GetHarmonicLevel(0, k), osc.GetHarmonicPhase(0, k)});
        return bytes;
    };
    EXPECT_NE(draw(std::nullopt), draw(std::nullopt));
    EXPECT_EQ(draw(7), draw(7));
    EXPECT_NE(draw(7), draw(8));
}

TEST_F(VoiceOsc, RenderingAllocatesNothing) {
    osc.SetUnisonCount(8);
    osc.SetUnisonSpread(1.0293f);
    osc.SetLoopEnabled(true);
    osc.SetLoopEnd(0.05f);
    osc.SetGlideEnabled(true);
    osc.SetGlideTime(0.03f);
    AddFrame(0.0f, {1, 2, 3});
    osc.InsertFrame(1, 0.04f);
    osc.FillSaw(1);
    std::vector<float> buffer(512);
    test::ScopedAllocationCounter counter;
    osc.ApplyEdits();
    for (int b = 0; b < 400; ++b) {
        if (b % 50 == 0) osc.NoteStart(b % 8, false, 100.0f + b);
        for (int v = 0; v < 8; ++v) {
            osc.SetPitchOffset(v, static_cast<float>(b % 7));
            osc.Render(v, buffer.data(), b % 2 ? 16 : 512);
        }
    }
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
} // namespace quillon
