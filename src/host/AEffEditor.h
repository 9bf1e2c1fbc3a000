// Root of the editor side of the VST 2 interface: the object the host asks about the plug-in's window.
// All operations run on the host's GUI thread [gui].
#pragma once

#include "host/vst2.h"

namespace quillon {

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // Writes the address of the editor rectangle into *rect; result 1 when answered.
    virtual bool getRect(vst2::ERect** rect) {
        if (rect) *rect = nullptr;
        return false;
    }
    // Opens the window as a child of the host's parent window.
    virtual bool open(void* parentWindow) {
        parentWindow_ = parentWindow;
        return false;
    }
    virtual void close() { parentWindow_ = nullptr; }
    virtual bool isOpen() const { return parentWindow_ != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(int character, int virtualKey, int modifiers) {
        (void)character, (void)virtualKey, (void)modifiers;
        return false;
    }
    virtual bool onKeyUp(int character, int virtualKey, int modifiers) {
        (void)character, (void)virtualKey, (void)modifiers;
        return false;
    }
    virtual bool setKnobMode(int mode) {
        (void)mode;
        return false;
    }
    // effVendorSpecific (index, value, ptr, opt as the host sent them); 0 when not understood.
    virtual vst2::VstIntPtr vendorSpecific(vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr, float opt) {
        (void)index, (void)value, (void)ptr, (void)opt;
        return 0;
    }

protected:
    AudioEffect* effect_;
    void* parentWindow_ = nullptr;
};

} // namespace quillon
