#include "GuiWindow.h"

#include "hostkit/THostWindow.h"
#include "hostkit/TPluginHost.h"
#include "hostkit/TProgramFileChunk.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace quillon {

namespace {

constexpr auto kIdlePeriod = std::chrono::milliseconds(33); // about 30 idle calls a second, as hosts make

std::optional<std::string> LoadSounds(TPluginHost& host, const TGuiSession& session) {
    if (session.programPath.empty() && session.bankPath.empty()) return std::nullopt;
    TProgramFileChunk file;
    if (!session.programPath.empty() && !file.LoadProgramFile(session.programPath)) return file.Error();
    if (!session.bankPath.empty() && !file.LoadWholeBankFile(session.bankPath)) return file.Error();
    return SendSounds(host, file, session.slot, session.bankPath.empty() ? session.programPath : session.bankPath);
}

} // namespace

std::optional<std::string> RunEditorWindow(const TGuiSession& session) {
    TPluginHost host;
    if (!host.Load(session.pluginPath)) return host.Error();
    if ((host.Effect()->flags & vst2::effFlagsHasEditor) == 0) return "the plug-in has no editor";
    host.Open();
    host.SetSampleRate(44100.0f);
    host.SetBlockSize(512);
    if (auto error = LoadSounds(host, session)) return error;

    // The scale message of hosts that zoom their plug-ins: effVendorSpecific 'PreS' with the factor in opt.
    constexpr vst2::VstInt32 kScaleMessage = 0x50726553;
    if (session.zoom > 0)
        host.Dispatch(vst2::effVendorSpecific, kScaleMessage, 0, nullptr, static_cast<float>(session.zoom));
    const TPluginHost::TEditorRect rect = host.EditorRect();
    if (!rect.rect) return "the plug-in reports no editor size";
    const int width = rect.rect->right - rect.rect->left;
    const int height = rect.rect->bottom - rect.rect->top;
    if (width <= 0 || height <= 0) return "the plug-in reports an empty editor";

    std::string error;
    auto window = THostWindow::Open(width, height, host.EffectName(), error);
    if (!window) return error;
    host.OnSizeWindow = [&window](int w, int h) {
        if (w <= 0 || h <= 0) return false;
        window->Resize(w, h);
        return true;
    };
    // VST 2 hands the parent window to effEditOpen as a pointer: the X11 window id, or the HWND.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    host.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->Id())));
    auto next = std::chrono::steady_clock::now();
    while (!window->Closed()) {
        host.Dispatch(vst2::effEditIdle);
        next += kIdlePeriod;
        std::this_thread::sleep_until(next);
    }
    host.Dispatch(vst2::effEditClose);
    host.OnSizeWindow = nullptr;
    window.reset();
    host.Unload();
    return std::nullopt;
}

} // namespace quillon
