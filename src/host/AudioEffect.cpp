#include "host/AudioEffect.h"

#include "host/AEffEditor.h"

#include <cmath>
#include <cstring>

namespace quillon {

namespace {

using namespace vst2;

VstIntPtr DispatcherThunk(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    AudioEffect* object = AudioEffect::FromAeffect(effect);
    if (!object) return 0;
    if (opcode == effClose) {
        // The host is done with this instance: close it, then destroy the object that owns the record.
        object->dispatcher(opcode, index, value, ptr, opt);
        delete object;
        return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
}

void ProcessThunk(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    if (AudioEffect* object = AudioEffect::FromAeffect(effect)) object->process(inputs, outputs, frames);
}

void ProcessReplacingThunk(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    if (AudioEffect* object = AudioEffect::FromAeffect(effect)) object->processReplacing(inputs, outputs, frames);
}

void ProcessDoubleReplacingThunk(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
    if (AudioEffect* object = AudioEffect::FromAeffect(effect)) object->processDoubleReplacing(inputs, outputs, frames);
}

void SetParameterThunk(AEffect* effect, VstInt32 index, float value) {
    if (AudioEffect* object = AudioEffect::FromAeffect(effect)) object->setParameter(index, value);
}

float GetParameterThunk(AEffect* effect, VstInt32 index) {
    AudioEffect* object = AudioEffect::FromAeffect(effect);
    return object ? object->getParameter(index) : 0.0f;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback master, int programs, int params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = DispatcherThunk;
    cEffect.process = ProcessThunk;
    cEffect.setParameter = SetParameterThunk;
    cEffect.getParameter = GetParameterThunk;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = FourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = ProcessReplacingThunk;
    cEffect.processDoubleReplacing = ProcessDoubleReplacingThunk;
    cEffect.flags = effFlagsCanReplacing;
}

AudioEffect::~AudioEffect() {
    DestroyEditor();
    cEffect.object = nullptr;
    cEffect.magic = 0;
}

AudioEffect* AudioEffect::FromAeffect(AEffect* effect) {
    if (!effect || effect->magic != kEffectMagic) return nullptr;
    return static_cast<AudioEffect*>(effect->object);
}

void AudioEffect::setEditor(std::unique_ptr<AEffEditor> newEditor) {
    editor = std::move(newEditor);
    SetFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::DestroyEditor() {
    editor.reset();
    SetFlag(effFlagsHasEditor, false);
}

void AudioEffect::SetFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    CallHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion() {
    const VstIntPtr version = CallHost(audioMasterVersion);
    return version == 0 ? 1 : static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(CallHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    CallHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(VstInt32 input) {
    return CallHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return CallHost(audioMasterPinConnected, output, 1) == 0;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(static_cast<const char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr) getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr) getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu:
        return static_cast<VstIntPtr>(std::lround(getVu() * 32767.0f));
    case effSetSampleRate:
        if (std::isfinite(opt) && opt > 0.0f) setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (value > 0 && value <= (1 << 24)) setBlockSize(static_cast<int>(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return (editor && ptr) ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return FourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        if (!ptr || value <= 0 || value > 0x7FFFFFFF) return 0;
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

} // namespace quillon
