// The editor as a host sees it: Quillon.so loaded through dlopen, its editor opened in a parent window on a
// private X server (Xvfb) and idled through the dispatcher; and the same steps on the form alone, headless,
// in this process. Targets:
//   - effEditOpen to the first complete frame (open + the first idle, which presents the whole form) <= 100 ms;
//   - one idle with nothing changed <= 50 us of CPU;
//   - a knob moved by host automation 100 times a second (setParameter + the next idle: refresh level 1,
//     repaint, present) <= 2 % of one core;
//   - the memory the open editor holds (heap bytes the open adds, plus the shared-memory segment of the
//     window) <= 25 MB.
// Times are the CPU time of the whole process (the plug-in's threads included, the X server not: its share
// is reported separately as server_us where it is measured). Without Xvfb the windowed cases are skipped.
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TEditorFrame.h"
#include "editor/TPluginGUI.h"
#include "host/vst2.h"
#include "hostkit/TPluginHost.h"
#include "platform/IFileDialogs.h"
#include "support/XTestHost.h"
#include "support/XvfbServer.h"
#include "toolkit/TBADIBKnob.h"
#include "toolkit/TFileDialog.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace quillon;

constexpr int kWidth = TPluginGUI::kWidth;
constexpr int kHeight = TPluginGUI::kHeight;
// The window's shared-memory segment: one 32-bit pixel per point of the form.
constexpr double kSegmentBytes = static_cast<double>(kWidth) * kHeight * 4.0;
constexpr double kMegabyte = 1e6;
// Host automation arrives this often (updates per second).
constexpr double kAutomationRate = 100.0;

vst2::VstIntPtr ScanHost(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// CPU seconds the process has used so far, all threads.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Bytes the process holds from malloc (arenas and mapped blocks, all threads).
double HeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
}

bool ShownOnScreen(const TDIBControl& control) {
    for (const TDIBControl* c = &control; c; c = c->Parent())
        if (!c->Visible()) return false;
    return true;
}

// A knob of a parameter on the page a fresh editor shows first; -1 when there is none.
int VisibleKnobParameter() {
    static const int index = [] {
        TCustomVSTMidiPlugin plugin(ScanHost);
        TPluginGUI form(plugin);
        form.initNonAutomatedControls();
        for (int i = 0; i < TPluginGUI::kParameters; ++i) {
            const TDIBControl* control = form.ParameterControl(i);
            if (dynamic_cast<const TBADIBKnob*>(control) && ShownOnScreen(*control)) return i;
        }
        return -1;
    }();
    return index;
}

// The private X server and the host's connection, started once for all windowed cases.
struct PrivateDisplay {
    std::unique_ptr<test::XvfbServer> server;
    std::unique_ptr<test::XHost> host;
    long serverPid = -1;
};

// CPU time (user + system, seconds) the process `pid` has used so far; 0 when it cannot be read.
double CpuSecondsOf(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0.0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int n = 3; n <= 15 && fields >> field; ++n)
        if (n >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The Xvfb this process started (a child named Xvfb); -1 when none is found.
long FindServerPid() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue; // not a process
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t open = text.find('(');
        const std::size_t close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (text.substr(open + 1, close - open - 1) != "Xvfb") continue;
        std::istringstream rest(text.substr(close + 2));
        std::string state;
        long parent = 0;
        rest >> state >> parent;
        if (parent == static_cast<long>(getpid())) return std::stol(text.substr(0, open));
    }
    return -1;
}

PrivateDisplay* SharedDisplay() {
    static const std::unique_ptr<PrivateDisplay> display = []() -> std::unique_ptr<PrivateDisplay> {
        if (test::XvfbServer::FindXvfb().empty()) return nullptr;
        auto made = std::make_unique<PrivateDisplay>();
        made->server = std::make_unique<test::XvfbServer>();
        if (!made->server->Running()) return nullptr;
        made->host = std::make_unique<test::XHost>();
        made->serverPid = FindServerPid();
        return made;
    }();
    return display.get();
}

// Quillon.so loaded and opened as a host does it, with a parent window of the host's for its editor.
class WindowedEditor {
public:
    explicit WindowedEditor(PrivateDisplay& display) : display_(display) {
        loaded_ = plugin_.Load(QUILLON_PLUGIN_PATH);
        if (!loaded_) return;
        plugin_.Open();
        parent_ = display_.host->MakeParent(kWidth, kHeight);
    }
    ~WindowedEditor() {
        if (loaded_) {
            Close();
            plugin_.Unload();
        }
        if (parent_ != 0) {
            xcb_destroy_window(display_.host->Connection(), parent_);
            display_.host->Sync();
        }
    }
    WindowedEditor(const WindowedEditor&) = delete;
    WindowedEditor& operator=(const WindowedEditor&) = delete;

    bool Loaded() const { return loaded_; }
    const std::string& Error() const { return plugin_.Error(); }
    TPluginHost& Plugin() { return plugin_; }

    void Open() {
        // The VST 2 interface hands the parent's X11 window id over as a pointer.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        plugin_.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent_}));
    }
    void Idle() { plugin_.Dispatch(vst2::effEditIdle); }
    void Close() { plugin_.Dispatch(vst2::effEditClose); }
    // Waits until the server has handled what this host sent; the editor's puts made before are handled by
    // then too, and their completions wait for the editor's next idle.
    void Sync() const { display_.host->Sync(); }

    // True when the parent shows more than its black background.
    bool ShowsTheForm() const {
        for (const std::uint32_t pixel : display_.host->ReadBack(parent_, kWidth, kHeight))
            if (pixel != 0) return true;
        return false;
    }

private:
    PrivateDisplay& display_;
    TPluginHost plugin_;
    bool loaded_ = false;
    xcb_window_t parent_ = 0;
};

// Skips the case (and returns null) when there is no X server to show the editor on.
std::unique_ptr<WindowedEditor> MakeWindowedEditor(benchmark::State& state) {
    PrivateDisplay* display = SharedDisplay();
    if (!display) {
        state.SkipWithError("Xvfb is not available: only the headless cases run");
        return nullptr;
    }
    auto editor = std::make_unique<WindowedEditor>(*display);
    if (!editor->Loaded()) {
        state.SkipWithError(("Quillon.so did not load: " + editor->Error()).c_str());
        return nullptr;
    }
    return editor;
}

// Server CPU per iteration, from the difference of two readings in seconds.
void SetServerCounter(benchmark::State& state, long serverPid, double before) {
    if (serverPid <= 0 || state.iterations() == 0) return;
    state.counters["server_us"] = (CpuSecondsOf(serverPid) - before) * 1e6 / static_cast<double>(state.iterations());
}

// CPU per automation update and the share of one core it takes at kAutomationRate updates per second.
void SetAutomationCounters(benchmark::State& state, double cpuSeconds) {
    if (state.iterations() == 0) return;
    const double perUpdate = cpuSeconds / static_cast<double>(state.iterations());
    state.counters["cpu_us_per_update"] = perUpdate * 1e6;
    state.counters["core_pct_at_100Hz"] = perUpdate * kAutomationRate * 100.0;
}

// 1. Open to the first complete frame ------------------------------------------------------------------

// effEditOpen and the first effEditIdle, which carries out the level-3 refresh and presents the whole form.
void BM_EditorOpenToFirstFrameWindowed(benchmark::State& state) {
    const std::unique_ptr<WindowedEditor> editor = MakeWindowedEditor(state);
    if (!editor) return;
    editor->Open();
    editor->Idle();
    editor->Sync();
    if (!editor->ShowsTheForm()) {
        state.SkipWithError("the first idle did not show the form");
        return;
    }
    editor->Close();
    editor->Sync();
    for (auto _ : state) {
        editor->Open();
        editor->Idle();
        state.PauseTiming();
        editor->Close();
        editor->Sync();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EditorOpenToFirstFrameWindowed)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The form alone: construction, the level-3 refresh of an opening editor and a full paint into a new buffer.
void BM_EditorOpenToFirstFrameHeadless(benchmark::State& state) {
    TCustomVSTMidiPlugin plugin(ScanHost);
    for (auto _ : state) {
        auto form = std::make_unique<TPluginGUI>(plugin);
        auto buffer = std::make_unique<TPixelBuffer>(kWidth, kHeight);
        form->initNonAutomatedControls();
        form->ReadLatestValues();
        form->updateAll();
        benchmark::DoNotOptimize(form->Paint(*buffer, true));
        state.PauseTiming();
        form.reset();
        buffer.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EditorOpenToFirstFrameHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// 2. An idle with nothing changed ----------------------------------------------------------------------

void BM_EditorIdleUnchangedWindowed(benchmark::State& state) {
    const std::unique_ptr<WindowedEditor> editor = MakeWindowedEditor(state);
    if (!editor) return;
    editor->Open();
    for (int i = 0; i < 10; ++i) { // the first frame out and its completion taken in
        editor->Idle();
        editor->Sync();
    }
    const double serverBefore = CpuSecondsOf(SharedDisplay()->serverPid);
    for (auto _ : state)
        editor->Idle();
    SetServerCounter(state, SharedDisplay()->serverPid, serverBefore);
}
BENCHMARK(BM_EditorIdleUnchangedWindowed)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// Refresh level 0: the repaint pass finds nothing dirty.
void BM_EditorIdleUnchangedHeadless(benchmark::State& state) {
    TCustomVSTMidiPlugin plugin(ScanHost);
    TPluginGUI form(plugin);
    TPixelBuffer buffer(kWidth, kHeight);
    form.initNonAutomatedControls();
    form.ReadLatestValues();
    form.updateAll();
    form.Paint(buffer, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(form.Paint(buffer));
}
BENCHMARK(BM_EditorIdleUnchangedHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// 3. A knob moved by host automation -------------------------------------------------------------------

// Per update: setParameter on the knob's parameter, then the next idle (refresh level 1, the knob and its
// value label repainted and presented). Between updates the server is given the time it has at 100
// updates a second to take the put, so each present finds the shared segment free again.
void BM_EditorAutomatedKnobWindowed(benchmark::State& state) {
    const int knob = VisibleKnobParameter();
    if (knob < 0) {
        state.SkipWithError("no knob on the first page");
        return;
    }
    const std::unique_ptr<WindowedEditor> editor = MakeWindowedEditor(state);
    if (!editor) return;
    editor->Open();
    for (int i = 0; i < 10; ++i) {
        editor->Idle();
        editor->Sync();
    }
    const long serverPid = SharedDisplay()->serverPid;
    const double serverBefore = CpuSecondsOf(serverPid);
    double cpu = 0.0;
    bool up = false;
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        up = !up;
        editor->Plugin().SetParameter(knob, up ? 0.75f : 0.25f);
        editor->Idle();
        cpu += ProcessCpuSeconds() - start;
        state.PauseTiming();
        editor->Sync();
        state.ResumeTiming();
    }
    SetAutomationCounters(state, cpu);
    SetServerCounter(state, serverPid, serverBefore);
    state.counters["parameter"] = knob;
}
BENCHMARK(BM_EditorAutomatedKnobWindowed)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The same on the form alone: setParameter, then what the shell's idle does for level 1 and the repaint.
void BM_EditorAutomatedKnobHeadless(benchmark::State& state) {
    const int knob = VisibleKnobParameter();
    if (knob < 0) {
        state.SkipWithError("no knob on the first page");
        return;
    }
    TCustomVSTMidiPlugin plugin(ScanHost);
    TPluginGUI form(plugin);
    TPixelBuffer buffer(kWidth, kHeight);
    form.initNonAutomatedControls();
    form.ReadLatestValues();
    form.updateAll();
    form.Paint(buffer, true);
    plugin.TakeRefreshLevel();
    double cpu = 0.0;
    double repainted = 0.0;
    bool up = false;
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        up = !up;
        plugin.setParameter(knob, up ? 0.75f : 0.25f);
        if (plugin.TakeRefreshLevel() > 0) {
            form.ReadLatestValues();
            form.updateStandardControls();
        }
        const TRect painted = form.Paint(buffer);
        cpu += ProcessCpuSeconds() - start;
        repainted += static_cast<double>(painted.Width()) * painted.Height();
    }
    SetAutomationCounters(state, cpu);
    // The pixels each update repaints: the knob and its value label; 0 would mean the knob never showed.
    if (state.iterations() > 0) state.counters["repainted_px"] = repainted / static_cast<double>(state.iterations());
    state.counters["parameter"] = knob;
}
BENCHMARK(BM_EditorAutomatedKnobHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// 4. Memory while open ---------------------------------------------------------------------------------

// The heap bytes opening the editor adds (open and a few idles, with a fresh plug-in each time, so caches
// a first open fills are counted), the largest of the iterations, plus the window's shared segment.
void BM_EditorMemoryOpenWindowed(benchmark::State& state) {
    if (!SharedDisplay()) {
        state.SkipWithError("Xvfb is not available: only the headless cases run");
        return;
    }
    double most = 0.0;
    std::unique_ptr<WindowedEditor> editor;
    for (auto _ : state) {
        state.PauseTiming();
        editor = MakeWindowedEditor(state);
        if (!editor) break;
        const double before = HeapBytes();
        state.ResumeTiming();
        editor->Open();
        for (int i = 0; i < 5; ++i) {
            editor->Idle();
            editor->Sync();
        }
        state.PauseTiming();
        most = std::max(most, HeapBytes() - before);
        editor.reset();
        state.ResumeTiming();
    }
    state.counters["heap_MB"] = most / kMegabyte;
    state.counters["shm_MB"] = kSegmentBytes / kMegabyte;
    state.counters["editor_MB"] = (most + kSegmentBytes) / kMegabyte;
}
BENCHMARK(BM_EditorMemoryOpenWindowed)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The form alone with its picture buffer; the segment a window would add is counted as above.
void BM_EditorMemoryOpenHeadless(benchmark::State& state) {
    double most = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto plugin = std::make_unique<TCustomVSTMidiPlugin>(ScanHost);
        const double before = HeapBytes();
        state.ResumeTiming();
        auto form = std::make_unique<TPluginGUI>(*plugin);
        auto buffer = std::make_unique<TPixelBuffer>(kWidth, kHeight);
        form->initNonAutomatedControls();
        form->ReadLatestValues();
        form->updateAll();
        form->Paint(*buffer, true);
        state.PauseTiming();
        most = std::max(most, HeapBytes() - before);
        form.reset();
        buffer.reset();
        plugin.reset();
        state.ResumeTiming();
    }
    state.counters["heap_MB"] = most / kMegabyte;
    state.counters["shm_MB"] = kSegmentBytes / kMegabyte;
    state.counters["editor_MB"] = (most + kSegmentBytes) / kMegabyte;
}
BENCHMARK(BM_EditorMemoryOpenHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// 5. A file dialog open ---------------------------------------------------------------------------------

// A folder of `files` program files and a few sub-folders under the temporary folder, removed at the end.
class BenchFolder {
public:
    explicit BenchFolder(int files) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;
        path_ = pattern;
        for (int i = 0; i < files; ++i)
            std::ofstream(path_ + "/Program " + std::to_string(i) + ".bpa") << "x";
        for (const char* folder : {"Basses", "Pads", "Strings"})
            std::filesystem::create_directory(path_ + "/" + folder);
    }
    ~BenchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

TFileDialogOptions ProgramDialog(const std::string& folder) {
    TFileDialogOptions options;
    options.title = platform::kOpenProgramDialog.title;
    options.filter = platform::kOpenProgramDialog.filter;
    options.defaultExtension = platform::kOpenProgramDialog.defaultExtension;
    options.folder = folder;
    return options;
}

// The editor's idle (PollInput: the clock moves on; the refresh; Present: the repaint) with a file dialog open
// on a folder of 200 files and nothing changing; headless, so the whole path but the window's own calls.
void BM_EditorIdleWithFileDialogHeadless(benchmark::State& state) {
    const BenchFolder folder(200);
    TCustomVSTMidiPlugin plugin(ScanHost);
    TEditorFrame frame(0, plugin);
    frame.initNonAutomatedControls();
    TFileDialog::Show(frame.Form().ModalLayer(), ProgramDialog(folder.Path()), [](const std::string&) {});
    for (int i = 0; i < 3; ++i) { // the first frame with the dialog out
        frame.PollInput();
        frame.Present();
    }
    for (auto _ : state) {
        frame.PollInput();
        if (plugin.TakeRefreshLevel() > 0) frame.updateAll();
        frame.Present();
    }
    state.counters["rows"] =
        static_cast<double>(dynamic_cast<const TFileDialog&>(*frame.Form().ModalLayer().Top()).Rows().size());
}
BENCHMARK(BM_EditorIdleWithFileDialogHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// Opening the dialog on a folder of 200 files: listing, filtering, sorting, and painting its first frame.
void BM_FileDialogOpen200FilesHeadless(benchmark::State& state) {
    const BenchFolder folder(200);
    TCustomVSTMidiPlugin plugin(ScanHost);
    TPluginGUI form(plugin);
    TPixelBuffer buffer(kWidth, kHeight);
    form.initNonAutomatedControls();
    form.Paint(buffer, true);
    for (auto _ : state) {
        TFileDialog::Show(form.ModalLayer(), ProgramDialog(folder.Path()), [](const std::string&) {});
        benchmark::DoNotOptimize(form.Paint(buffer));
        state.PauseTiming();
        form.ModalLayer().CloseAll();
        form.Paint(buffer);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FileDialogOpen200FilesHeadless)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace
