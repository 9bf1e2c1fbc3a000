// Root of the plug-in side of the VST 2 interface. It owns the effect record the host keeps a pointer
// to, fills in the C entry points (thunks) that recover the object from AEffect.object, and turns the
// basic dispatcher opcodes (0 to 24) into virtual operations.
//
// Threads: the host calls the dispatcher and the parameter entry points from its GUI thread and the
// process entry points from its audio thread, concurrently. This class keeps only values that are set
// at construction or while the host has processing stopped, except curProgram, which is atomic.
#pragma once

#include "host/vst2.h"

#include <atomic>
#include <memory>

namespace quillon {

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(vst2::audioMasterCallback audioMaster, int numPrograms, int numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // The record whose address the host receives.
    vst2::AEffect* getAeffect() { return &cEffect; }
    // Recovers the object from a record this class filled in; null for a foreign or null record.
    static AudioEffect* FromAeffect(vst2::AEffect* effect);

    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int size) { blockSize = size; }
    virtual vst2::VstIntPtr dispatcher(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr,
                                       float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void processReplacing(float** inputs, float** outputs, vst2::VstInt32 frames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, vst2::VstInt32 frames) {
        (void)inputs, (void)outputs, (void)frames;
    }
    virtual void setParameter(vst2::VstInt32 index, float value) { (void)index, (void)value; }
    virtual float getParameter(vst2::VstInt32 index) {
        (void)index;
        return 0.0f;
    }
    // Sets a parameter and tells the host, so that it records the change as automation.
    virtual void setParameterAutomated(vst2::VstInt32 index, float value);
    virtual vst2::VstInt32 getProgram() { return curProgram.load(std::memory_order_relaxed); }
    virtual void setProgram(vst2::VstInt32 program) { curProgram.store(program, std::memory_order_relaxed); }
    virtual void setProgramName(const char* name) { (void)name; }
    virtual void getProgramName(char* name) {
        if (name) *name = 0;
    }
    virtual void getParameterLabel(vst2::VstInt32 index, char* label) { (void)index, ClearText(label); }
    virtual void getParameterDisplay(vst2::VstInt32 index, char* text) { (void)index, ClearText(text); }
    virtual void getParameterName(vst2::VstInt32 index, char* text) { (void)index, ClearText(text); }
    // Stores the address of the state block in *data and returns its size in bytes.
    virtual vst2::VstInt32 getChunk(void** data, bool isPreset) {
        (void)isPreset;
        if (data) *data = nullptr;
        return 0;
    }
    virtual vst2::VstInt32 setChunk(void* data, vst2::VstInt32 byteSize, bool isPreset) {
        (void)data, (void)byteSize, (void)isPreset;
        return 0;
    }
    virtual void setUniqueID(vst2::VstInt32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(vst2::VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(vst2::VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state) { SetFlag(vst2::effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state) { SetFlag(vst2::effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state) { SetFlag(vst2::effFlagsProgramChunks, state); }
    virtual void setInitialDelay(vst2::VstInt32 delay) { cEffect.initialDelay = delay; }
    virtual vst2::VstInt32 getMasterVersion();
    virtual vst2::VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(vst2::VstInt32 input);
    virtual bool isOutputConnected(vst2::VstInt32 output);
    // Accumulating process: adds the rendered block to the host's buffers.
    virtual void process(float** inputs, float** outputs, vst2::VstInt32 frames) {
        (void)inputs, (void)outputs, (void)frames;
    }
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state) { SetFlag(vst2::effFlagsHasVu, state); }
    virtual void hasClip(bool state) { SetFlag(vst2::effFlagsHasClip, state); }
    virtual void canMono(bool state) { SetFlag(vst2::effFlagsCanMono, state); }
    virtual void setRealtimeQualities(vst2::VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(vst2::VstInt32 qualities) { cEffect.offQualities = qualities; }

    // Attaches the editor (owned from then on) and announces it with effFlagsHasEditor.
    void setEditor(std::unique_ptr<AEffEditor> newEditor);
    AEffEditor* getEditor() const { return editor.get(); }
    float getSampleRate() const { return sampleRate; }
    int getBlockSize() const { return blockSize; }

    // Calls the host; 0 when there is no host callback. [any]
    vst2::VstIntPtr CallHost(vst2::VstInt32 opcode, vst2::VstInt32 index = 0, vst2::VstIntPtr value = 0,
                             void* ptr = nullptr, float opt = 0.0f);

protected:
    static void ClearText(char* text) {
        if (text) *text = 0;
    }
    void SetFlag(vst2::VstInt32 flag, bool state);
    // Detaches and destroys the editor; derived destructors call it while their state still exists.
    void DestroyEditor();

    vst2::audioMasterCallback audioMaster;
    vst2::AEffect cEffect;
    std::unique_ptr<AEffEditor> editor;
    float sampleRate = 44100.0f;
    int blockSize = 1024;
    int numPrograms;
    int numParams;
    std::atomic<int> curProgram{0};
};

} // namespace quillon
