// The editing operations as the editor uses them: sequences of edits on the current program, after which
// the program chunk shows the record, a render shows the engine, and the banks' modified marks show what
// the bank commands will consider unsaved.
#include "core/TCustomVSTMidiPlugin.h"
#include "core/TProgramBank.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TIFFTVoiceOsc.h"
#include "files/ZlibCodec.h"
#include "midi/TMidiHandler.h"
#include "support/PluginFixture.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

constexpr double kRate = 44100.0;
constexpr int kNote = 60;
const double kFundamental = 440.0 * std::exp2((kNote - 69) / 12.0); // 261.63 Hz

// Amplitude of one frequency in x[from … from + count), Hann-windowed.
double Amplitude(const std::vector<float>& x, double seconds, double length, double frequency) {
    const std::span<const float> all(x);
    return test::Amplitude(
        all.subspan(static_cast<std::size_t>(seconds * kRate), static_cast<std::size_t>(length * kRate)), kRate,
        frequency);
}

class EditingTest : public test::TPluginFixture {
protected:
    void SetUp() override {
        Create();
        Process(); // the first program switch
        ClearMarks();
    }
    // Plays the note from silence for `seconds` and returns the left channel.
    std::vector<float> RenderNote(double seconds) {
        plugin->MidiHandler().Reset();
        Send({test::Midi(0, 0x90, kNote, 127)});
        std::vector<float> sound = RenderLeft(static_cast<int>(seconds * kRate));
        plugin->MidiHandler().Reset();
        return sound;
    }
    // The current program as the host saves it: the program chunk, inflated, in a bank slot to read it.
    const TProgramBank& Saved() {
        void* data = nullptr;
        const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 1, 0, &data, 0.0f);
        std::vector<std::uint8_t> image(record::kRecordSize);
        EXPECT_EQ(ZlibInflate({static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)}, image),
                  InflateResult::kComplete);
        saved->StoreRecord(0, image);
        return *saved;
    }
    std::vector<std::uint8_t> Record(int slot) const {
        std::vector<std::uint8_t> bytes(record::kRecordSize);
        plugin->Programs().CopyRecord(slot, bytes);
        return bytes;
    }
    void ClearMarks() {
        plugin->SetBankModified(0, false);
        plugin->SetBankModified(1, false);
    }
    // Runs an edit on cleared marks and tells whether it marked bank 0 / bank 1 modified.
    std::pair<bool, bool> Marks(const std::function<void()>& edit) {
        ClearMarks();
        edit();
        return {plugin->BankModified(0), plugin->BankModified(1)};
    }
    void ExpectFrameBytesMatchTheOscillator(int frame) {
        const TProgramBank& record = Saved();
        for (int k = 0; k < record::kHarmonicCount; ++k) {
            ASSERT_EQ(record.Level(0, frame, k), plugin->Oscillator().GetHarmonicLevel(frame, k)) << "harmonic " << k;
            ASSERT_EQ(record.Phase(0, frame, k), plugin->Oscillator().GetHarmonicPhase(frame, k)) << "harmonic " << k;
        }
    }

    static constexpr std::pair<bool, bool> kCurrentBank{true, false};
    static constexpr std::pair<bool, bool> kNoBank{false, false};

    std::unique_ptr<TProgramBank> saved = std::make_unique<TProgramBank>();
};

} // namespace

TEST_F(EditingTest, DrawingHarmonicsChangesTheRecordAtOnceAndTheSoundAfterTheRebuild) {
    // A fresh program is one silent frame.
    EXPECT_EQ(plugin->GetFrameCount(), 1);
    EXPECT_LT(Amplitude(RenderNote(0.2), 0.1, 0.1, kFundamental), 1e-4);

    EXPECT_EQ(Marks([&] { plugin->SetHarmonicLevel(0, 2, 0); }), kCurrentBank);
    EXPECT_EQ(Marks([&] { plugin->SetHarmonicPhase(0, 2, 64); }), kCurrentBank);
    EXPECT_EQ(Marks([&] { plugin->RebuildFrame(0); }), kNoBank);
    EXPECT_EQ(Saved().Level(0, 0, 2), 0);
    EXPECT_EQ(Saved().Phase(0, 0, 2), 64);
    EXPECT_EQ(Saved().Level(0, 0, 1), 255);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 2), 0);
    EXPECT_EQ(plugin->GetHarmonicPhase(0, 2), 64);

    // Only the second harmonic sounds: the octave above the note.
    const std::vector<float> sound = RenderNote(0.2);
    const double octave = Amplitude(sound, 0.1, 0.1, 2.0 * kFundamental);
    EXPECT_GT(octave, 0.01);
    EXPECT_LT(Amplitude(sound, 0.1, 0.1, kFundamental), octave * 0.01);

    // Out-of-range edits change and mark nothing.
    EXPECT_EQ(Marks([&] { plugin->SetHarmonicLevel(1, 2, 0); }), kNoBank);
    EXPECT_EQ(Marks([&] { plugin->SetHarmonicLevel(0, 251, 0); }), kNoBank);
    EXPECT_EQ(Marks([&] { plugin->SetHarmonicPhase(-1, 2, 0); }), kNoBank);
}

TEST_F(EditingTest, FramesInsertedDeletedAndRetimedReachRecordAndSound) {
    plugin->SetHarmonicLevel(0, 2, 0);
    plugin->RebuildFrame(0);
    // The editor's "insert frame" then a saw in it, at 0.4 s of harmony time.
    EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->InsertHarmonyFrame(1, 0.4f)); }), kCurrentBank);
    EXPECT_EQ(Marks([&] { plugin->FillHarmonics(1, 0); }), kCurrentBank);
    {
        const TProgramBank& record = Saved();
        EXPECT_EQ(record.FrameCount(0), 2);
        EXPECT_EQ(record.FrameTime(0, 1), 0.4f);
        EXPECT_EQ(record.Level(0, 1, 1), plugin->Oscillator().GetHarmonicLevel(1, 1));
        EXPECT_LT(record.Level(0, 1, 1), 255);
    }
    // The voice crossfades from the first frame to the saw over 0.4 s of harmony time, then holds the saw.
    std::vector<float> sound = RenderNote(0.6);
    const double sawFundamental = Amplitude(sound, 0.45, 0.1, kFundamental);
    EXPECT_GT(sawFundamental, 0.01);
    EXPECT_LT(Amplitude(sound, 0.0, 0.05, kFundamental), 0.3 * sawFundamental);

    // Moved to 2 s, the saw is only a quarter faded in at 0.5 s.
    EXPECT_EQ(Marks([&] { plugin->SetFrameTime(1, 2.0f); }), kCurrentBank);
    EXPECT_EQ(plugin->GetFrameTime(1), 2.0f);
    EXPECT_EQ(Saved().FrameTime(0, 1), 2.0f);
    sound = RenderNote(0.6);
    EXPECT_LT(Amplitude(sound, 0.45, 0.1, kFundamental), 0.5 * sawFundamental);

    // Inserting before the saw re-reads the frames behind it: the saw moves to index 2 with its time.
    ASSERT_TRUE(plugin->InsertHarmonyFrame(1, 1.0f));
    {
        const TProgramBank& record = Saved();
        EXPECT_EQ(record.FrameCount(0), 3);
        EXPECT_EQ(record.FrameTime(0, 1), 1.0f);
        EXPECT_EQ(record.FrameTime(0, 2), 2.0f);
        EXPECT_EQ(record.Level(0, 1, 1), 255);
        EXPECT_LT(record.Level(0, 2, 1), 255);
    }
    ExpectFrameBytesMatchTheOscillator(2);
    EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->DeleteHarmonyFrame(1)); }), kCurrentBank);
    EXPECT_EQ(Saved().FrameCount(0), 2);
    EXPECT_EQ(Saved().FrameTime(0, 1), 2.0f);
    ExpectFrameBytesMatchTheOscillator(1);

    // A program keeps one frame and holds at most 100.
    ASSERT_TRUE(plugin->DeleteHarmonyFrame(1));
    EXPECT_EQ(Marks([&] { EXPECT_FALSE(plugin->DeleteHarmonyFrame(0)); }), kNoBank);
    for (int i = 1; i < record::kMaxFrames; ++i)
        ASSERT_TRUE(plugin->InsertHarmonyFrame(i, 0.01f * static_cast<float>(i)));
    EXPECT_EQ(Marks([&] { EXPECT_FALSE(plugin->InsertHarmonyFrame(100, 2.0f)); }), kNoBank);
    EXPECT_EQ(Saved().FrameCount(0), 100);
    EXPECT_EQ(Saved().FrameTime(0, 99), 0.01f * 99.0f);
}

TEST_F(EditingTest, LoopPointsGoToTheRecordAndTheOscillator) {
    EXPECT_EQ(Marks([&] { plugin->SetLoopStart(0.25f); }), kCurrentBank);
    EXPECT_EQ(Marks([&] { plugin->SetLoopEnd(1.5f); }), kCurrentBank);
    EXPECT_EQ(Saved().HarmonyLoopStart(0), 0.25f);
    EXPECT_EQ(Saved().HarmonyLoopEnd(0), 1.5f);
    EXPECT_EQ(plugin->GetLoopStart(), 0.25f);
    EXPECT_EQ(plugin->GetLoopEnd(), 1.5f);
    EXPECT_EQ(plugin->Oscillator().LoopStart(), 0.25f);
    EXPECT_EQ(plugin->Oscillator().LoopEnd(), 1.5f);
}

TEST_F(EditingTest, GeneratorsFillTheFrameInRecordAndOscillatorAlike) {
    // 40·log10(k) bytes is the level of amplitude 1/k (0.5 dB steps).
    const auto fallOff = [](double ratio) { return 40.0 * std::log10(ratio); };
    for (int shape = 0; shape <= 10; ++shape) {
        SCOPED_TRACE(shape);
        EXPECT_EQ(Marks([&] { plugin->FillHarmonics(0, shape); }), kCurrentBank);
        ExpectFrameBytesMatchTheOscillator(0);
    }
    const TProgramBank* record = nullptr;
    plugin->FillHarmonics(0, 0); // saw: every harmonic, falling as 1/k
    record = &Saved();
    EXPECT_NEAR(record->Level(0, 0, 2) - record->Level(0, 0, 1), fallOff(2), 1.0);
    EXPECT_NEAR(record->Level(0, 0, 10) - record->Level(0, 0, 1), fallOff(10), 1.0);
    plugin->FillHarmonics(0, 1); // square: odd harmonics only
    record = &Saved();
    EXPECT_EQ(record->Level(0, 0, 2), 255);
    EXPECT_NEAR(record->Level(0, 0, 3) - record->Level(0, 0, 1), fallOff(3), 1.0);
    plugin->FillHarmonics(0, 2); // triangle: odd harmonics falling as 1/k²
    record = &Saved();
    EXPECT_EQ(record->Level(0, 0, 4), 255);
    EXPECT_NEAR(record->Level(0, 0, 3) - record->Level(0, 0, 1), fallOff(9), 1.0);

    EXPECT_EQ(Marks([&] { plugin->TiltHarmonics(0, 0.5f); }), kCurrentBank);
    ExpectFrameBytesMatchTheOscillator(0);
    EXPECT_EQ(Marks([&] { plugin->ClearHarmonics(0); }), kCurrentBank);
    for (int k = 0; k < record::kHarmonicCount; ++k)
        ASSERT_EQ(Saved().Level(0, 0, k), 255);
    EXPECT_EQ(Marks([&] { plugin->FillHarmonics(0, 11); }), kNoBank);
    EXPECT_EQ(Marks([&] { plugin->FillHarmonics(3, 0); }), kNoBank);
}

TEST_F(EditingTest, EnvelopePointFamiliesOfAllFiveEnvelopes) {
    for (int e = 0; e < record::kEnvelopeCount; ++e) {
        SCOPED_TRACE(e);
        TEnvelopeHolder& envelope = plugin->Envelope(e);
        EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->InsertEnvelopePoint(e, 1, 0.1f, 0.8f)); }), kCurrentBank);
        EXPECT_TRUE(plugin->InsertEnvelopePoint(e, 1, 0.05f, 0.3f)); // the point behind moves up
        {
            const TProgramBank& record = Saved();
            ASSERT_EQ(record.PointCount(0, e), 3);
            EXPECT_EQ(record.PointTime(0, e, 1), 0.05f);
            EXPECT_EQ(record.PointLevel(0, e, 1), 0.3f);
            EXPECT_EQ(record.PointTime(0, e, 2), 0.1f);
            EXPECT_EQ(record.PointLevel(0, e, 2), 0.8f);
        }
        EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->SetEnvelopePoint(e, 2, 0.2f, 0.6f)); }), kCurrentBank);
        EXPECT_EQ(Saved().PointTime(0, e, 2), 0.2f);
        EXPECT_EQ(Saved().PointLevel(0, e, 2), 0.6f);
        EXPECT_EQ(envelope.PointTime(2), 0.2f);
        EXPECT_EQ(envelope.PointValue(2), 0.6f);

        EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->DeleteEnvelopePoint(e, 1)); }), kCurrentBank);
        {
            const TProgramBank& record = Saved();
            ASSERT_EQ(record.PointCount(0, e), 2);
            EXPECT_EQ(record.PointTime(0, e, 1), 0.2f);
            EXPECT_EQ(record.PointLevel(0, e, 1), 0.6f);
        }
        EXPECT_EQ(envelope.PointCount(), 2);

        EXPECT_EQ(Marks([&] { plugin->SetEnvelopeLoopStart(e, 0.01f); }), kCurrentBank);
        EXPECT_EQ(Marks([&] { plugin->SetEnvelopeLoopEnd(e, 0.15f); }), kCurrentBank);
        EXPECT_EQ(Saved().EnvelopeLoopStart(0, e), 0.01f);
        EXPECT_EQ(Saved().EnvelopeLoopEnd(0, e), 0.15f);
        EXPECT_EQ(envelope.LoopStart(), 0.01f);
        EXPECT_EQ(envelope.LoopEnd(), 0.15f);

        // A point the envelope does not have: the envelope's message, nothing changes or is marked.
        prompt->messages.clear();
        EXPECT_EQ(Marks([&] { EXPECT_FALSE(plugin->SetEnvelopePoint(e, 2, 0.3f, 0.1f)); }), kNoBank);
        EXPECT_EQ(prompt->messages, std::vector<std::string>{"No such point!"});
        EXPECT_EQ(Saved().PointCount(0, e), 2);
        // An envelope keeps one point.
        ASSERT_TRUE(plugin->DeleteEnvelopePoint(e, 1));
        EXPECT_EQ(Marks([&] { EXPECT_FALSE(plugin->DeleteEnvelopePoint(e, 0)); }), kNoBank);
    }
}

TEST_F(EditingTest, AnAmplitudeEnvelopeDrawnInTheEditorShapesTheSound) {
    plugin->FillHarmonics(0, 0);
    // Full level at once, silent from 50 ms on.
    ASSERT_TRUE(plugin->InsertEnvelopePoint(record::kAmplitudeEnvelope, 1, 0.05f, 0.0f));
    const std::vector<float> sound = RenderNote(0.3);
    EXPECT_GT(Amplitude(sound, 0.0, 0.03, kFundamental), 0.01);
    EXPECT_LT(Amplitude(sound, 0.15, 0.1, kFundamental), 1e-4);
}

TEST_F(EditingTest, PasteCopiesTheWholeSlotAndTheEngineFollows) {
    plugin->FillHarmonics(0, 0);
    plugin->setProgramName("Copied");
    EXPECT_EQ(Marks([&] { plugin->CopyProgram(); }), kNoBank);
    EXPECT_EQ(plugin->CopySource(), 0);
    plugin->setProgram(70);
    Process(64);
    EXPECT_LT(Amplitude(RenderNote(0.2), 0.1, 0.1, kFundamental), 1e-4); // slot 70 is a fresh, silent program

    plugin->TakeRefreshLevel(); // as the editor's idle call does
    ASSERT_EQ(plugin->PendingRefreshLevel(), 0);
    EXPECT_EQ(Marks([&] { plugin->PasteProgram(); }), std::make_pair(false, true));
    EXPECT_EQ(Record(70), Record(0));
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_EQ(plugin->PendingRefreshLevel(), 3);
    Process(64);
    EXPECT_GT(Amplitude(RenderNote(0.2), 0.1, 0.1, kFundamental), 0.01);

    // Pasting a slot onto itself changes no byte but is a paste all the same.
    plugin->CopyProgram();
    EXPECT_EQ(Marks([&] { plugin->PasteProgram(); }), std::make_pair(false, true));
}

TEST_F(EditingTest, InitProgramAndInitBankStartFromTheDefaults) {
    plugin->FillHarmonics(0, 0);
    plugin->setProgramName("Edited");
    plugin->setParameter(26, 0.1f);
    std::vector<std::uint8_t> fresh(record::kRecordSize);
    TProgramBank().CopyRecord(0, fresh);

    Process(64);
    plugin->TakeRefreshLevel();
    EXPECT_EQ(Marks([&] { plugin->InitProgram(); }), kCurrentBank);
    EXPECT_EQ(Record(0), fresh);
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_EQ(plugin->PendingRefreshLevel(), 3);
    Process(64);
    EXPECT_LT(Amplitude(RenderNote(0.2), 0.1, 0.1, kFundamental), 1e-4); // silent again

    // The other bank: marked, re-initialised, no program switch.
    plugin->Programs().SetName(100, "Keep me?");
    EXPECT_EQ(Marks([&] { plugin->InitBank(1); }), std::make_pair(false, true));
    EXPECT_EQ(plugin->Programs().Name(100), "-");
    EXPECT_FALSE(plugin->ProgramNeedsApply());
    // The current one switches the program too.
    plugin->FillHarmonics(0, 0);
    EXPECT_EQ(Marks([&] { plugin->InitBank(0); }), kCurrentBank);
    EXPECT_EQ(Record(0), fresh);
    EXPECT_TRUE(plugin->ProgramNeedsApply());
}

TEST_F(EditingTest, StoreInOtherBankTakesTheFirstFreeSlotOrSaysThereIsNone) {
    plugin->FillHarmonics(0, 2);
    plugin->setProgramName("Stored");
    plugin->Programs().SetName(64, "Taken");
    EXPECT_EQ(Marks([&] { EXPECT_TRUE(plugin->StoreInOtherBank()); }), std::make_pair(false, true));
    EXPECT_EQ(Record(65), Record(0));
    EXPECT_EQ(plugin->Programs().Name(64), "Taken");
    EXPECT_TRUE(prompt->messages.empty());

    // From bank 1 the search goes through bank 0, where every slot has a name.
    plugin->setProgram(65);
    Process(64);
    for (int slot = 0; slot < 64; ++slot)
        plugin->Programs().SetName(slot, "Used");
    EXPECT_EQ(Marks([&] { EXPECT_FALSE(plugin->StoreInOtherBank()); }), kNoBank);
    EXPECT_EQ(prompt->messages, std::vector<std::string>{"No free program slots available."});
}

TEST_F(EditingTest, TheCurrentProgramCopyIsTheSavedRecord) {
    plugin->FillHarmonics(0, 4);
    ASSERT_TRUE(plugin->InsertEnvelopePoint(1, 1, 0.3f, 0.7f));
    std::vector<std::uint8_t> copy(record::kRecordSize);
    EXPECT_EQ(Marks([&] { plugin->GetCurrentProgramCopy(copy); }), kNoBank);
    std::vector<std::uint8_t> chunk(record::kRecordSize);
    Saved().CopyRecord(0, chunk);
    EXPECT_EQ(copy, chunk);
}
