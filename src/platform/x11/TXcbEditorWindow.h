// The editor's window on X11, spoken to with libxcb over a connection of its own (never the host's
// display, never Xlib), so that nothing the host does with its connection gets in its way.
//
// - The window is a direct child of the host's window: a 24-bit TrueColor visual with a colormap of its
//   own, no background (the editor paints every exposed pixel), _XEMBED_INFO version 0 with XEMBED_MAPPED.
//   StructureNotify is selected on the parent too, so the parent's destruction is seen at once.
// - Present copies rectangles with MIT-SHM when the server is on this machine and offers version 1.2 (a
//   memfd segment the size of the window, passed to the server once; each present sends a small request
//   and asks for a completion event). While the server has not yet confirmed the previous shared present,
//   the segment must not be written, and the present goes out as plain PutImage requests instead: it never
//   waits and never drops a rectangle. Without MIT-SHM (a remote display) every present is plain PutImage,
//   cut into horizontal bands that each stay below the server's maximum request length (BIG-REQUESTS
//   counted), read once at open. One flush per present.
// - Keys are translated with the keyboard and modifier mappings read at open: Shift, Caps Lock, the
//   third level (AltGr) and Num Lock on the keypad, to Latin-1 characters and the named keys. Key events
//   that an embedder forwards with SendEvent count like real ones.
// - Focus: FocusIn/FocusOut of the window and the XEMBED messages FOCUS_IN, FOCUS_OUT, WINDOW_ACTIVATE and
//   WINDOW_DEACTIVATE. The window never grabs the keyboard.
// - Errors the server reports for requests on a window that went away in the meantime are counted and
//   otherwise ignored; an error on the shared segment turns MIT-SHM off for the rest of the window's life.
// [gui]
#pragma once

#include "platform/IEditorWindow.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quillon::platform {

struct XcbWindowOptions {
    bool sharedMemory = true; // false: plain PutImage even where MIT-SHM would work
};

// What the window sent, for the tests and for diagnostics.
struct XcbWindowCounters {
    std::uint64_t sharedPuts = 0;   // ShmPutImage requests
    std::uint64_t plainPuts = 0;    // PutImage requests (one per band)
    std::uint64_t sharedBusy = 0;   // presents sent plain because the segment was still being read
    std::uint64_t serverErrors = 0; // error replies the server sent
};

class TXcbEditorWindow final : public IEditorWindow {
public:
    static std::unique_ptr<TXcbEditorWindow> Open(NativeWindow parent, int width, int height,
                                                  const XcbWindowOptions& options, EditorWindowError* error);
    ~TXcbEditorWindow() override;
    TXcbEditorWindow(const TXcbEditorWindow&) = delete;
    TXcbEditorWindow& operator=(const TXcbEditorWindow&) = delete;

    void PollEvents(std::vector<WindowEvent>& events) override;
    void Present(const PixelView& buffer, std::span<const PixelRect> rects) override;
    void SetCursor(WindowCursor cursor) override;
    void TakeKeyboardFocus() override;
    void ReturnKeyboardFocus() override;
    void Resize(int width, int height) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void Close() override;

    std::uint32_t WindowId() const { return window_; }
    bool UsesSharedMemory() const { return segment_.memory != nullptr; }
    // The largest pixel payload of one PutImage request, in bytes.
    std::size_t MaxPutBytes() const { return maxPutBytes_; }
    const XcbWindowCounters& Counters() const { return counters_; }

private:
    struct SharedSegment {
        std::uint32_t id = 0;
        void* memory = nullptr;
        std::size_t bytes = 0;
        bool busy = false; // a ShmPutImage from it has not been confirmed yet
    };

    TXcbEditorWindow() = default;
    EditorWindowError Create(NativeWindow parent, int width, int height, const XcbWindowOptions& options);
    bool Live() const;
    void Handle(const xcb_generic_event_t& event, std::vector<WindowEvent>& events, std::size_t firstNew,
                PixelRect& exposed);
    void HandleEmbedMessage(std::uint32_t message, std::vector<WindowEvent>& events);
    void UpdateFocus(std::vector<WindowEvent>& events);
    std::uint32_t KeysymFor(std::uint8_t keycode, std::uint16_t state) const;
    bool OpenSharedSegment();
    void FreeSharedSegment();
    void PresentShared(const PixelView& buffer, const std::vector<PixelRect>& rects);
    void PresentPlain(const PixelView& buffer, const PixelRect& rect);
    void WaitForSharedPut();

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t parent_ = 0;
    std::uint32_t window_ = 0;
    std::uint32_t colormap_ = 0;
    std::uint32_t gc_ = 0;
    std::uint32_t arrowCursor_ = 0;
    std::uint32_t handCursor_ = 0;
    std::uint32_t xembedAtom_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool swapBytes_ = false; // the server wants images most significant byte first

    std::size_t maxPutBytes_ = 0;
    std::vector<std::uint8_t> band_;

    bool sharedMemory_ = false; // the server takes shared segments from us
    std::uint8_t shmMajorOpcode_ = 0;
    std::uint8_t shmFirstEvent_ = 0;
    SharedSegment segment_;

    std::uint8_t minKeycode_ = 0;
    int keysymsPerKeycode_ = 0;
    std::vector<std::uint32_t> keysyms_;
    std::uint16_t level3Mask_ = 0;
    std::uint16_t numLockMask_ = 0;

    bool mapped_ = false;
    bool parentViewable_ = false;
    bool windowFocus_ = false; // FocusIn/FocusOut on the window
    bool embedFocus_ = false;  // XEMBED_FOCUS_IN/OUT
    bool embedActive_ = true;  // XEMBED_WINDOW_ACTIVATE/DEACTIVATE; active until told otherwise
    bool focusReported_ = false;
    bool tookFocus_ = false; // TakeKeyboardFocus() asked for the keyboard and nothing gave it back yet
    WindowCursor cursor_ = WindowCursor::kArrow;

    bool destroyed_ = false; // the window, its parent or the connection is gone
    bool destroyReported_ = false;
    bool closed_ = false;
    XcbWindowCounters counters_;
};

// Xft.dpi from the text of the RESOURCE_MANAGER property; 0 when it is not there or not a number.
double XftDpiFromResources(std::string_view resources);
// 2 from 144 dots per inch, 1 below (and for 0, an unknown resolution).
int DisplayScaleForDpi(double dpi);

} // namespace quillon::platform
