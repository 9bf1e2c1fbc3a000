// The plug-in object driven in-process through its effect record, as a host drives it.
#include "core/TCustomVSTMidiPlugin.h"
#include "core/ParameterTable.h"
#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "effects/TClassicReverbEffect.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TIFFTNoiseGenerator.h"
#include "engine/TIFFTVoiceOsc.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulatedFilter.h"
#include "engine/TModulationAssignment.h"
#include "midi/TMidiHandler.h"
#include "platform/ISettingsStore.h"
#include "plugin/PluginInstance.h"
#include "plugin/TVSTEditor.h"
#include "support/FakeHost.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Offline: program switches complete within the processing call that starts them.
        host.processLevel = kVstProcessLevelOffline;
        plugin = CreatePluginInstance(test::FakeHost::Callback); // with the editor shell, as hosts get it
        effect = plugin->getAeffect();
    }
    void TearDown() override {
        if (effect) {
            EXPECT_EQ(Dispatch(effClose), 1);
        }
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::string Text(VstInt32 opcode, VstInt32 index) {
        char buffer[256];
        std::memset(buffer, 0, sizeof buffer);
        Dispatch(opcode, index, 0, buffer);
        return buffer;
    }
    void Process(int frames) {
        left.assign(static_cast<std::size_t>(frames), 0.0f);
        right.assign(static_cast<std::size_t>(frames), 0.0f);
        float* outputs[2] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outputs, frames);
    }
    void ProcessFrames(int total, int block) {
        for (int done = 0; done < total; done += block)
            Process(std::min(block, total - done));
    }

    test::FakeHost host;
    TCustomVSTMidiPlugin* plugin = nullptr;
    AEffect* effect = nullptr;
    std::vector<float> left, right;
};

} // namespace

TEST_F(PluginTest, RecordIdentityAndFlags) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 128);
    EXPECT_EQ(effect->numParams, 124);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->uniqueID, 0x336B3532);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->flags,
              effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth);
    EXPECT_EQ(effect->object, plugin);
    EXPECT_NE(reinterpret_cast<void*>(effect->process), reinterpret_cast<void*>(effect->processReplacing));
    EXPECT_EQ(Dispatch(effIdentify), FourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(Dispatch(effGetVu), 0);
    EXPECT_EQ(Dispatch(effKeysRequired), 1);
    EXPECT_EQ(Dispatch(effCanBeAutomated, 17), 1);
    EXPECT_EQ(Dispatch(effGetTailSize), 0);
    EXPECT_EQ(Text(effGetProductString, 0), "Quillon Version: 1.1");
}

TEST_F(PluginTest, ParameterValuesAreClampedAndIndicesChecked) {
    effect->setParameter(effect, 5, 1.7f);
    EXPECT_EQ(effect->getParameter(effect, 5), 1.0f);
    effect->setParameter(effect, 5, -0.2f);
    EXPECT_EQ(effect->getParameter(effect, 5), 0.0f);
    effect->setParameter(effect, 5, 0.3f);
    effect->setParameter(effect, 5, std::nanf(""));
    EXPECT_EQ(effect->getParameter(effect, 5), 0.0f);
    effect->setParameter(effect, 5, INFINITY);
    EXPECT_EQ(effect->getParameter(effect, 5), 1.0f);

    const std::vector<std::uint8_t> before(plugin->Programs().ImageBytes().begin(),
                                           plugin->Programs().ImageBytes().end());
    effect->setParameter(effect, 124, 0.5f);
    effect->setParameter(effect, -1, 0.5f);
    effect->setParameter(effect, 0x7FFFFFFF, 0.5f);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), plugin->Programs().ImageBytes().begin()));
    EXPECT_EQ(effect->getParameter(effect, 124), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -5), 0.0f);
    EXPECT_EQ(Text(effGetParamName, 124), "");
    EXPECT_EQ(Text(effGetParamDisplay, -1), "");
}

TEST_F(PluginTest, SettingAParameterMarksItsBankModified) {
    EXPECT_FALSE(plugin->BankModified(0));
    effect->setParameter(effect, kCutoff, 0.7f);
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_FALSE(plugin->BankModified(1));
    Dispatch(effSetProgram, 0, 100);
    effect->setParameter(effect, kCutoff, 0.7f);
    EXPECT_TRUE(plugin->BankModified(1));
}

TEST_F(PluginTest, DefaultsReachTheEngineAtConstruction) {
    EXPECT_EQ(plugin->VoiceCount(), 32);
    EXPECT_FLOAT_EQ(plugin->ParamCurrent(kMasterLevel), 0.5f);
    EXPECT_FLOAT_EQ(plugin->ParamCurrent(kPan), 1.0f);
    EXPECT_EQ(plugin->Routing().RowTarget(TModulationAssignment::kRowPitchBend), 1);
    EXPECT_EQ(plugin->Routing().RowTarget(TModulationAssignment::kRowModWheel), 4);
    EXPECT_EQ(plugin->MidiHandler().AssignMode(), 1);
    EXPECT_EQ(plugin->MidiHandler().RetriggerMode(), 1);
    EXPECT_EQ(plugin->MidiHandler().RangeHigh(), 127);
    EXPECT_EQ(plugin->RampLength(), 4410);
    EXPECT_EQ(plugin->GetGlobalSettings()[0], 5);
}

TEST_F(PluginTest, RampedParameterReachesItsTargetAfterRampLength) {
    Process(64); // applies the program
    effect->setParameter(effect, kMasterLevel, 1.0f);
    EXPECT_EQ(plugin->ParamTarget(kMasterLevel), 4.0f);
    ProcessFrames(4410 - 32, 441);
    const float nearlyThere = plugin->ParamCurrent(kMasterLevel);
    EXPECT_GT(nearlyThere, 3.9f);
    EXPECT_LT(nearlyThere, 4.0f);
    ProcessFrames(32, 32);
    EXPECT_EQ(plugin->ParamCurrent(kMasterLevel), 4.0f);
    // Halfway along, the value is halfway.
    effect->setParameter(effect, kMasterLevel, 0.0f);
    ProcessFrames(2205, 441);
    EXPECT_NEAR(plugin->ParamCurrent(kMasterLevel), 2.0f, 0.02f);
}

TEST_F(PluginTest, SwitchesActAtTheNextSubBlockButDelayEnableGlides) {
    Process(16);
    effect->setParameter(effect, kFilterEnable, 1.0f);
    effect->setParameter(effect, kDelayEnable, 1.0f);
    EXPECT_EQ(plugin->ParamCurrent(kFilterEnable), 0.0f);
    Process(16);
    EXPECT_EQ(plugin->ParamCurrent(kFilterEnable), 1.0f);
    EXPECT_LT(plugin->ParamCurrent(kDelayEnable), 0.01f);
    ProcessFrames(2205 - 16 - 32, 64);
    EXPECT_LT(plugin->ParamCurrent(kDelayEnable), 0.5f); // the delay is not running yet
    ProcessFrames(64, 64);
    EXPECT_GE(plugin->ParamCurrent(kDelayEnable), 0.5f); // about 50 ms after the switch
    ProcessFrames(4410, 512);
    EXPECT_EQ(plugin->ParamCurrent(kDelayEnable), 1.0f);
}

TEST_F(PluginTest, SampleRateChangeJumpsEveryParameterToItsTarget) {
    Process(16);
    effect->setParameter(effect, kMasterLevel, 1.0f);
    effect->setParameter(effect, kCutoff, 0.25f);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(plugin->RampLength(), 4800);
    EXPECT_EQ(plugin->ParamCurrent(kMasterLevel), 4.0f);
    EXPECT_EQ(plugin->ParamCurrent(kCutoff), 0.25f);
    EXPECT_EQ(plugin->getSampleRate(), 48000.0f);
    // Nonsense rates are ignored.
    Dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
    Dispatch(effSetSampleRate, 0, 0, nullptr, std::nanf(""));
    Dispatch(effSetSampleRate, 0, 0, nullptr, -44100.0f);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 5.6e9f); // would overflow the ramp length
    Dispatch(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::infinity());
    Dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 1.0e12f);
    EXPECT_EQ(plugin->getSampleRate(), 48000.0f);
    EXPECT_EQ(plugin->RampLength(), 4800);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 768000.0f); // the highest rate taken
    EXPECT_EQ(plugin->RampLength(), 76800);
    // Block size and rate in one call reach the engine as well.
    Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
    EXPECT_EQ(plugin->getSampleRate(), 96000.0f);
    EXPECT_EQ(plugin->RampLength(), 9600);
}

// One range of rates for every part: a rate the delay's and reverb's lines cannot take (below 8 kHz) is
// refused by the plug-in as a whole, and each part on its own ignores what the plug-in refuses, so that no
// part ever runs at another rate than the rest (a 0.5 s echo stays 0.5 s).
TEST_F(PluginTest, EveryPartRunsAtTheRateThePluginTakes) {
    const auto parts = [&] {
        return std::vector<float>{
            plugin->Oscillator().SampleRate(), plugin->Noise().SampleRate(),     plugin->Filter().SampleRate(),
            plugin->Envelope(0).SampleRate(),  plugin->Envelope(4).SampleRate(), plugin->Lfo(0).SampleRate(),
            plugin->Lfo(1).SampleRate(),       plugin->Chorus().SampleRate(),    plugin->Reverb().SampleRate(),
            plugin->Phaser().SampleRate(),     plugin->Delay().SampleRate()};
    };
    float taken = plugin->getSampleRate();
    for (const float rate : {48000.0f, 4000.0f, 7999.0f, 8000.0f, 768001.0f, 768000.0f, 1.0f, 22050.0f}) {
        SCOPED_TRACE(rate);
        Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        if (rate >= TVSTMidiPlugin::kMinimumSampleRate && rate <= TVSTMidiPlugin::kMaximumSampleRate) taken = rate;
        EXPECT_EQ(plugin->getSampleRate(), taken);
        EXPECT_EQ(parts(), std::vector<float>(11, taken));
        EXPECT_EQ(plugin->Delay().LineLength(), static_cast<int>(std::nearbyint(taken * 5.0)));
        EXPECT_EQ(plugin->Routing().RampLength(), static_cast<int>(std::nearbyint(taken * 0.03)));
    }
    for (const float refused : {4000.0f, 768001.0f, 0.0f, std::nanf("")}) {
        plugin->Oscillator().SetSampleRate(refused);
        plugin->Noise().SetSampleRate(refused);
        plugin->Filter().SetSampleRate(refused);
        plugin->Envelope(0).SetSampleRate(refused);
        plugin->Envelope(4).SetSampleRate(refused);
        plugin->Lfo(0).SetSampleRate(refused);
        plugin->Lfo(1).SetSampleRate(refused);
        plugin->Routing().SetSampleRate(refused);
        for (TSuperAudioEffect* part : std::initializer_list<TSuperAudioEffect*>{&plugin->Chorus(), &plugin->Reverb(),
                                                                                 &plugin->Phaser(), &plugin->Delay()})
            part->SetSampleRate(refused);
    }
    EXPECT_EQ(parts(), std::vector<float>(11, taken));
    EXPECT_EQ(plugin->Routing().RampLength(), static_cast<int>(std::nearbyint(taken * 0.03)));
}

TEST_F(PluginTest, KeyEventsWithAnyModifierFloatAreHarmless) {
    // Hosts pass the modifier keys as a float; values no int can hold must not reach a conversion.
    for (const float modifiers :
         {0.0f, 3.0f, -1.0f, 1.0e20f, -1.2377e17f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
        Dispatch(effEditKeyDown, 65, 0, nullptr, modifiers);
        Dispatch(effEditKeyUp, 65, 0, nullptr, modifiers);
    }
    Process(16);
}

TEST_F(PluginTest, VoiceCountFollowsTheParameterRounded) {
    effect->setParameter(effect, kVoices, 0.0f);
    Process(16);
    EXPECT_EQ(plugin->VoiceCount(), 1);
    EXPECT_EQ(plugin->MidiHandler().VoiceCount(), 1);
    effect->setParameter(effect, kVoices, 1.0f);
    Process(16);
    EXPECT_EQ(plugin->VoiceCount(), 256);
    EXPECT_EQ(plugin->Oscillator().VoiceCount(), 256);
}

TEST_F(PluginTest, ProgramSelectionAndNames) {
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Process(16);
    EXPECT_FALSE(plugin->ProgramNeedsApply());
    Dispatch(effSetProgram, 0, 200);
    Dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, 0); // the current slot: nothing to do
    EXPECT_FALSE(plugin->ProgramNeedsApply());
    Dispatch(effSetProgram, 0, 70);
    EXPECT_EQ(Dispatch(effGetProgram), 70);
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    Process(16);
    EXPECT_FALSE(plugin->ProgramNeedsApply());

    char name[] = "A program name of thirty chars";
    ASSERT_EQ(std::strlen(name), 30u);
    Dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(Text(effGetProgramName, 0), "A program name of thirty");
    EXPECT_EQ(plugin->Programs().Name(70), "A program name of thirty");
    EXPECT_TRUE(plugin->BankModified(1));
    EXPECT_EQ(plugin->PendingRefreshLevel(), 3);

    char indexed[64] = {};
    EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 70, 0, indexed), 1);
    EXPECT_STREQ(indexed, "A program name of thirty");
    EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 3, -1, indexed), 1); // the category is ignored
    EXPECT_STREQ(indexed, "-");
    EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 128, 0, indexed), 0);
    EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(effSetProgramName, 0, 0, nullptr), 0);
}

TEST_F(PluginTest, DisplaysThatDependOnEngineState) {
    EXPECT_EQ(Text(effGetParamDisplay, kPitchBendAmount), "2.00 n");
    EXPECT_EQ(Text(effGetParamDisplay, kModWheelAmount), "100 %");
    EXPECT_EQ(Text(effGetParamDisplay, kAftertouchAmount), "0.00 %");
    EXPECT_EQ(Text(effGetParamDisplay, kLfo1Rate), "5.02");
    effect->setParameter(effect, kLfo1Sync, 1.0f);
    effect->setParameter(effect, kLfo1Rate, 1.0f / 21.0f);
    EXPECT_EQ(Text(effGetParamDisplay, kLfo1Rate), "2 / 1 D");
    effect->setParameter(effect, kLfo1HoldRate, 1.0f);
    EXPECT_EQ(Text(effGetParamDisplay, kLfo1HoldRate), "1 / 32");
    EXPECT_EQ(Text(effGetParamDisplay, kLfo2Rate), "0.63"); // LFO 2 is not synchronised
    EXPECT_EQ(Text(effGetParamDisplay, kChorusRate), "0.14");
    effect->setParameter(effect, kChorusSync, 1.0f);
    EXPECT_EQ(Text(effGetParamDisplay, kChorusRate), "2 / 1");
    EXPECT_EQ(Text(effGetParamDisplay, kPhaserRate), "2 / 1");
    EXPECT_EQ(Text(effGetParamDisplay, kDelayTime), "1 / 4");
    effect->setParameter(effect, kDelaySync, 0.0f);
    EXPECT_EQ(Text(effGetParamDisplay, kDelayTime), "0.50");
    // Re-targeting the pitch-bend row to the filter shows percent.
    effect->setParameter(effect, kPitchBendTarget, 2.0f / 9.0f);
    Process(16);
    EXPECT_EQ(Text(effGetParamDisplay, kPitchBendAmount), "16.7 %");
    EXPECT_EQ(Text(effGetParamName, kFilterEnvAmount), "Intensit");
    EXPECT_EQ(Text(effGetParamLabel, kCutoff), "kHz");
}

TEST_F(PluginTest, SilentBlocksCarryTheDenormalGuardThroughPanAndMaster) {
    Process(100);
    const float master = plugin->ParamCurrent(kMasterLevel);
    const float pan = plugin->ParamCurrent(kPan);
    for (std::size_t i = 0; i < 100; ++i) {
        ASSERT_EQ(left[i], 1e-20f * (2.0f - pan) * master) << i;
        ASSERT_EQ(right[i], 1e-20f * pan * master) << i;
    }
    // Hard left: the right side is silent (zero gain), the left side doubled.
    effect->setParameter(effect, kPan, 0.0f);
    ProcessFrames(4410, 512);
    Process(32);
    EXPECT_EQ(right[0], 0.0f);
    EXPECT_EQ(left[0], 1e-20f * 2.0f * master);
}

TEST_F(PluginTest, AccumulatingProcessAddsToTheHostBuffers) {
    Process(16);
    const float expected = 1e-20f * plugin->ParamCurrent(kMasterLevel);
    std::vector<float> l(3000, 1e-20f), r(3000, 0.0f);
    float* outputs[2] = {l.data(), r.data()};
    effect->process(effect, nullptr, outputs, 3000);
    EXPECT_EQ(l[0], 1e-20f + expected);
    EXPECT_EQ(l[2999], 1e-20f + expected);
    EXPECT_EQ(r[1500], expected);
    // Null buffers and empty blocks are ignored.
    effect->process(effect, nullptr, nullptr, 16);
    effect->processReplacing(effect, nullptr, nullptr, 16);
    float* half[2] = {l.data(), nullptr};
    effect->processReplacing(effect, nullptr, half, 16);
    effect->processReplacing(effect, nullptr, outputs, 0);
    effect->processReplacing(effect, nullptr, outputs, -5);
}

TEST_F(PluginTest, EventsAreAcceptedAndResumeAsksForMidi) {
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.deltaFrames = 5;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } block{3, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, reinterpret_cast<VstEvent*>(&note)}};
    EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, &block), 1);
    EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    Process(32);
    Dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(host.wantMidiCalls.load(), 1);
    EXPECT_EQ(Dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfo")), 1);
    EXPECT_EQ(Dispatch(effCanDo, 0, 0, const_cast<char*>("ReceiveVstTimeInfo")), -1);
    EXPECT_EQ(Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginTest, HostTempoReachesTheSynchronisedParts) {
    host.reportTime = true;
    host.time.tempo = 60.0;
    Process(16);
    EXPECT_EQ(plugin->Lfo(0).Tempo(), 60.0);
    EXPECT_EQ(plugin->Delay().Tempo(), 60.0f);
    // A nonsense tempo is not taken over.
    host.time.tempo = std::nan("");
    Process(16);
    host.time.tempo = 0.0;
    Process(16);
    EXPECT_EQ(plugin->Lfo(1).Tempo(), 60.0);
}

TEST_F(PluginTest, EditorShellRectangleOpenCloseAndRefresh) {
    test::ScopedEnvironment noDisplay; // a developer's high-density display would choose 200 %
    noDisplay.Set("DISPLAY", "");
    ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 556);
    EXPECT_EQ(rect->right, 800);
    EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, nullptr), 0);

    plugin->MidiHandler().SetLearnMode(1);
    int parent = 0;
    EXPECT_EQ(Dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_TRUE(plugin->EditorOpen());
    EXPECT_EQ(Dispatch(effEditOpen, 0, 0, &parent), 1); // a second open keeps the window
    rect = nullptr;
    EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 800);

    TVSTEditor& shell = static_cast<TVSTEditor&>(*plugin->getEditor());
    Dispatch(effEditIdle);
    EXPECT_EQ(shell.PendingRefreshLevel(), 0);
    shell.RequestRefresh(1);
    shell.RequestRefresh(3);
    shell.RequestRefresh(2);
    EXPECT_EQ(shell.PendingRefreshLevel(), 3);
    Dispatch(effEditIdle);
    EXPECT_EQ(shell.PendingRefreshLevel(), 0);

    Dispatch(effEditClose);
    EXPECT_FALSE(plugin->EditorOpen());
    EXPECT_EQ(plugin->MidiHandler().LearnMode(), 0); // closing the window ends MIDI learn
    Dispatch(effEditClose);
}

// The editor's display scale: the host's message first, then the settings value "EditorZoom".
TEST_F(PluginTest, EditorScaleComesFromTheHostsMessageThenFromTheSettings) {
    const auto size = [this] {
        ERect* rect = nullptr;
        Dispatch(effEditGetRect, 0, 0, &rect);
        return rect ? std::pair{rect->right - rect->left, rect->bottom - rect->top} : std::pair{0, 0};
    };
    const std::pair normal{800, 556};
    const std::pair doubled{1600, 1112};
    plugin->Settings().WriteSetting("EditorZoom", "200");
    TearDown(); // a new plug-in reads the settings afresh
    SetUp();
    EXPECT_EQ(size(), doubled);
    constexpr VstInt32 kPreS = 0x50726553;
    constexpr VstInt32 kAeCs = 0x41654373;
    EXPECT_EQ(Dispatch(effVendorSpecific, kPreS, 0, nullptr, 1.25f), 1);
    EXPECT_EQ(size(), normal);
    EXPECT_EQ(Dispatch(effVendorSpecific, kAeCs, 2, nullptr, 0.0f), 1) << "the factor in value";
    EXPECT_EQ(size(), doubled);
    EXPECT_EQ(Dispatch(effVendorSpecific, kPreS, 0, nullptr, std::nanf("")), 0);
    EXPECT_EQ(Dispatch(effVendorSpecific, 1234, 0, nullptr, 1.0f), 0);
    EXPECT_EQ(size(), doubled);

    plugin->Settings().WriteSetting("EditorZoom", "1");
    TearDown();
    SetUp();
    EXPECT_EQ(size(), normal);
    plugin->Settings().WriteSetting("EditorZoom", "");
}

TEST_F(PluginTest, IdentityOpcodesAndPins) {
    EXPECT_EQ(Text(effGetEffectName, 0), "Quillon");
    EXPECT_EQ(Text(effGetVendorString, 0), "Brindmor Audio");
    EXPECT_EQ(Dispatch(effGetVendorVersion), 1100);
    EXPECT_EQ(Dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(Dispatch(effGetVstVersion), 2400);
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_EQ(Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Quillon 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(static_cast<unsigned char>(pin.shortLabel[0]), 0x5A); // other fields untouched
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_EQ(Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(static_cast<unsigned char>(pin.label[0]), 0x5A);
    EXPECT_EQ(Dispatch(effGetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
    EXPECT_EQ(plugin->getBlockSize(), 256);
    EXPECT_EQ(plugin->RampLength(), 9600); // the engine plays at the rate the plug-in reports
}
