#include "host/AudioEffectX.h"

#include "host/AEffEditor.h"

#include <cmath>

namespace quillon {

using namespace vst2;

namespace {

// The modifier keys of a key event, which hosts pass as a float: held to the int range (not-a-number is
// no modifier), since converting a float the int cannot hold is undefined.
int Modifiers(float opt) {
    if (!(opt > -2147483648.0f)) return 0;
    return opt < 2147483648.0f ? static_cast<int>(opt) : 0;
}

} // namespace

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    // The VST 2 host callback returns the time-info pointer as an integer; there is no other way to get it.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProgramNameIndexed:
        return ptr && getProgramNameIndexed(static_cast<VstInt32>(value), index, static_cast<char*>(ptr)) ? 1 : 0;
    case effConnectInput:
    case effConnectOutput:
        return 1;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBlockSizeAndSampleRate:
        if (value <= 0 || value > (1 << 24) || !std::isfinite(opt) || opt <= 0.0f) return 0;
        return setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt) ? 1 : 0;
    case effGetEffectName:
        return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effKeysRequired:
        return 1; // keyboard input is not required
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        return editor ? editor->onKeyDown(index, static_cast<int>(value), Modifiers(opt)) : 0;
    case effEditKeyUp:
        return editor ? editor->onKeyUp(index, static_cast<int>(value), Modifiers(opt)) : 0;
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(static_cast<int>(value)) : 0;
    case effVendorSpecific:
        return editor ? editor->vendorSpecific(index, value, ptr, opt) : 0;
    default:
        if (opcode >= effProcessEvents && opcode <= effGetNumMidiOutputChannels)
            return 0; // every other extended opcode has the neutral answer
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

} // namespace quillon
