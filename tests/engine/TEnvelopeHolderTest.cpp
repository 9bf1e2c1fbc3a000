#include "engine/TEnvelopeHolder.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 441; // 10 ms at 44.1 kHz

// Points (0 s, 0), (0.1 s, 1), (0.5 s, 0.5): a rise over 10 blocks, a fall over 40, then a hold.
class Envelope : public ::testing::Test {
protected:
    Envelope() : env(8, kRate) {
        env.InsertPoint(0, 0.0f, 0.0f);
        env.InsertPoint(1, 0.1f, 1.0f);
        env.InsertPoint(2, 0.5f, 0.5f);
        env.NoteStart(0, false);
    }
    // The value the points describe at time t.
    static float Shape(double t) {
        if (t <= 0.1) return static_cast<float>(t / 0.1);
        if (t <= 0.5) return static_cast<float>(1.0 - (t - 0.1) / 0.4 * 0.5);
        return 0.5f;
    }
    TEnvelopeHolder env;
};

TEST_F(Envelope, SegmentsInterpolateLinearlyAndHoldTheLastPoint) {
    for (int block = 1; block <= 80; ++block)
        ASSERT_NEAR(env.NextValue(0, kBlock), Shape(0.01 * block), 2e-4) << "block " << block;
    EXPECT_EQ(env.NextValue(0, kBlock), 0.5f);
    EXPECT_EQ(env.VoiceSegment(0), 2);

    // The first ten blocks are the rise 0.1, 0.2, … 1.0.
    env.NoteStart(0, false);
    for (int block = 1; block <= 10; ++block)
        EXPECT_NEAR(env.NextValue(0, kBlock), 0.1f * block, 1e-5);
}

TEST_F(Envelope, OnePointGivesItsValueForEver) {
    env.DeleteAllPoints();
    env.InsertPoint(0, 0.0f, 0.75f);
    env.NoteStart(1, false);
    for (int block = 0; block < 500; ++block)
        ASSERT_EQ(env.NextValue(1, kBlock), 0.75f);
}

TEST_F(Envelope, SpeedAndLegato) {
    env.SetSpeed(0, 2.0f); // twice as fast: the peak after 5 blocks
    for (int block = 1; block <= 5; ++block)
        EXPECT_NEAR(env.NextValue(0, kBlock), 0.2f * block, 1e-5);
    EXPECT_FLOAT_EQ(env.VoiceIncrement(0), 2.0f / kRate);

    // A legato start keeps the time and resets the speed; a new note starts again from 0.
    env.NoteStart(0, true);
    EXPECT_NEAR(env.VoiceTime(0), 0.1f, 1e-6);
    EXPECT_FLOAT_EQ(env.VoiceIncrement(0), 1.0f / kRate);
    env.NoteStart(0, false);
    EXPECT_EQ(env.VoiceTime(0), 0.0f);
    EXPECT_EQ(env.VoiceSegment(0), 0);
}

TEST_F(Envelope, ReleaseIsAStraightLineToTheTargetThenHolds) {
    env.DeleteAllPoints();
    env.InsertPoint(0, 0.0f, 0.5f);
    env.NextValue(0, kBlock);
    env.Release(0);
    EXPECT_FALSE(env.VoiceRunning(0));
    // Release time 1 s: 0.5 per second, so 0.05 per 4410-sample block; 0 (the target) is reached at the
    // 10th block and held.
    for (int block = 1; block <= 10; ++block)
        EXPECT_NEAR(env.NextValue(0, 4410), 0.5f - 0.05f * block, 1e-5);
    for (int block = 0; block < 5; ++block)
        EXPECT_EQ(env.NextValue(0, 4410), 0.0f);

    // A release towards a higher target rises and stops there; the time scales the line.
    env.SetReleaseTarget(0.9f);
    env.SetReleaseTime(0.5f);
    env.NoteStart(1, false);
    env.NextValue(1, kBlock);
    env.Release(1);
    EXPECT_NEAR(env.NextValue(1, 4410), 0.5f + 0.08f, 1e-5); // 0.4 in 0.5 s
    for (int block = 0; block < 10; ++block)
        env.NextValue(1, 4410);
    EXPECT_EQ(env.NextValue(1, 4410), 0.9f);
    EXPECT_EQ(env.ReleaseLevel(), 0.9f); // the parameter name of the target
}

TEST_F(Envelope, CubeRootReleaseStartsAtTheCubeRoot) {
    env.DeleteAllPoints();
    env.InsertPoint(0, 0.0f, 0.125f);
    env.NextValue(0, kBlock);
    env.Release(0, true);
    EXPECT_EQ(env.NextValue(0, 0), 0.5f);
    EXPECT_NEAR(env.NextValue(0, 4410), 0.45f, 1e-6);

    env.SetPoint(0, 0.0f, 0.000001f);
    env.NoteStart(0, false);
    env.NextValue(0, kBlock);
    env.Release(0, true);
    EXPECT_EQ(env.NextValue(0, 0), 1e-20f);
    EXPECT_LT(env.NextValue(0, 4410), 1e-20f);
}

TEST_F(Envelope, LoopJumpsBackAndRecomputesTheSegment) {
    env.SetLoopStart(0.1f);
    env.SetLoopEnd(0.4f);
    env.SetLoopEnabled(true);
    int jumps = 0;
    float previousTime = 0.0f;
    for (int block = 0; block < 400; ++block) {
        const float value = env.NextValue(0, kBlock);
        const float time = env.VoiceTime(0);
        ASSERT_LE(time, 0.4f + 0.01f + 1e-5f);
        if (block >= 10) {                     // past the rise, the loop stays between 0.1 s and 0.4 s
            ASSERT_GE(value, 0.6125f - 1e-5f); // the value at 0.41 s, before the jump
        }
        if (time < previousTime) {
            ++jumps;
            EXPECT_EQ(time, 0.1f);
            EXPECT_EQ(env.VoiceSegment(0), 2); // the point after the loop start
        }
        previousTime = time;
    }
    EXPECT_GT(jumps, 10);

    // Without the loop, or with a single point, the time runs on.
    env.SetLoopEnabled(false);
    env.NoteStart(0, false);
    for (int block = 0; block < 60; ++block)
        env.NextValue(0, kBlock);
    EXPECT_GT(env.VoiceTime(0), 0.59f);
    env.SetLoopEnabled(true);
    env.DeleteAllPoints();
    env.InsertPoint(0, 0.0f, 0.3f);
    for (int block = 0; block < 60; ++block)
        EXPECT_EQ(env.NextValue(0, kBlock), 0.3f);
    EXPECT_GT(env.VoiceTime(0), 1.19f);
}

TEST_F(Envelope, MovedPointPullsWaitingVoicesForward) {
    env.NoteStart(1, false);
    for (int block = 0; block < 15; ++block) {
        env.NextValue(0, kBlock);
        if (block < 5) env.NextValue(1, kBlock);
    }
    ASSERT_EQ(env.VoiceSegment(0), 2); // voice 0 at 0.15 s, between points 1 and 2
    ASSERT_EQ(env.VoiceSegment(1), 1); // voice 1 at 0.05 s, between points 0 and 1

    ASSERT_TRUE(env.SetPoint(1, 0.3f, 1.0f));
    EXPECT_EQ(env.VoiceTime(0), 0.3f);          // moving towards point 2 and behind the new time
    EXPECT_NEAR(env.VoiceTime(1), 0.05f, 1e-6); // moving towards point 1 itself: unchanged
    EXPECT_EQ(env.PointTime(1), 0.3f);
    EXPECT_NEAR(env.NextValue(0, kBlock), 1.0f - 0.01f / 0.2f * 0.5f, 1e-5);

    // A sample-rate change re-stores every point: the same catch-up, and new increments at note start.
    env.SetPoint(1, 0.1f, 1.0f);
    env.SetSampleRate(22050.0f);
    EXPECT_FLOAT_EQ(env.VoiceIncrement(0), 1.0f / kRate);
    env.NoteStart(0, false);
    EXPECT_FLOAT_EQ(env.VoiceIncrement(0), 1.0f / 22050.0f);
}

TEST_F(Envelope, PointEditsCheckTheirIndices) {
    EXPECT_FALSE(env.SetPoint(3, 1.0f, 1.0f));
    EXPECT_FALSE(env.SetPoint(-1, 1.0f, 1.0f));
    EXPECT_EQ(env.PointCount(), 3);
    EXPECT_EQ(env.PointTime(2), 0.5f);

    EXPECT_FALSE(env.InsertPoint(-1, 0.0f, 0.0f));
    EXPECT_FALSE(env.InsertPoint(4, 0.0f, 0.0f));
    EXPECT_FALSE(env.DeletePoint(3));
    EXPECT_FALSE(env.DeletePoint(-1));
    EXPECT_EQ(env.PointTime(7), 0.0f);
    EXPECT_EQ(env.PointValue(-2), 0.0f);

    EXPECT_TRUE(env.InsertPoint(1, 0.05f, 0.25f)); // before the point at index 1
    EXPECT_EQ(env.PointValue(1), 0.25f);
    EXPECT_EQ(env.PointValue(2), 1.0f);
    EXPECT_TRUE(env.DeletePoint(0));
    EXPECT_EQ(env.PointTime(0), 0.05f);

    env.DeleteAllPoints();
    for (int i = 0; i < TEnvelopeHolder::kMaxPoints; ++i)
        ASSERT_TRUE(env.InsertPoint(i, 0.01f * i, 0.5f));
    EXPECT_FALSE(env.InsertPoint(0, 0.0f, 0.0f)); // the record holds 100 points
    EXPECT_EQ(env.PointCount(), 100);
}

TEST_F(Envelope, DeletedPointsBringVoicesBack) {
    for (int block = 0; block < 20; ++block)
        env.NextValue(0, kBlock);
    ASSERT_EQ(env.VoiceSegment(0), 2);
    env.DeletePoint(2);
    EXPECT_EQ(env.NextValue(0, kBlock), 1.0f); // past the last point: its value
    EXPECT_EQ(env.VoiceSegment(0), 1);

    // With no points at all the voice holds its last value.
    env.DeleteAllPoints();
    EXPECT_EQ(env.NextValue(0, kBlock), 1.0f);
}

TEST_F(Envelope, VoiceCountAndIndicesOutOfRange) {
    for (int voice : {-1, 8, 255, 1000}) {
        env.NoteStart(voice, false);
        env.SetSpeed(voice, 3.0f);
        env.Release(voice, true);
        EXPECT_EQ(env.NextValue(voice, kBlock), 0.0f);
        EXPECT_EQ(env.VoiceTime(voice), 0.0f);
    }

    env.NextValue(0, kBlock);
    env.Release(0);
    env.SetVoiceCount(256);
    EXPECT_EQ(env.VoiceCount(), 256);
    EXPECT_TRUE(env.VoiceRunning(0)); // every voice reset as a new note
    EXPECT_EQ(env.VoiceTime(0), 0.0f);
    EXPECT_NEAR(env.NextValue(255, kBlock), 0.1f, 1e-5);
    env.SetVoiceCount(0);
    EXPECT_EQ(env.VoiceCount(), 1);
    EXPECT_EQ(env.NextValue(1, kBlock), 0.0f);
    env.SetVoiceCount(100000);
    EXPECT_EQ(env.VoiceCount(), 256);
}

// The editor inserts, deletes and moves points, loads whole lists and moves the loop while the audio
// thread starts, renders and releases voices. Run under ThreadSanitizer this shows that the hand-over has
// no data race; the allocation counter shows that the audio thread allocates nothing.
TEST(EnvelopeConcurrency, EditorEditsWhileAudioRenders) {
    TEnvelopeHolder env(16, kRate);
    env.InsertPoint(0, 0.0f, 0.0f);
    env.InsertPoint(1, 0.05f, 1.0f);
    env.SetLoopEnabled(true);
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> audioAllocations{0};
    std::atomic<int> badValues{0};
    std::atomic<long> blocks{0};

    std::thread audio([&] {
        test::ScopedAllocationCounter allocations;
        std::minstd_rand random(7);
        while (!stop.load(std::memory_order_relaxed)) {
            for (int voice = 0; voice < 16; ++voice) {
                const unsigned action = random() % 64;
                if (action == 0)
                    env.NoteStart(voice, random() % 2 == 0);
                else if (action == 1)
                    env.Release(voice, voice % 2 == 0);
                else if (action == 2)
                    env.SetSpeed(voice, 0.5f + static_cast<float>(random() % 8));
                const float v = env.NextValue(voice, 16);
                // Every point value lies in 0 … 1, and so do the interpolations, the release line and its
                // cube root.
                if (!(v >= -1e-6f && v <= 1.0f + 1e-6f)) ++badValues;
                if (env.VoiceSegment(voice) < 0 || env.VoiceSegment(voice) >= TEnvelopeHolder::kMaxPoints) ++badValues;
            }
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
        audioAllocations = allocations.Count();
    });

    // The editor keeps the times ascending: a new or moved point gets a time between its neighbours.
    std::minstd_rand random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const auto between = [&](int before, int after) {
        const float lo = before >= 0 ? env.PointTime(before) : 0.0f;
        const float hi = after < env.PointCount() ? env.PointTime(after) : lo + 0.1f;
        return lo + (hi - lo) * unit(random);
    };
    const auto start = std::chrono::steady_clock::now();
    int edits = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(600)) {
        const int count = env.PointCount();
        const int index = static_cast<int>(random() % (count + 1));
        switch (random() % 6) {
        case 0:
            env.InsertPoint(index, between(index - 1, index), unit(random));
            break;
        case 1:
            env.DeletePoint(index);
            break;
        case 2:
            env.SetPoint(index, between(index - 1, index + 1), unit(random));
            break;
        case 3:
            env.SetLoopStart(0.1f * unit(random));
            env.SetLoopEnd(0.1f + unit(random));
            break;
        case 4: // a program load
            env.DeleteAllPoints();
            for (int i = 0; i < 1 + static_cast<int>(random() % 100); ++i)
                env.InsertPoint(i, 0.01f * i, unit(random));
            break;
        default:
            env.SetVoiceCount(1 + static_cast<int>(random() % 16));
            break;
        }
        ++edits;
        if (edits % 8 == 0) std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 100);
    EXPECT_GT(edits, 100);
    EXPECT_EQ(badValues.load(), 0);
    EXPECT_EQ(audioAllocations.load(), 0u);
}

} // namespace
} // namespace quillon
