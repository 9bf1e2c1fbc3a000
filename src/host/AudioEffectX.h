// The extended VST 2 dispatcher (opcodes 25 to 79) and the host requests that plug-ins make beyond the
// basic set. Neutral answers live here; the synthesizer overrides what it answers differently.
#pragma once

#include "host/AudioEffect.h"

namespace quillon {

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    vst2::VstIntPtr dispatcher(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr,
                               float opt) override;
    void resume() override {}

    // Extended operations, each reached by its opcode.
    virtual vst2::VstInt32 processEvents(vst2::VstEvents* events) {
        (void)events;
        return 0;
    }
    virtual bool canParameterBeAutomated(vst2::VstInt32 index) {
        (void)index;
        return true;
    }
    virtual bool string2parameter(vst2::VstInt32 index, char* text) {
        (void)index, (void)text;
        return false;
    }
    virtual bool getProgramNameIndexed(vst2::VstInt32 category, vst2::VstInt32 index, char* text) {
        (void)category, (void)index, (void)text;
        return false;
    }
    virtual bool getInputProperties(vst2::VstInt32 index, vst2::VstPinProperties* properties) {
        (void)index, (void)properties;
        return false;
    }
    virtual bool getOutputProperties(vst2::VstInt32 index, vst2::VstPinProperties* properties) {
        (void)index, (void)properties;
        return false;
    }
    virtual vst2::VstPlugCategory getPlugCategory() { return vst2::kPlugCategUnknown; }
    // Goes through the two virtual setters, so that a plug-in hears of the new rate however the host sends it.
    virtual bool setBlockSizeAndSampleRate(vst2::VstInt32 size, float rate) {
        setBlockSize(size);
        setSampleRate(rate);
        return true;
    }
    virtual bool getEffectName(char* name) {
        (void)name;
        return false;
    }
    virtual bool getVendorString(char* text) {
        (void)text;
        return false;
    }
    virtual bool getProductString(char* text) {
        (void)text;
        return false;
    }
    virtual vst2::VstInt32 getVendorVersion() { return 0; }
    // 1 for a capability the plug-in has, -1 for one it does not have, 0 when it does not know.
    virtual vst2::VstInt32 canDo(const char* text) {
        (void)text;
        return 0;
    }
    virtual vst2::VstInt32 getVstVersion() { return 2400; }

    // Asks the host to send MIDI events. [any]
    void wantEvents(vst2::VstInt32 filter = 1) { CallHost(vst2::audioMasterWantMidi, 0, filter); }
    // Asks the host for its time information; null when it has none. [audio]
    vst2::VstTimeInfo* getTimeInfo(vst2::VstInt32 filter);
    vst2::VstInt32 getCurrentProcessLevel() {
        return static_cast<vst2::VstInt32>(CallHost(vst2::audioMasterGetCurrentProcessLevel));
    }
    bool updateDisplay() { return CallHost(vst2::audioMasterUpdateDisplay) != 0; }
    void isSynth(bool state = true) { SetFlag(vst2::effFlagsIsSynth, state); }
};

} // namespace quillon
