// Host side of the VST 2 binary interface: loads a plug-in library (dlopen, LoadLibraryW: TPluginLibrary), calls its
// entry with our host callback, keeps the effect record and wraps the dispatcher in typed operations.
//
// Design note. A plug-in may call the host callback before its entry function has returned (with a
// null effect, or with a record the host has not seen yet), and later from any of its threads. The
// callback therefore finds its TPluginHost in two ways: a thread-local "currently constructing" pointer
// set around the entry call, and a fixed-size lock-free registry keyed by the effect record, filled
// once the entry has returned. AEffect.user is never touched. Everything the callback reads or writes
// is atomic or owned by the thread that processes, so the callback neither locks nor allocates.
//
// Thread tags: [gui] dispatcher operations (one thread at a time, as hosts call them), [audio] the
// processing operations, [any] the recording accessors. Not copyable or movable: the registry holds
// the address of the object.
#pragma once

#include "host/vst2.h"
#include "hostkit/TPluginLibrary.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TPluginHost {
public:
    // What the host reports to the plug-in through the callback.
    struct TSettings {
        vst2::VstInt32 hostVersion = 2400; // answer to audioMasterVersion; 0 makes a VST 2 plug-in refuse to load
        bool versionOnly = false;          // scanner behaviour: answer audioMasterVersion only, 0 to everything else
        float sampleRate = 44100.0f;       // Hz, reported before SetSampleRate is called
        vst2::VstInt32 blockSize = 512;    // frames, reported before SetBlockSize is called
        vst2::VstInt32 processLevel = vst2::kVstProcessLevelRealtime; // answer to audioMasterGetCurrentProcessLevel
        double tempo = 120.0;                                         // beats per minute in the time information
    };

    // One audioMasterAutomate call: parameter index and normalised 0..1 value.
    struct TAutomation {
        vst2::VstInt32 index;
        float value;
    };

    // Asked by audioMasterSizeWindow (width, height in pixels) to resize the editor's window; true when done.
    // While set, the host answers audioMasterCanDo "sizeWindow" with 1. Called on the plug-in's GUI thread.
    std::function<bool(int width, int height)> OnSizeWindow;

    // Answer to effEditGetRect: the dispatcher's result and the rectangle it pointed to, if any.
    struct TEditorRect {
        vst2::VstIntPtr result = 0;
        std::optional<vst2::ERect> rect;
    };

    static constexpr std::size_t kMaxInstances = 64;         // plug-ins alive at once across all hosts
    static constexpr std::size_t kAutomationCapacity = 4096; // recorded automate calls; later ones are counted only
    static constexpr std::size_t kStringBufferSize = 512;    // bytes, well above any VST 2 string maximum

    TPluginHost();
    explicit TPluginHost(const TSettings& settings);
    ~TPluginHost(); // Unload()
    TPluginHost(const TPluginHost&) = delete;
    TPluginHost& operator=(const TPluginHost&) = delete;

    // Loading ---------------------------------------------------------------------------------------
    // Load the library (TPluginLibrary), call VSTPluginMain (or main) and validate the record.
    // Returns false and keeps a one-line reason in Error() on failure; the library is then closed.
    bool Load(const std::string& path);
    // Suspends if resumed, sends effClose (unless already closed) and unloads the library.
    void Unload();
    // Suspends if resumed and sends effClose; the record is invalid afterwards. Returns effClose's result.
    vst2::VstIntPtr Close();
    bool IsLoaded() const { return effect_ != nullptr; }
    const std::string& Error() const { return error_; }
    vst2::AEffect* Effect() const { return effect_; }
    const TSettings& Settings() const { return settings_; }

    // Raw dispatcher call; 0 when no plug-in is loaded. [gui]
    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, vst2::VstInt32 index = 0, vst2::VstIntPtr value = 0,
                             void* ptr = nullptr, float opt = 0.0f);

    // Life cycle [gui] --------------------------------------------------------------------------------
    vst2::VstIntPtr Open();
    void SetSampleRate(float rate);         // Hz; also what audioMasterGetSampleRate reports
    void SetBlockSize(vst2::VstInt32 size); // frames; also what audioMasterGetBlockSize reports
    void Resume();
    void Suspend();
    bool IsResumed() const { return resumed_; }

    // Programs [gui] -----------------------------------------------------------------------------------
    vst2::VstInt32 Program();
    void SetProgram(vst2::VstInt32 index);
    std::string ProgramName();
    void SetProgramName(const std::string& name); // passed as given; the plug-in truncates
    // Name of any slot without switching to it; empty when the plug-in answers 0.
    std::optional<std::string> ProgramNameIndexed(vst2::VstInt32 index);

    // Parameters ----------------------------------------------------------------------------------------
    float Parameter(vst2::VstInt32 index);                // [any]
    void SetParameter(vst2::VstInt32 index, float value); // [any]
    std::string ParameterName(vst2::VstInt32 index);      // [gui]
    std::string ParameterLabel(vst2::VstInt32 index);     // [gui]
    std::string ParameterDisplay(vst2::VstInt32 index);   // [gui]

    // Identity and capabilities [gui] ------------------------------------------------------------------
    std::string EffectName();
    std::string VendorString();
    std::string ProductString();
    vst2::VstIntPtr VendorVersion();
    vst2::VstIntPtr PlugCategory();
    vst2::VstIntPtr VstVersion();
    vst2::VstIntPtr CanDo(const std::string& what);
    // Pin properties go straight into the caller's record, which the plug-in may leave untouched.
    vst2::VstIntPtr OutputProperties(vst2::VstInt32 index, vst2::VstPinProperties& properties);
    vst2::VstIntPtr InputProperties(vst2::VstInt32 index, vst2::VstPinProperties& properties);
    TEditorRect EditorRect();

    // Chunks [gui] ---------------------------------------------------------------------------------------
    // A copy of the plug-in's program (isPreset) or bank chunk; empty when it gives none.
    std::vector<std::uint8_t> GetChunk(bool isPreset);
    vst2::VstIntPtr SetChunk(std::span<const std::uint8_t> data, bool isPreset);

    // Processing [audio] -------------------------------------------------------------------------------
    // Hands events to the plug-in through effProcessEvents. The events must stay valid until the next
    // processing call; the event list itself is kept by the host (it reallocates only when a call
    // carries more events than any call before).
    vst2::VstIntPtr SendEvents(std::span<vst2::VstEvent* const> events);
    vst2::VstIntPtr SendMidiEvents(std::span<vst2::VstMidiEvent> events);
    // Calls processReplacing (or the accumulating process) with the caller's channel buffers, each of
    // at least `frames` samples. Needs numInputs input and numOutputs output buffers; returns false and
    // calls nothing when they are missing or the plug-in has no such function. Advances the sample
    // position of the time information by `frames`.
    bool ProcessReplacing(std::span<float* const> inputs, std::span<float* const> outputs, vst2::VstInt32 frames);
    bool ProcessAccumulating(std::span<float* const> inputs, std::span<float* const> outputs, vst2::VstInt32 frames);

    // Host state seen by the plug-in --------------------------------------------------------------------
    void SetProcessLevel(vst2::VstInt32 level); // [any]
    // Tempo in bpm and sample position; call from the processing thread or while nothing processes.
    void SetTempo(double bpm);
    void SetSamplePosition(double frames);
    // The song position of a host that follows a tempo map: sample position in frames, quarter notes
    // since the start of the song and the tempo in bpm, reported as given to the next processing call.
    // Processing then advances the sample position and recomputes the quarter notes as if the tempo
    // had never changed, so such a host calls this before every block.
    void SetSongPosition(double frames, double quarterNotes, double bpm);
    const vst2::VstTimeInfo& TimeInfo() const { return timeInfo_; }

    // What the plug-in asked of the host [any] ----------------------------------------------------------
    std::vector<TAutomation> Automations() const; // in call order, at most kAutomationCapacity
    std::size_t AutomationCount() const;          // all calls, including those beyond the capacity
    void ClearAutomations();                      // only while no plug-in thread can call back
    int CallCount(vst2::VstInt32 opcode) const;   // host callbacks received per opcode (0..127)

    // Builds a three-byte MIDI event at frame `deltaFrames` of the next block.
    static vst2::VstMidiEvent MidiEvent(vst2::VstInt32 deltaFrames, std::uint8_t status, std::uint8_t data1,
                                        std::uint8_t data2);

private:
    static vst2::VstIntPtr HostCallback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                        vst2::VstIntPtr value, void* ptr, float opt);
    vst2::VstIntPtr Answer(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr, float opt);
    bool Fail(std::string message);
    std::string ReadString(vst2::VstInt32 opcode, vst2::VstInt32 index);
    vst2::VstIntPtr PinProperties(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstPinProperties& properties);
    bool CanProcess(std::span<float* const> inputs, std::span<float* const> outputs, vst2::VstInt32 frames) const;
    float** InputArray(std::span<float* const> inputs);
    void AdvanceTime(vst2::VstInt32 frames);
    vst2::VstEvents* PrepareEventBlock(std::size_t count);
    void SetEventSlot(std::size_t slot, vst2::VstEvent* event);

    TSettings settings_;
    TPluginLibrary library_;
    vst2::AEffect* effect_ = nullptr;
    bool registered_ = false;
    bool resumed_ = false;
    std::string error_;

    std::atomic<float> sampleRate_;
    std::atomic<vst2::VstInt32> blockSize_;
    std::atomic<vst2::VstInt32> processLevel_;
    vst2::VstTimeInfo timeInfo_{};

    // Automate calls packed as (index << 32 | float bits); kEmptyAutomation marks a slot not yet written.
    static constexpr std::uint64_t kEmptyAutomation = ~std::uint64_t{0};
    std::unique_ptr<std::atomic<std::uint64_t>[]> automations_;
    std::atomic<std::size_t> automationCount_{0};
    std::array<std::atomic<int>, 128> callCounts_{};

    // Event list for effProcessEvents: a VstEvents header followed by `eventCapacity_` pointers.
    std::unique_ptr<std::byte[]> eventBlock_;
    std::size_t eventCapacity_ = 0;
    // Channel list handed to plug-ins without inputs, so that they never receive a null array.
    std::array<float*, 2> noChannels_{};
};

} // namespace quillon
