// Generic MIDI-instrument plug-in on top of the VST 2 base classes: the 128 program slots, parameter
// storage with 100 ms smoothing ramps, program names, the VST identity, event intake and the processing
// frame that cuts host blocks into sub-blocks. The synthesizer (TCustomVSTMidiPlugin) derives from it.
//
// Parameter values glide through TParameterRamps (its header explains the hand-over between threads).
//
// Program switch, design note. Requests (setProgram, chunks, files, editing operations) only raise
// programNeedsApply. The processing call starts the switch at the frame where it finds the request: at the
// start of a block, or at the frame of a MIDI program change (the handler ends its dispatch right behind
// that event). programChangePending goes up, and the heavy part, PrepareProgram (reading the record,
// building wavetables and point lists and handing them to the engine through its lock-free queues), runs
// on the program-change worker, a thread one step below normal priority that lives as long as the
// plug-in. While it runs, processing outputs 1e-20 and dispatches nothing: the MIDI events wait in the
// queue, in order, and start at the beginning of the first block after the switch, so that a note played
// behind a program change sounds with the new program, late only by the preparation time. When the
// worker is done, the audio thread finishes the switch between two blocks (FinishProgram: the engine takes
// the prepared data over, every parameter reaches its engine value, the effects are cleared), so that
// engine state is only ever changed by the audio thread. Re-applying a parameter whose value has not
// changed leaves the sounding voices alone (only a new voice count or transposition silences them). A
// host rendering offline gets both parts synchronously at the program change's own frame. Record writers
// on the host's threads and PrepareProgram hold recordsMutex; the audio thread never takes it in real time.
#pragma once

#include "core/TParameterRamps.h"
#include "core/TProgramBank.h"
#include "core/TProgramSwitch.h"
#include "engine/SampleRateRange.h"
#include "host/AudioEffectX.h"
#include "platform/IUserPrompt.h"

#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

class TMidiAssignmentWriter;
class TMidiHandler;
class TMidiLearnFileManager;

namespace platform {
class ISettingsStore;
}

class TVSTMidiPlugin : public AudioEffectX {
public:
    static constexpr int kProgramCount = 128;
    static constexpr int kParameterCount = 124;
    static constexpr int kBankSize = 64;      // programs per bank
    static constexpr int kMaxSubBlock = 16;   // frames
    static constexpr float kSilence = 1e-20f; // what "silent" buffers hold, so that nothing turns denormal
    static constexpr float kMinimumSampleRate = quillon::kMinimumSampleRate; // Hz
    static constexpr float kMaximumSampleRate = quillon::kMaximumSampleRate; // Hz

    // A sample rate the plug-in takes: kMinimumSampleRate … kMaximumSampleRate, the range every engine
    // object and effect takes. Others (too low for the effects' lines, zero, negative, not-a-number,
    // absurdly high values from a confused host) are refused and change nothing.
    static bool UsableSampleRate(float rate) { return quillon::UsableSampleRate(rate); }

    explicit TVSTMidiPlugin(vst2::audioMasterCallback audioMaster);
    ~TVSTMidiPlugin() override;

    // Host-facing operations ---------------------------------------------------------------------
    void setParameter(vst2::VstInt32 index, float value) override; // [any]
    float getParameter(vst2::VstInt32 index) override;             // [any]
    void setProgram(vst2::VstInt32 program) override;              // [gui]
    void setProgramName(const char* name) override;                // [gui]
    // Renames program `slot` (setProgramName for the current one); its bank counts as modified. [gui]
    void RenameProgram(int slot, const std::string& name);
    void getProgramName(char* name) override; // [gui]
    bool getProgramNameIndexed(vst2::VstInt32 category, vst2::VstInt32 index, char* text) override;
    void getParameterName(vst2::VstInt32 index, char* text) override;
    void getParameterLabel(vst2::VstInt32 index, char* text) override;
    void getParameterDisplay(vst2::VstInt32 index, char* text) override;
    // Host thread, while processing is stopped: re-rates and re-applies every parameter.
    void setSampleRate(float rate) override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, vst2::VstInt32 frames) override; // [audio]
    void process(float** inputs, float** outputs, vst2::VstInt32 frames) override;          // [audio]
    vst2::VstInt32 processEvents(vst2::VstEvents* events) override;                         // [audio]
    bool getInputProperties(vst2::VstInt32 index, vst2::VstPinProperties* properties) override;
    bool getOutputProperties(vst2::VstInt32 index, vst2::VstPinProperties* properties) override;
    vst2::VstPlugCategory getPlugCategory() override { return vst2::kPlugCategSynth; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst2::VstInt32 getVendorVersion() override { return 1100; }
    vst2::VstInt32 canDo(const char* text) override;

    // Operations the synthesizer refines --------------------------------------------------------
    // Publishes the engine target of a parameter's stored value and asks the audio thread to ramp. [any]
    virtual void StartParameterRamp(int index);
    // Advances every running ramp by a sub-block of `frames`; ParameterChanged runs for each. [audio]
    virtual void AdvanceParameterRamps(int frames);
    // Renders `frames` (≤ 16) frames into left/right[offset …]; overwrites. [audio]
    virtual void RenderSubBlock(float* left, float* right, int offset, int frames);
    // One host block: program switch, MIDI dispatch at event frames, ramps and sub-block rendering. [audio]
    virtual void ProcessBlock(int frames, float* left, float* right);
    // Pushes paramCurrent[index] into the engine. [audio]
    virtual void ParameterChanged(int index) { (void)index; }
    // True when a record of this format version can be loaded (versions up to 1.1).
    virtual bool CheckProgramVersion(float version) const { return version <= record::kFormatVersion; }
    // Pushes a program record into the engine at once: PrepareProgram then FinishProgram, on the caller's
    // thread (only while the audio thread stays out of the engine).
    virtual void ApplyProgram(int slot);
    // Heavy part of a program switch: reads the record and hands frames and points to the engine's
    // queues. Runs on the worker with recordsMutex held (or synchronously when offline). [worker]
    virtual void PrepareProgram(int slot) { (void)slot; }
    // Light part, between two blocks: the engine takes the prepared data over, every parameter of the
    // current program reaches the engine, the effects are cleared, the editor is refreshed. [audio]
    virtual void FinishProgram();
    vst2::VstInt32 getChunk(void** data, bool isPreset) override;                         // [gui]
    vst2::VstInt32 setChunk(void* data, vst2::VstInt32 byteSize, bool isPreset) override; // [gui]

    // Program and bank files [gui] -----------------------------------------------------------------
    // A command that may ask the user something finishes when the question is answered, which an editor
    // does later, at one of its idle calls. `done`, when given, is called once when the command has
    // finished, with whether it did its work; it is not called when the question is dropped unanswered
    // (the editor closed). The result returned is whether the command finished and did its work at once.
    using TCommandDone = std::function<void(bool done)>;
    // Loads a program file into the current slot; the engine takes it over at the next processing call.
    bool LoadProgramFile(const std::string& path, TCommandDone done = {});
    // Saves the current slot (version stamped 1.1).
    bool SaveProgramFile(const std::string& path, TCommandDone done = {});
    // Loads a bank file into bank 0 (slots 0..63) or 1 (64..127), offering to save a modified bank first.
    bool LoadBankFile(int bank, const std::string& path, TCommandDone done = {});
    bool SaveBankFile(int bank, const std::string& path, TCommandDone done = {});
    // Asks the user for a path, then saves the bank there.
    bool SaveBankFileAs(int bank, TCommandDone done = {});
    // A bank file that is gone (deleted by the editor) is no longer the file of either bank.
    void ForgetBankFile(const std::string& path);
    // Where messages and questions go (stderr with safe answers until an editor or test installs another).
    // Returns the prompt it replaces, so that an editor can put it back when it closes. [gui]
    std::shared_ptr<platform::IUserPrompt> SetUserPrompt(std::shared_ptr<platform::IUserPrompt> prompt);
    platform::IUserPrompt& UserPrompt() { return *prompt_; }
    // Keeps a message for the editor, which shows it through the prompt at its next idle call; it is also
    // written to stderr at once, so that a run without an editor leaves a trace. For messages that arise
    // where nobody may be asked: construction (hosts construct plug-ins while scanning, without a display)
    // and the MIDI assignment writer's thread. [any but audio]
    void DeferMessage(const std::string& text);
    // Shows the kept messages through the prompt, oldest first. [gui]
    void ShowDeferredMessages();

    // Settings and MIDI learn [gui] ----------------------------------------------------------------
    platform::ISettingsStore& Settings() { return *settings_; }
    // Reads the MIDI assignment file into the handler's table; learning ends and nothing stays armed. A
    // refused file leaves the table as it is; the refusal is shown through the prompt, or with `defer` kept
    // for the editor (construction).
    void LoadAssignments(bool defer = false);
    // The editor's MIDI reset: asks whether the custom assignments may go, deletes them on Yes and reads the
    // file again, so that the factory bindings (or none) return. Answered with Cancel, the table is read
    // again from the custom file — unless a learned change could not be written to it, which would be lost.
    // The reset happens when the question is answered (perhaps at a later idle call), not at all when it is
    // dropped unanswered.
    void ClearAssignments();
    // Writes the assignment file when learning has changed the table since the last write (the writer's
    // thread does it by itself within 250 ms). With `wait` false it gives up when that thread is writing.
    // False when a due write failed or was not made.
    bool FlushAssignments(bool wait = true);

    // Internal operations ------------------------------------------------------------------------
    // Every parameter of the current program jumps to its engine value at once. Runs on the caller's
    // thread: only while the audio thread stays out of the engine (construction, stopped processing, a
    // pending program switch).
    void RestartAllParameters();
    void MarkCurrentBankModified();
    std::span<std::uint8_t, record::kGlobalSettingsSize> GetGlobalSettings() { return programs_.GlobalSettings(); }

    // Held by whoever writes records on the host's threads and by the program-switch worker. [gui]
    std::mutex& RecordsMutex() { return recordsMutex_; }
    TProgramBank& Programs() { return programs_; }
    const TProgramBank& Programs() const { return programs_; }
    int CurrentProgram() const { return curProgram.load(std::memory_order_relaxed); }
    // Engine value a parameter is moving to. [any]
    float ParamTarget(int index) const;
    // Engine value a parameter has now. [audio]
    float ParamCurrent(int index) const;
    int RampLength() const { return ramps_.Length(); }
    bool BankModified(int bank) const;
    void SetBankModified(int bank, bool modified);
    bool ProgramNeedsApply() const { return switch_.NeedsApply(); }
    // Asks for the current program to reach the engine (at the next processing call). Record writers call
    // it after they have changed the current program's record. [any]
    void RequestProgramApply() {
        modelStale_.store(true, std::memory_order_release);
        switch_.Request();
    }
    // True while the engine's editable model (frames, points) may not show the current program's record:
    // editing operations then rebuild it from the record before they edit. Read and cleared with
    // recordsMutex held.
    bool ModelStale() const { return modelStale_.load(std::memory_order_acquire); }
    void ClearModelStale() { modelStale_.store(false, std::memory_order_release); }
    bool ProgramChangePending() const { return switch_.Pending(); }
    bool EditorOpen() const { return editorOpen_.load(std::memory_order_acquire); }
    void SetEditorOpen(bool open) { editorOpen_.store(open, std::memory_order_release); }
    TMidiHandler& MidiHandler() { return *midiHandler_; }
    // Raises the pending refresh level of the editor (1 values, 2 controls, 3 everything), which the
    // editor shell takes in its idle call. [any]
    void RequestRefresh(int level);
    int PendingRefreshLevel() const { return refreshLevel_.load(std::memory_order_relaxed); } // [any]
    // The pending level, now 0 again; requests that arrive after this wait for the next call. [gui]
    int TakeRefreshLevel() { return refreshLevel_.exchange(0, std::memory_order_acquire); }
    int CopySource() const { return copySource_.load(std::memory_order_relaxed); }
    void SetCopySource(int slot) { copySource_.store(slot, std::memory_order_relaxed); }
    const std::string& BankFileName(int bank) const { return bankFileName_[bank & 1]; }

protected:
    // Ends the program-change worker (waiting for a switch in progress). Derived destructors call it
    // before they free what PrepareProgram uses.
    void StopWorker();
    // Replaces the MIDI handler (the synthesizer installs its own); the new one takes over the controller
    // assignments.
    void SetMidiHandler(std::unique_ptr<TMidiHandler> handler);

private:
    // Starts a switch to the current program (processing call). [audio]
    void StartProgramSwitch();

    std::atomic<int> copySource_{0};
    std::array<std::atomic<bool>, 2> bankModified_{};
    TProgramBank programs_;

    TParameterRamps ramps_;
    std::atomic<bool> modelStale_{true};
    std::unique_ptr<TMidiHandler> midiHandler_;
    std::mutex deferredMutex_;
    std::vector<std::string> deferredMessages_;
    std::unique_ptr<platform::ISettingsStore> settings_;
    std::unique_ptr<TMidiLearnFileManager> learnFile_;
    std::unique_ptr<TMidiAssignmentWriter> learnWriter_; // uses everything above; goes before it
    std::atomic<bool> editorOpen_{false};
    std::atomic<int> refreshLevel_{0};
    std::string bankFileName_[2];
    std::shared_ptr<platform::IUserPrompt> prompt_;

    std::mutex recordsMutex_;
    std::vector<std::uint8_t> chunk_; // the block getChunk hands out; valid until the next getChunk
    // Last: its worker calls PrepareProgram with recordsMutex held.
    TProgramSwitch switch_;

    // Render target of the accumulating process call, sized once.
    static constexpr int kAccumulateChunk = 1024;
    std::vector<float> accumulateLeft_, accumulateRight_;
};

} // namespace quillon
