#include "GuiCommand.h"

#include "GuiWindow.h"
#include "PngEncoder.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUI.h"
#include "platform/SafeFileWriter.h"
#include "toolkit/TPixelBuffer.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

namespace {

using namespace cli;

constexpr TOptionSpec kGuiOptions[] = {{"--screenshot", nullptr, "OUT.png", false},
                                       {"--page", nullptr, "N", false},
                                       {"--plugin", nullptr, "PATH", false},
                                       {"--program", nullptr, "P.bpa", false},
                                       {"--bank", nullptr, "B.bpb", false},
                                       {"--slot", nullptr, "N", false},
                                       {"--zoom", nullptr, "1|2", false}};

constexpr const char* kGuiHelp =
    "usage: quillon gui [--plugin PATH] [--program P.bpa | --bank B.bpb [--slot N]] [--zoom 1|2]\n"
    "       quillon gui --screenshot OUT.png [--page N] [--bank B.bpb [--slot N]] [--zoom 1|2]\n"
    "\n"
    "Opens a VST 2 plug-in's editor in a window of its own, as a host does (a parent window, effEditOpen,\n"
    "idle calls at 30 Hz), until the window is closed. The plug-in is " QUILLON_PLUGIN_FILE
    " next to this program unless\n"
    "--plugin names another; --program loads a program file, --bank the 64 sounds of a bank file (--slot\n"
    "picks the one shown).\n"
    "\n"
    "With --screenshot no display is needed: the synthesizer is created with its default bank (or the bank\n"
    "file given, showing its program --slot), the editor is built without a window, every control is\n"
    "refreshed and the picture is written as a PNG file. --page\n"
    "brings page N to the front (0 oscillator, 1 amplifier and filter, 2 LFOs, 3 MIDI and voices, 4 effects,\n"
    "5 presets); without it the editor shows the page it opens on.\n"
    "\n"
    "--zoom 2 shows the editor at 200 % (1600 x 1112, drawn from the skin of scale 2); in a window it is\n"
    "the host's scale message, so it works with any plug-in that takes one. Without it the window follows\n"
    "the plug-in's own choice and the screenshot is at 100 %.\n";

constexpr vst2::VstInt32 kHostVersion = 2400;

// The host of the in-process plug-in: it reports a VST version and answers nothing else.
vst2::VstIntPtr QuietHost(vst2::AEffect* /*effect*/, vst2::VstInt32 opcode, vst2::VstInt32 /*index*/,
                          vst2::VstIntPtr /*value*/, void* /*ptr*/, float /*opt*/) {
    return opcode == vst2::audioMasterVersion ? kHostVersion : 0;
}

// Runs the plug-in's audio processing until a program switch has been applied, as a host's audio thread
// would: the switch loads the record on its worker and finishes in a later processing call.
bool FinishProgramSwitch(TCustomVSTMidiPlugin& plugin) {
    constexpr int kFrames = 64;
    std::vector<float> left(kFrames), right(kFrames);
    float* outputs[2] = {left.data(), right.data()};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (plugin.ProgramChangePending() || plugin.ProgramNeedsApply()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        plugin.processReplacing(nullptr, outputs, kFrames);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Writes the picture crash-safe: a temporary file renamed into place.
Status WritePng(const TPixelBuffer& buffer, const std::string& path) {
    const std::vector<std::uint8_t> bytes = EncodePng(buffer);
    return SafeFileWriter::Write(path, {std::span<const std::uint8_t>(bytes)});
}

} // namespace

int RunGui(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kGuiOptions, parsed)) return Fail("gui: " + *error);
    if (parsed.help) {
        std::printf("%s", kGuiHelp);
        return 0;
    }
    int zoom = 0;
    if (parsed.Has("--zoom")) {
        const auto value = IntegerArgument(parsed.Value("--zoom"));
        if (!value || (*value != 1 && *value != 2)) return Fail("gui: --zoom takes 1 or 2");
        zoom = static_cast<int>(*value);
    }
    if (parsed.Has("--slot") && !parsed.Has("--bank")) return Fail("gui: --slot needs --bank");
    int slot = 0;
    if (parsed.Has("--slot")) {
        const auto value = IntegerArgument(parsed.Value("--slot"));
        if (!value || *value < 0 || *value > 63) return Fail("gui: --slot takes 0 to 63");
        slot = static_cast<int>(*value);
    }
    if (!parsed.Has("--screenshot")) {
        if (parsed.Has("--page")) return Fail("gui: --page needs --screenshot");
        if (parsed.Has("--program") && parsed.Has("--bank"))
            return Fail("gui: --program and --bank exclude each other");
        TGuiSession session;
        session.pluginPath = PluginPath(parsed);
        session.programPath = parsed.Value("--program");
        session.bankPath = parsed.Value("--bank");
        session.zoom = zoom;
        if (parsed.Has("--slot")) session.slot = slot;
        if (auto error = RunEditorWindow(session)) return Fail("gui: " + *error);
        return 0;
    }
    std::optional<long long> page;
    if (parsed.Has("--page")) {
        page = IntegerArgument(parsed.Value("--page"));
        if (!page || *page < 0 || *page > TPluginGUI::kPresetsPage) return Fail("gui: --page takes 0 to 5");
    }
    try {
        auto plugin = std::make_unique<TCustomVSTMidiPlugin>(QuietHost);
        if (parsed.Has("--bank")) {
            const std::string bank = parsed.Value("--bank");
            if (!plugin->LoadBankFile(0, bank)) return Fail("gui: could not load the bank '" + bank + "'");
            plugin->setProgram(slot);
            if (!FinishProgramSwitch(*plugin)) return Fail("gui: the program switch did not finish");
        }
        TPluginGUI form(*plugin, zoom == 2 ? 2 : 1);
        // As the editor shell opens the editor: the settings that are not parameters, then a full refresh.
        form.initNonAutomatedControls();
        form.ReadLatestValues();
        form.updateAll();
        if (page) form.SelectPage(static_cast<int>(*page));
        TPixelBuffer buffer(TPluginGUI::kWidth * form.Scale(), TPluginGUI::kHeight * form.Scale());
        form.Paint(buffer, true);
        const std::string out = parsed.Value("--screenshot");
        if (const Status status = WritePng(buffer, out); !status.Ok()) return Fail("gui: " + status.message);
        std::printf("wrote %s (%dx%d, page %d)\n", out.c_str(), buffer.Width(), buffer.Height(), form.Page());
    } catch (const std::exception& error) {
        return Fail(std::string("gui: ") + error.what());
    }
    return 0;
}

} // namespace quillon
