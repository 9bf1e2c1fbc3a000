#include "hostkit/TPluginHost.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace quillon {

using namespace vst2;

namespace {

// Effect records of the plug-ins loaded by any TPluginHost, so that the shared callback can find its
// host. A slot is claimed by a compare-exchange on `host` and published by storing `effect`; lookups
// only read, so the callback never locks.
struct TRegistrySlot {
    std::atomic<TPluginHost*> host{nullptr};
    std::atomic<AEffect*> effect{nullptr};
};

std::array<TRegistrySlot, TPluginHost::kMaxInstances> gRegistry;

// The host whose plug-in entry is running on this thread (the plug-in may call back before the entry
// returns its record, with a null effect or with a record the registry does not know yet).
thread_local TPluginHost* tConstructing = nullptr;

bool Register(TPluginHost* host, AEffect* effect) {
    for (TRegistrySlot& slot : gRegistry) {
        TPluginHost* expected = nullptr;
        if (slot.host.compare_exchange_strong(expected, host, std::memory_order_acq_rel)) {
            slot.effect.store(effect, std::memory_order_release);
            return true;
        }
    }
    return false;
}

void Unregister(const TPluginHost* host) {
    for (TRegistrySlot& slot : gRegistry) {
        if (slot.host.load(std::memory_order_acquire) == host) {
            slot.effect.store(nullptr, std::memory_order_release);
            slot.host.store(nullptr, std::memory_order_release);
        }
    }
}

TPluginHost* Find(const AEffect* effect) {
    if (effect == nullptr) return nullptr;
    for (TRegistrySlot& slot : gRegistry) {
        if (slot.effect.load(std::memory_order_acquire) == effect) return slot.host.load(std::memory_order_acquire);
    }
    return nullptr;
}

std::uint64_t PackAutomation(VstInt32 index, float value) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(index)) << 32) | std::bit_cast<std::uint32_t>(value);
}

} // namespace

TPluginHost::TPluginHost() : TPluginHost(TSettings{}) {}

TPluginHost::TPluginHost(const TSettings& settings)
    : settings_(settings), sampleRate_(settings.sampleRate), blockSize_(settings.blockSize),
      processLevel_(settings.processLevel),
      automations_(std::make_unique<std::atomic<std::uint64_t>[]>(kAutomationCapacity)) {
    ClearAutomations();
    timeInfo_.sampleRate = settings.sampleRate;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
    SetTempo(settings.tempo);
}

TPluginHost::~TPluginHost() {
    Unload();
}

// Loading -------------------------------------------------------------------------------------------------

bool TPluginHost::Load(const std::string& path) {
    Unload();
    error_.clear();
    if (std::string reason; !library_.Open(path, reason)) return Fail("cannot open plug-in library: " + reason);
    void* entry = library_.Symbol("VSTPluginMain");
    if (entry == nullptr) entry = library_.Symbol("main");
    if (entry == nullptr) return Fail("no VST 2 entry point (VSTPluginMain or main) in " + path);

    // Converting the symbol address to a function pointer is what dlsym and GetProcAddress are for.
    const auto pluginMain = reinterpret_cast<VstPluginMainProc>(entry);
    TPluginHost* const outer = tConstructing;
    tConstructing = this;
    AEffect* const effect = pluginMain(&TPluginHost::HostCallback);
    tConstructing = outer;

    if (effect == nullptr) return Fail("the plug-in's entry point returned no effect (it refused to load): " + path);
    if (effect->magic != kEffectMagic) {
        char text[96];
        std::snprintf(text, sizeof text, "bad effect magic 0x%08" PRIX32 " (expected 0x%08" PRIX32 ") in ",
                      static_cast<std::uint32_t>(effect->magic), static_cast<std::uint32_t>(kEffectMagic));
        return Fail(text + path);
    }
    if (!Register(this, effect)) {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        return Fail("too many plug-ins loaded at once (at most " + std::to_string(kMaxInstances) + ")");
    }
    effect_ = effect;
    registered_ = true;
    return true;
}

bool TPluginHost::Fail(std::string message) {
    error_ = std::move(message);
    library_.Close();
    return false;
}

VstIntPtr TPluginHost::Close() {
    if (effect_ == nullptr) return 0;
    if (resumed_) Suspend();
    const VstIntPtr result = Dispatch(effClose);
    // The record is gone; unregister only now, since the plug-in may call back while closing.
    effect_ = nullptr;
    if (registered_) Unregister(this);
    registered_ = false;
    return result;
}

void TPluginHost::Unload() {
    Close();
    library_.Close();
}

VstIntPtr TPluginHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (effect_ == nullptr || effect_->dispatcher == nullptr) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

// Host callback -------------------------------------------------------------------------------------------

VstIntPtr TPluginHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
    TPluginHost* host = Find(effect);
    if (host == nullptr) host = tConstructing;
    if (host == nullptr) return opcode == audioMasterVersion ? 2400 : 0;
    return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr TPluginHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (opcode >= 0 && static_cast<std::size_t>(opcode) < callCounts_.size())
        callCounts_[static_cast<std::size_t>(opcode)].fetch_add(1, std::memory_order_relaxed);
    if (opcode == audioMasterVersion) return settings_.hostVersion;
    if (settings_.versionOnly) return 0;

    switch (opcode) {
    case audioMasterAutomate: {
        const std::size_t slot = automationCount_.fetch_add(1, std::memory_order_relaxed);
        if (slot < kAutomationCapacity) automations_[slot].store(PackAutomation(index, opt), std::memory_order_release);
        return 0;
    }
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_.load(std::memory_order_relaxed));
    case audioMasterGetBlockSize:
        return blockSize_.load(std::memory_order_relaxed);
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterGetCurrentProcessLevel:
        return processLevel_.load(std::memory_order_relaxed);
    case audioMasterSizeWindow:
        return OnSizeWindow && OnSizeWindow(index, static_cast<int>(value)) ? 1 : 0;
    case audioMasterCanDo:
        return OnSizeWindow && ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    default:
        return 0; // everything else: not supported
    }
}

// Life cycle and programs --------------------------------------------------------------------------------------

VstIntPtr TPluginHost::Open() {
    return Dispatch(effOpen);
}

void TPluginHost::SetSampleRate(float rate) {
    sampleRate_.store(rate, std::memory_order_relaxed);
    timeInfo_.sampleRate = rate;
    SetSamplePosition(timeInfo_.samplePos);
    Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void TPluginHost::SetBlockSize(VstInt32 size) {
    blockSize_.store(size, std::memory_order_relaxed);
    Dispatch(effSetBlockSize, 0, size);
}

void TPluginHost::Resume() {
    Dispatch(effMainsChanged, 0, 1);
    resumed_ = effect_ != nullptr;
}

void TPluginHost::Suspend() {
    Dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

VstInt32 TPluginHost::Program() {
    return static_cast<VstInt32>(Dispatch(effGetProgram));
}

void TPluginHost::SetProgram(VstInt32 index) {
    Dispatch(effSetProgram, 0, index);
}

std::string TPluginHost::ProgramName() {
    return ReadString(effGetProgramName, 0);
}

void TPluginHost::SetProgramName(const std::string& name) {
    std::string copy = name; // the interface passes a non-const text
    Dispatch(effSetProgramName, 0, 0, copy.data());
}

std::optional<std::string> TPluginHost::ProgramNameIndexed(VstInt32 index) {
    std::array<char, kStringBufferSize> buffer{};
    if (Dispatch(effGetProgramNameIndexed, index, -1, buffer.data()) == 0) return std::nullopt;
    buffer.back() = '\0';
    return std::string(buffer.data());
}

// Parameters and identity ------------------------------------------------------------------------------------

float TPluginHost::Parameter(VstInt32 index) {
    if (effect_ == nullptr || effect_->getParameter == nullptr) return 0.0f;
    return effect_->getParameter(effect_, index);
}

void TPluginHost::SetParameter(VstInt32 index, float value) {
    if (effect_ != nullptr && effect_->setParameter != nullptr) effect_->setParameter(effect_, index, value);
}

std::string TPluginHost::ParameterName(VstInt32 index) {
    return ReadString(effGetParamName, index);
}
std::string TPluginHost::ParameterLabel(VstInt32 index) {
    return ReadString(effGetParamLabel, index);
}
std::string TPluginHost::ParameterDisplay(VstInt32 index) {
    return ReadString(effGetParamDisplay, index);
}
std::string TPluginHost::EffectName() {
    return ReadString(effGetEffectName, 0);
}
std::string TPluginHost::VendorString() {
    return ReadString(effGetVendorString, 0);
}
std::string TPluginHost::ProductString() {
    return ReadString(effGetProductString, 0);
}
VstIntPtr TPluginHost::VendorVersion() {
    return Dispatch(effGetVendorVersion);
}
VstIntPtr TPluginHost::PlugCategory() {
    return Dispatch(effGetPlugCategory);
}
VstIntPtr TPluginHost::VstVersion() {
    return Dispatch(effGetVstVersion);
}

VstIntPtr TPluginHost::CanDo(const std::string& what) {
    std::string copy = what;
    return Dispatch(effCanDo, 0, 0, copy.data());
}

// Reads a text into a zeroed buffer far larger than any VST 2 limit and terminates it, so that a
// plug-in that overruns a limit or forgets the terminator cannot harm the host.
std::string TPluginHost::ReadString(VstInt32 opcode, VstInt32 index) {
    std::array<char, kStringBufferSize> buffer{};
    Dispatch(opcode, index, 0, buffer.data());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

VstIntPtr TPluginHost::OutputProperties(VstInt32 index, VstPinProperties& properties) {
    return Dispatch(effGetOutputProperties, index, 0, &properties);
}

VstIntPtr TPluginHost::InputProperties(VstInt32 index, VstPinProperties& properties) {
    return Dispatch(effGetInputProperties, index, 0, &properties);
}

TPluginHost::TEditorRect TPluginHost::EditorRect() {
    TEditorRect answer;
    ERect* rect = nullptr;
    answer.result = Dispatch(effEditGetRect, 0, 0, &rect);
    if (rect != nullptr) answer.rect = *rect;
    return answer;
}

// Chunks ------------------------------------------------------------------------------------------------------

std::vector<std::uint8_t> TPluginHost::GetChunk(bool isPreset) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

VstIntPtr TPluginHost::SetChunk(std::span<const std::uint8_t> data, bool isPreset) {
    std::vector<std::uint8_t> copy(data.begin(), data.end()); // the plug-in receives a writable block
    return Dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

// Processing --------------------------------------------------------------------------------------------------

namespace {
// The event block holds pointers to events, by the binary interface's design.
constexpr std::size_t kEventPointerBytes = sizeof(VstEvent*); // NOLINT(bugprone-sizeof-expression)
} // namespace

VstEvents* TPluginHost::PrepareEventBlock(std::size_t count) {
    if (eventBlock_ == nullptr || count > eventCapacity_) {
        const std::size_t capacity = std::max({count, 2 * eventCapacity_, std::size_t{64}});
        const std::size_t bytes =
            std::max(sizeof(VstEvents), offsetof(VstEvents, events) + capacity * kEventPointerBytes);
        eventBlock_ = std::make_unique<std::byte[]>(bytes); // new[] storage suits any fundamental alignment
        eventCapacity_ = capacity;
    }
    auto* header = new (eventBlock_.get()) VstEvents{};
    header->numEvents = static_cast<VstInt32>(count);
    return header;
}

// The record declares two event pointers; the block really holds `eventCapacity_` of them, so the
// pointers beyond the declared array are placed into the block's storage directly.
void TPluginHost::SetEventSlot(std::size_t slot, VstEvent* event) {
    new (eventBlock_.get() + offsetof(VstEvents, events) + slot * kEventPointerBytes) VstEvent*(event);
}

VstIntPtr TPluginHost::SendEvents(std::span<VstEvent* const> events) {
    const std::size_t count = std::min<std::size_t>(events.size(), std::numeric_limits<VstInt32>::max());
    VstEvents* block = PrepareEventBlock(count);
    for (std::size_t i = 0; i < count; ++i)
        SetEventSlot(i, events[i]);
    return Dispatch(effProcessEvents, 0, 0, block);
}

VstIntPtr TPluginHost::SendMidiEvents(std::span<VstMidiEvent> events) {
    const std::size_t count = std::min<std::size_t>(events.size(), std::numeric_limits<VstInt32>::max());
    VstEvents* block = PrepareEventBlock(count);
    for (std::size_t i = 0; i < count; ++i)
        SetEventSlot(i, reinterpret_cast<VstEvent*>(&events[i]));
    return Dispatch(effProcessEvents, 0, 0, block);
}

VstMidiEvent TPluginHost::MidiEvent(VstInt32 deltaFrames, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent) - 2 * sizeof(VstInt32));
    event.deltaFrames = deltaFrames;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    return event;
}

bool TPluginHost::CanProcess(std::span<float* const> inputs, std::span<float* const> outputs, VstInt32 frames) const {
    if (effect_ == nullptr || frames < 0) return false;
    return inputs.size() >= static_cast<std::size_t>(std::max(effect_->numInputs, 0)) &&
           outputs.size() >= static_cast<std::size_t>(std::max(effect_->numOutputs, 0));
}

float** TPluginHost::InputArray(std::span<float* const> inputs) {
    // The interface takes non-const channel arrays; plug-ins only read the array itself.
    return inputs.empty() ? noChannels_.data() : const_cast<float**>(inputs.data());
}

bool TPluginHost::ProcessReplacing(std::span<float* const> inputs, std::span<float* const> outputs, VstInt32 frames) {
    if (!CanProcess(inputs, outputs, frames) || effect_->processReplacing == nullptr) return false;
    effect_->processReplacing(effect_, InputArray(inputs), const_cast<float**>(outputs.data()), frames);
    AdvanceTime(frames);
    return true;
}

bool TPluginHost::ProcessAccumulating(std::span<float* const> inputs, std::span<float* const> outputs,
                                      VstInt32 frames) {
    if (!CanProcess(inputs, outputs, frames) || effect_->process == nullptr) return false;
    effect_->process(effect_, InputArray(inputs), const_cast<float**>(outputs.data()), frames);
    AdvanceTime(frames);
    return true;
}

// Host state ----------------------------------------------------------------------------------------------------

void TPluginHost::SetProcessLevel(VstInt32 level) {
    processLevel_.store(level, std::memory_order_relaxed);
}

void TPluginHost::SetTempo(double bpm) {
    timeInfo_.tempo = bpm;
    SetSamplePosition(timeInfo_.samplePos);
}

// Sample position in frames since the start of the song; the quarter-note position follows from the
// tempo, which stays constant in this host.
void TPluginHost::SetSamplePosition(double frames) {
    timeInfo_.samplePos = frames;
    timeInfo_.ppqPos = timeInfo_.sampleRate > 0.0 ? frames / timeInfo_.sampleRate * timeInfo_.tempo / 60.0 : 0.0;
}

void TPluginHost::SetSongPosition(double frames, double quarterNotes, double bpm) {
    timeInfo_.samplePos = frames;
    timeInfo_.ppqPos = quarterNotes;
    timeInfo_.tempo = bpm;
}

void TPluginHost::AdvanceTime(VstInt32 frames) {
    SetSamplePosition(timeInfo_.samplePos + frames);
}

std::vector<TPluginHost::TAutomation> TPluginHost::Automations() const {
    const std::size_t count = std::min(automationCount_.load(std::memory_order_acquire), kAutomationCapacity);
    std::vector<TAutomation> list;
    list.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t packed = automations_[i].load(std::memory_order_acquire);
        if (packed == kEmptyAutomation) continue; // claimed by a call that has not stored it yet
        list.push_back({static_cast<VstInt32>(static_cast<std::uint32_t>(packed >> 32)),
                        std::bit_cast<float>(static_cast<std::uint32_t>(packed))});
    }
    return list;
}

std::size_t TPluginHost::AutomationCount() const {
    return automationCount_.load(std::memory_order_acquire);
}

void TPluginHost::ClearAutomations() {
    for (std::size_t i = 0; i < kAutomationCapacity; ++i)
        automations_[i].store(kEmptyAutomation, std::memory_order_relaxed);
    automationCount_.store(0, std::memory_order_release);
}

int TPluginHost::CallCount(VstInt32 opcode) const {
    if (opcode < 0 || static_cast<std::size_t>(opcode) >= callCounts_.size()) return 0;
    return callCounts_[static_cast<std::size_t>(opcode)].load(std::memory_order_relaxed);
}

} // namespace quillon
