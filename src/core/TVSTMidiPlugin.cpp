#include "core/TVSTMidiPlugin.h"

#include "core/ParameterTable.h"
#include "core/TMidiAssignmentWriter.h"
#include "files/LittleEndian.h"
#include "files/TMidiLearnFileManager.h"
#include "files/ZlibCodec.h"
#include "midi/TMidiHandler.h"
#include "platform/FloatingPoint.h"
#include "platform/ISettingsStore.h"
#include "platform/Thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon {

using namespace vst2;

namespace {

// Copies at most maxChars characters of text and a terminating NUL into a host buffer.
void CopyText(char* destination, const std::string& text, std::size_t maxChars) {
    if (!destination) return;
    const std::size_t n = std::min(text.size(), maxChars);
    std::memcpy(destination, text.data(), n);
    destination[n] = 0;
}

constexpr const char* kEffectName = "Quillon";
constexpr const char* kVendorName = "Brindmor Audio";
constexpr const char* kProductString = "Quillon Version: 1.1";

} // namespace

TVSTMidiPlugin::TVSTMidiPlugin(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kProgramCount, kParameterCount), switch_([this](int slot) {
          std::lock_guard<std::mutex> lock(recordsMutex_);
          ClearModelStale();
          PrepareProgram(slot);
      }),
      accumulateLeft_(kAccumulateChunk), accumulateRight_(kAccumulateChunk) {
    midiHandler_ = std::make_unique<TMidiHandler>();
    prompt_ = std::make_shared<platform::StderrPrompt>();
    settings_ = platform::MakeSettingsStore();
    learnFile_ = std::make_unique<TMidiLearnFileManager>(*settings_);
    learnWriter_ = std::make_unique<TMidiAssignmentWriter>(*learnFile_, *midiHandler_,
                                                           [this](const std::string& text) { DeferMessage(text); });
    // Hosts construct plug-ins while they scan, with no display: a refusal waits for the editor.
    LoadAssignments(true);

    setUniqueID(FourCC('3', 'k', '5', '2'));
    setNumInputs(0);
    setNumOutputs(2);
    hasVu(false);
    hasClip(false);
    canMono(true);
    setInitialDelay(0);
    isSynth(true);
    canProcessReplacing(true);
    programsAreChunks(true);

    platform::MaskFloatingPointExceptions();
    learnWriter_->Start();
}

TVSTMidiPlugin::~TVSTMidiPlugin() {
    // The editor may still refer to the plug-in's state: it goes first.
    DestroyEditor();
    StopWorker();
    learnWriter_.reset(); // writes a learned change that is still due
}

void TVSTMidiPlugin::StopWorker() {
    switch_.Stop();
}

std::shared_ptr<platform::IUserPrompt> TVSTMidiPlugin::SetUserPrompt(std::shared_ptr<platform::IUserPrompt> prompt) {
    if (!prompt) return nullptr;
    std::swap(prompt_, prompt);
    return prompt;
}

void TVSTMidiPlugin::RequestRefresh(int level) {
    level = std::clamp(level, 0, 3);
    int current = refreshLevel_.load(std::memory_order_relaxed);
    while (current < level &&
           !refreshLevel_.compare_exchange_weak(current, level, std::memory_order_release, std::memory_order_relaxed)) {
    }
}

void TVSTMidiPlugin::SetMidiHandler(std::unique_ptr<TMidiHandler> handler) {
    if (!handler) return;
    learnWriter_->SetHandler(*handler);
    midiHandler_ = std::move(handler);
}

// Parameters ------------------------------------------------------------------------------------

void TVSTMidiPlugin::setParameter(VstInt32 index, float value) {
    if (!ParameterTable::Valid(index)) return;
    if (!(value >= 0.0f)) // below zero or not a number
        value = 0.0f;
    else if (value > 1.0f)
        value = 1.0f;
    programs_.SetParameter(CurrentProgram(), index, value);
    StartParameterRamp(index);
    RequestRefresh(1);
    MarkCurrentBankModified();
}

float TVSTMidiPlugin::getParameter(VstInt32 index) {
    if (!ParameterTable::Valid(index)) return 0.0f;
    return programs_.Parameter(CurrentProgram(), index);
}

float TVSTMidiPlugin::ParamTarget(int index) const {
    return ParameterTable::Valid(index) ? ramps_.Target(index) : 0.0f;
}

float TVSTMidiPlugin::ParamCurrent(int index) const {
    return ParameterTable::Valid(index) ? ramps_.Current(index) : 0.0f;
}

void TVSTMidiPlugin::StartParameterRamp(int index) {
    if (ParameterTable::Valid(index))
        ramps_.Request(index, static_cast<float>(
                                  ParameterTable::EngineValue(index, programs_.Parameter(CurrentProgram(), index))));
}

void TVSTMidiPlugin::AdvanceParameterRamps(int frames) {
    ramps_.Advance(frames, [this](int index) { ParameterChanged(index); });
}

void TVSTMidiPlugin::RestartAllParameters() {
    for (int i = 0; i < kParameterCount; ++i)
        StartParameterRamp(i);
    ramps_.Advance(
        1, [this](int index) { ParameterChanged(index); }, true);
}

void TVSTMidiPlugin::getParameterName(VstInt32 index, char* text) {
    if (ParameterTable::Valid(index)) CopyText(text, ParameterTable::Name(index), kVstMaxParamStrLen);
}

void TVSTMidiPlugin::getParameterLabel(VstInt32 index, char* text) {
    if (ParameterTable::Valid(index)) CopyText(text, ParameterTable::Label(index), kVstMaxParamStrLen);
}

void TVSTMidiPlugin::getParameterDisplay(VstInt32 index, char* text) {
    if (ParameterTable::Valid(index))
        CopyText(text, ParameterTable::DisplayText(index, getParameter(index)), kVstMaxParamStrLen);
}

// Programs --------------------------------------------------------------------------------------

void TVSTMidiPlugin::setProgram(VstInt32 program) {
    if (program < 0 || program >= kProgramCount || program == CurrentProgram()) return;
    // No lock: a MIDI program change calls this on the audio thread. Editing operations read the slot once
    // and rebuild the engine's model when it shows another slot.
    curProgram.store(program, std::memory_order_release);
    RequestProgramApply();
}

void TVSTMidiPlugin::setProgramName(const char* name) {
    if (!name) return;
    programs_.SetName(CurrentProgram(), name);
    RequestRefresh(3);
    MarkCurrentBankModified();
}

void TVSTMidiPlugin::RenameProgram(int slot, const std::string& name) {
    if (!TProgramBank::ValidSlot(slot)) return;
    programs_.SetName(slot, name.c_str());
    SetBankModified(slot / kBankSize, true);
    RequestRefresh(3);
}

void TVSTMidiPlugin::getProgramName(char* name) {
    CopyText(name, programs_.Name(CurrentProgram()), kVstMaxProgNameLen);
}

bool TVSTMidiPlugin::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    (void)category;
    if (index < 0 || index >= kProgramCount || !text) return false;
    CopyText(text, programs_.Name(index), kVstMaxProgNameLen);
    return true;
}

void TVSTMidiPlugin::MarkCurrentBankModified() {
    SetBankModified(CurrentProgram() / kBankSize, true);
}

bool TVSTMidiPlugin::BankModified(int bank) const {
    return bank >= 0 && bank < 2 && bankModified_[static_cast<std::size_t>(bank)].load(std::memory_order_relaxed);
}

void TVSTMidiPlugin::SetBankModified(int bank, bool modified) {
    if (bank >= 0 && bank < 2) bankModified_[static_cast<std::size_t>(bank)].store(modified, std::memory_order_relaxed);
}

void TVSTMidiPlugin::ApplyProgram(int slot) {
    PrepareProgram(slot);
    FinishProgram();
}

void TVSTMidiPlugin::FinishProgram() {
    RestartAllParameters();
    suspend();
    RequestRefresh(2);
}

void TVSTMidiPlugin::StartProgramSwitch() {
    // Offline rendering waits for the switch: it happens within this processing call.
    const bool offline = getCurrentProcessLevel() == kVstProcessLevelOffline;
    switch_.Start(CurrentProgram(), offline);
    if (offline) {
        FinishProgram();
        switch_.End();
    }
}

// Sample rate and processing --------------------------------------------------------------------

void TVSTMidiPlugin::setSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return;
    AudioEffectX::setSampleRate(rate);
    ramps_.SetLength(static_cast<int>(std::nearbyint(rate * 0.1)));
    RestartAllParameters();
}

void TVSTMidiPlugin::resume() {
    AudioEffectX::resume();
    wantEvents(1);
}

void TVSTMidiPlugin::RenderSubBlock(float* left, float* right, int offset, int frames) {
    (void)left, (void)right, (void)offset, (void)frames;
}

void TVSTMidiPlugin::ProcessBlock(int frames, float* left, float* right) {
    if (switch_.TakePrepared()) {
        FinishProgram();
        switch_.End();
    }
    int position = 0;
    while (position < frames) {
        // A switch asked for before this frame (by the host, the editor, or a program change just
        // dispatched) starts here; offline it is complete when StartProgramSwitch returns.
        if (switch_.Due()) StartProgramSwitch();
        if (switch_.Pending()) {
            // Nothing sounds until the new program is in place. The events stay queued in order and are
            // dispatched, moved to the start of a block, once it is.
            std::fill(left + position, left + frames, kSilence);
            std::fill(right + position, right + frames, kSilence);
            break;
        }
        const int next = midiHandler_->DispatchUntil(position);
        if (midiHandler_->DispatchEnded())
            continue; // a program change at this frame: switch before the events behind it
        int length = next - position;
        if (length < 1 || length >= frames - position) length = frames - position;
        length = std::min(length, kMaxSubBlock);
        AdvanceParameterRamps(length);
        RenderSubBlock(left, right, position, length);
        position += length;
    }
    midiHandler_->AdvanceQueue(frames);
}

void TVSTMidiPlugin::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    (void)inputs;
    if (!outputs || !outputs[0] || !outputs[1] || frames <= 0) return;
    platform::ScopedDenormalGuard guard;
    ProcessBlock(frames, outputs[0], outputs[1]);
}

void TVSTMidiPlugin::process(float** inputs, float** outputs, VstInt32 frames) {
    (void)inputs;
    if (!outputs || !outputs[0] || !outputs[1] || frames <= 0) return;
    platform::ScopedDenormalGuard guard;
    // Renders in chunks into buffers sized at construction, so that this path allocates nothing either.
    for (int done = 0; done < frames;) {
        const int n = std::min(kAccumulateChunk, frames - done);
        ProcessBlock(n, accumulateLeft_.data(), accumulateRight_.data());
        for (int i = 0; i < n; ++i) {
            outputs[0][done + i] += accumulateLeft_[static_cast<std::size_t>(i)];
            outputs[1][done + i] += accumulateRight_[static_cast<std::size_t>(i)];
        }
        done += n;
    }
}

VstInt32 TVSTMidiPlugin::processEvents(VstEvents* events) {
    if (!events) return 0;
    const int count = events->numEvents;
    // The host's list holds numEvents pointers; the struct declares only two, so index through a pointer.
    const VstEvent* const* list = events->events;
    for (int i = 0; i < count; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const auto byte = [&](int k) { return static_cast<std::uint8_t>(midi->midiData[k]); };
        midiHandler_->QueueEvent(std::max(0, midi->deltaFrames), byte(0), byte(1), byte(2), byte(3),
                                 static_cast<std::uint8_t>(midi->detune));
    }
    return 1;
}

// Identity --------------------------------------------------------------------------------------

bool TVSTMidiPlugin::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    (void)index, (void)properties;
    return false; // no inputs
}

bool TVSTMidiPlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (index < 0 || index > 1 || !properties) return false;
    CopyText(properties->label, "Quillon " + std::to_string(index + 1), kVstMaxLabelLen - 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool TVSTMidiPlugin::getEffectName(char* name) {
    CopyText(name, kEffectName, kVstMaxEffectNameLen - 1);
    return true;
}

bool TVSTMidiPlugin::getVendorString(char* text) {
    CopyText(text, kVendorName, kVstMaxVendorStrLen - 1);
    return true;
}

bool TVSTMidiPlugin::getProductString(char* text) {
    CopyText(text, kProductString, kVstMaxProductStrLen - 1);
    return true;
}

VstInt32 TVSTMidiPlugin::canDo(const char* text) {
    static constexpr const char* kCapabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"};
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0) return 1;
    return -1;
}

} // namespace quillon
