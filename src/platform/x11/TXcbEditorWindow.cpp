#include "platform/x11/TXcbEditorWindow.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace quillon::platform {
namespace {

constexpr std::uint32_t kXembedVersion = 0;
constexpr std::uint32_t kXembedMapped = 1;
constexpr std::uint32_t kXembedWindowActivate = 1;
constexpr std::uint32_t kXembedWindowDeactivate = 2;
constexpr std::uint32_t kXembedFocusIn = 4;
constexpr std::uint32_t kXembedFocusOut = 5;

// Glyphs of the core cursor font; the mask of each is the next glyph.
constexpr std::uint16_t kLeftPtrGlyph = 68;
constexpr std::uint16_t kHand2Glyph = 60;

constexpr int kMaxSide = 16384;
constexpr std::uint8_t kDepth = 24;
constexpr int kBytesPerPixel = 4;
// PutImage's fixed part (24 bytes) and the extra length word of a BIG-REQUESTS request, rounded up.
constexpr std::size_t kPutImageOverhead = 32;
constexpr auto kTeardownWait = std::chrono::milliseconds(100);

constexpr std::uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                     XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                     XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                     XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

// Keysyms (X11/keysymdef.h).
constexpr std::uint32_t kNumLockSym = 0xff7f;
constexpr std::uint32_t kModeSwitchSym = 0xff7e;
constexpr std::uint32_t kLevel3ShiftSym = 0xfe03;
constexpr std::uint32_t kUnicodeSymBase = 0x01000000;

struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); } // xcb's replies and events come from malloc
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

const xcb_visualtype_t* FindTrueColor24(const xcb_screen_t& screen) {
    for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem; xcb_depth_next(&depths)) {
        if (depths.data->depth != kDepth) continue;
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
            const xcb_visualtype_t& visual = *visuals.data;
            if (visual._class == XCB_VISUAL_CLASS_TRUE_COLOR && visual.red_mask == 0xff0000 &&
                visual.green_mask == 0xff00 && visual.blue_mask == 0xff)
                return visuals.data;
        }
    }
    return nullptr;
}

bool HasZPixmap32(const xcb_setup_t& setup) {
    for (auto formats = xcb_setup_pixmap_formats_iterator(&setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == kDepth) return formats.data->bits_per_pixel == 32;
    }
    return false;
}

const xcb_screen_t* ScreenWithRoot(const xcb_setup_t& setup, xcb_window_t root) {
    for (auto screens = xcb_setup_roots_iterator(&setup); screens.rem; xcb_screen_next(&screens)) {
        if (screens.data->root == root) return screens.data;
    }
    return nullptr;
}

// A server on this machine, reached through a local socket: the only kind that can map our memory.
bool IsLocal(xcb_connection_t* connection) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = xcb_get_file_descriptor(connection);
    return getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 && address.ss_family == AF_UNIX;
}

xcb_atom_t InternAtomReply(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie) {
    const XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_intern_atom_cookie_t InternAtom(xcb_connection_t* connection, std::string_view name) {
    return xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
}

bool IsLatin1Lower(std::uint32_t sym) {
    return (sym >= 'a' && sym <= 'z') || (sym >= 0xe0 && sym <= 0xfe && sym != 0xf7);
}
bool IsLatin1Upper(std::uint32_t sym) {
    return (sym >= 'A' && sym <= 'Z') || (sym >= 0xc0 && sym <= 0xde && sym != 0xd7);
}
bool IsKeypad(std::uint32_t sym) {
    return sym >= 0xff80 && sym <= 0xffbd;
}

struct NamedKeysym {
    std::uint32_t sym;
    NamedKey key;
};
// The keypad's keys (KP_...) act like the main ones.
constexpr NamedKeysym kNamedKeysyms[] = {
    {0xff08, NamedKey::kBackspace}, // BackSpace
    {0xff09, NamedKey::kTab},       // Tab
    {0xfe20, NamedKey::kTab},       // ISO_Left_Tab (Shift+Tab)
    {0xff89, NamedKey::kTab},       // KP_Tab
    {0xff0d, NamedKey::kEnter},     // Return
    {0xff8d, NamedKey::kEnter},     // KP_Enter
    {0xff1b, NamedKey::kEscape},    // Escape
    {0xff51, NamedKey::kLeft},      // Left
    {0xff96, NamedKey::kLeft},      // KP_Left
    {0xff53, NamedKey::kRight},     // Right
    {0xff98, NamedKey::kRight},     // KP_Right
    {0xff52, NamedKey::kUp},        // Up
    {0xff97, NamedKey::kUp},        // KP_Up
    {0xff54, NamedKey::kDown},      // Down
    {0xff99, NamedKey::kDown},      // KP_Down
    {0xff50, NamedKey::kHome},      // Home
    {0xff95, NamedKey::kHome},      // KP_Home
    {0xff57, NamedKey::kEnd},       // End
    {0xff9c, NamedKey::kEnd},       // KP_End
    {0xffff, NamedKey::kDelete},    // Delete
    {0xff9f, NamedKey::kDelete},    // KP_Delete
};

NamedKey NamedKeyFor(std::uint32_t sym) {
    for (const NamedKeysym& named : kNamedKeysyms) {
        if (named.sym == sym) return named.key;
    }
    return NamedKey::kNone;
}

std::uint8_t CharacterFor(std::uint32_t sym) {
    if (sym >= kUnicodeSymBase && sym - kUnicodeSymBase <= 0xff) sym -= kUnicodeSymBase;
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff)) return static_cast<std::uint8_t>(sym);
    if (sym >= 0xffb0 && sym <= 0xffb9) // KP_0 .. KP_9
        return static_cast<std::uint8_t>('0' + (sym - 0xffb0));
    switch (sym) {
    case 0xff80:
        return ' ';
    case 0xffaa:
        return '*';
    case 0xffab:
        return '+';
    case 0xffac:
        return ',';
    case 0xffad:
        return '-';
    case 0xffae:
        return '.';
    case 0xffaf:
        return '/';
    case 0xffbd:
        return '=';
    default:
        return 0;
    }
}

void CopyRow(std::uint8_t* target, const std::uint32_t* source, int count, bool swap) {
    if (!swap) {
        std::memcpy(target, source, static_cast<std::size_t>(count) * kBytesPerPixel);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = source[i];
        const std::uint32_t word = (p >> 24) | ((p >> 8) & 0xff00) | ((p << 8) & 0xff0000) | (p << 24);
        std::memcpy(target + static_cast<std::ptrdiff_t>(i) * kBytesPerPixel, &word, kBytesPerPixel);
    }
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    return {left, top, std::max(a.x + a.width, b.x + b.width) - left, std::max(a.y + a.height, b.y + b.height) - top};
}

int ClampSide(int side) {
    return std::clamp(side, 1, kMaxSide);
}

WindowEvent PointerEvent(WindowEventType type, int x, int y, std::uint16_t state) {
    WindowEvent event;
    event.type = type;
    event.x = x;
    event.y = y;
    event.shift = (state & XCB_MOD_MASK_SHIFT) != 0;
    event.control = (state & XCB_MOD_MASK_CONTROL) != 0;
    return event;
}

} // namespace

std::unique_ptr<TXcbEditorWindow> TXcbEditorWindow::Open(NativeWindow parent, int width, int height,
                                                         const XcbWindowOptions& options, EditorWindowError* error) {
    std::unique_ptr<TXcbEditorWindow> window(new TXcbEditorWindow());
    const EditorWindowError result = window->Create(parent, width, height, options);
    if (error) *error = result;
    if (result != EditorWindowError::kNone) return nullptr;
    return window;
}

TXcbEditorWindow::~TXcbEditorWindow() {
    Close();
}

EditorWindowError TXcbEditorWindow::Create(NativeWindow parent, int width, int height,
                                           const XcbWindowOptions& options) {
    if (parent == 0 || parent > 0xffffffffU) return EditorWindowError::kParentMissing;
    parent_ = static_cast<std::uint32_t>(parent);
    width_ = ClampSide(width);
    height_ = ClampSide(height);

    connection_ = xcb_connect(nullptr, nullptr);
    xcb_connection_t* const c = connection_;
    if (xcb_connection_has_error(c)) return EditorWindowError::kNoDisplay;

    // Every question goes out before the first answer is read: the open costs about one round trip.
    const bool shmWanted = options.sharedMemory && IsLocal(c);
    if (shmWanted) xcb_prefetch_extension_data(c, &xcb_shm_id);
    xcb_prefetch_maximum_request_length(c);
    const xcb_setup_t& setup = *xcb_get_setup(c);
    const auto geometryCookie = xcb_get_geometry(c, parent_);
    const auto attributesCookie = xcb_get_window_attributes(c, parent_);
    const auto xembedCookie = InternAtom(c, "_XEMBED");
    const auto xembedInfoCookie = InternAtom(c, "_XEMBED_INFO");
    const auto keyboardCookie = xcb_get_keyboard_mapping(
        c, setup.min_keycode, static_cast<std::uint8_t>(setup.max_keycode - setup.min_keycode + 1));
    const auto modifierCookie = xcb_get_modifier_mapping(c);
    const xcb_query_extension_reply_t* shm = shmWanted ? xcb_get_extension_data(c, &xcb_shm_id) : nullptr;
    xcb_shm_query_version_cookie_t shmVersionCookie{};
    if (shm && shm->present) shmVersionCookie = xcb_shm_query_version(c);

    xcb_generic_error_t* geometryError = nullptr;
    const XcbPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, &geometryError));
    std::free(geometryError);
    const XcbPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    xembedAtom_ = InternAtomReply(c, xembedCookie);
    const xcb_atom_t xembedInfoAtom = InternAtomReply(c, xembedInfoCookie);
    const XcbPtr<xcb_get_keyboard_mapping_reply_t> keyboard(xcb_get_keyboard_mapping_reply(c, keyboardCookie, nullptr));
    const XcbPtr<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(c, modifierCookie, nullptr));
    if (shm && shm->present) {
        const XcbPtr<xcb_shm_query_version_reply_t> version(xcb_shm_query_version_reply(c, shmVersionCookie, nullptr));
        // Version 1.2 takes a file descriptor for the segment (AttachFd).
        sharedMemory_ =
            version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
        shmMajorOpcode_ = shm->major_opcode;
        shmFirstEvent_ = shm->first_event;
    }
    if (xcb_connection_has_error(c)) return EditorWindowError::kNoDisplay;
    if (!geometry || !attributes) return EditorWindowError::kParentMissing;

    const xcb_screen_t* screen = ScreenWithRoot(setup, geometry->root);
    const xcb_visualtype_t* visual = screen ? FindTrueColor24(*screen) : nullptr;
    if (!visual || !HasZPixmap32(setup)) return EditorWindowError::kUnsupportedDisplay;
    swapBytes_ = (setup.image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST) != (std::endian::native == std::endian::big);
    maxPutBytes_ = std::max<std::size_t>(
        kBytesPerPixel, static_cast<std::size_t>(xcb_get_maximum_request_length(c)) * 4 - kPutImageOverhead);

    if (keyboard) {
        minKeycode_ = setup.min_keycode;
        keysymsPerKeycode_ = keyboard->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
        keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));
    }
    if (modifiers && keysymsPerKeycode_ > 0) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int perModifier = modifiers->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code < minKeycode_) continue; // 0: an unused slot
                const auto per = static_cast<std::size_t>(keysymsPerKeycode_);
                const std::size_t first = static_cast<std::size_t>(code - minKeycode_) * per;
                if (first + per > keysyms_.size()) continue;
                for (std::size_t column = 0; column < per; ++column) {
                    const std::uint32_t sym = keysyms_[first + column];
                    if (sym == kNumLockSym) numLockMask_ |= static_cast<std::uint16_t>(1U << modifier);
                    if (sym == kLevel3ShiftSym || sym == kModeSwitchSym)
                        level3Mask_ |= static_cast<std::uint16_t>(1U << modifier);
                }
            }
        }
    }

    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 6, "cursor");
    arrowCursor_ = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, arrowCursor_, font, font, kLeftPtrGlyph, kLeftPtrGlyph + 1, 0, 0, 0, 0xffff, 0xffff,
                            0xffff);
    handCursor_ = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, handCursor_, font, font, kHand2Glyph, kHand2Glyph + 1, 0, 0, 0, 0xffff, 0xffff, 0xffff);
    xcb_close_font(c, font);

    colormap_ = xcb_generate_id(c);
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap_, screen->root, visual->visual_id);
    window_ = xcb_generate_id(c);
    // In the order of the value-mask bits.
    const std::uint32_t windowValues[] = {XCB_BACK_PIXMAP_NONE, 0, kEventMask, colormap_, arrowCursor_};
    xcb_create_window(c, kDepth, window_, parent_, 0, 0, static_cast<std::uint16_t>(width_),
                      static_cast<std::uint16_t>(height_), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual->visual_id,
                      XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP | XCB_CW_CURSOR,
                      windowValues);
    // Our own selection on the parent (each client has its own): its DestroyNotify, MapNotify, UnmapNotify.
    const std::uint32_t parentMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, parent_, XCB_CW_EVENT_MASK, &parentMask);
    if (xembedInfoAtom != XCB_ATOM_NONE) {
        const std::uint32_t info[] = {kXembedVersion, kXembedMapped};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, xembedInfoAtom, xembedInfoAtom, 32, 2, info);
    }
    gc_ = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    if (sharedMemory_ && !OpenSharedSegment()) sharedMemory_ = false;
    xcb_map_window(c, window_);
    mapped_ = true;
    parentViewable_ = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    xcb_flush(c);
    return xcb_connection_has_error(c) ? EditorWindowError::kNoDisplay : EditorWindowError::kNone;
}

bool TXcbEditorWindow::Live() const {
    return !closed_ && !destroyed_ && connection_ && !xcb_connection_has_error(connection_);
}

void TXcbEditorWindow::PollEvents(std::vector<WindowEvent>& events) {
    if (closed_ || destroyReported_) return;
    const std::size_t firstNew = events.size();
    PixelRect exposed;
    while (!destroyed_) {
        if (xcb_connection_has_error(connection_)) {
            destroyed_ = true;
            break;
        }
        const XcbPtr<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
        if (!event) {
            destroyed_ = xcb_connection_has_error(connection_) != 0;
            break;
        }
        Handle(*event, events, firstNew, exposed);
    }
    if (destroyed_) {
        WindowEvent gone;
        gone.type = WindowEventType::kDestroyed;
        events.push_back(gone);
        destroyReported_ = true;
        return;
    }
    if (!exposed.Empty()) {
        WindowEvent expose;
        expose.type = WindowEventType::kExpose;
        expose.area = exposed;
        events.push_back(expose);
    }
}

void TXcbEditorWindow::Handle(const xcb_generic_event_t& event, std::vector<WindowEvent>& events, std::size_t firstNew,
                              PixelRect& exposed) {
    const std::uint8_t type = event.response_type & 0x7f; // the top bit marks a SendEvent
    switch (type) {
    case 0: {
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        ++counters_.serverErrors;
        if (sharedMemory_ && error.major_code == shmMajorOpcode_) {
            sharedMemory_ = false;
            FreeSharedSegment();
        }
        return;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
        const auto& button = reinterpret_cast<const xcb_button_press_event_t&>(event);
        const bool press = type == XCB_BUTTON_PRESS;
        WindowEvent out = PointerEvent(press ? WindowEventType::kMouseDown : WindowEventType::kMouseUp, button.event_x,
                                       button.event_y, button.state);
        switch (button.detail) {
        case 1:
            out.button = MouseButton::kLeft;
            break;
        case 2:
            out.button = MouseButton::kMiddle;
            break;
        case 3:
            out.button = MouseButton::kRight;
            break;
        case 4:
        case 5:
            if (!press) return;
            out.type = WindowEventType::kWheel;
            out.wheelSteps = button.detail == 4 ? 1 : -1;
            break;
        default:
            return; // sideways wheel and extra buttons
        }
        events.push_back(out);
        return;
    }
    case XCB_MOTION_NOTIFY: {
        const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        const WindowEvent out = PointerEvent(WindowEventType::kMouseMove, motion.event_x, motion.event_y, motion.state);
        if (events.size() > firstNew && events.back().type == WindowEventType::kMouseMove)
            events.back() = out;
        else
            events.push_back(out);
        return;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
        const std::uint32_t sym = KeysymFor(key.detail, key.state);
        WindowEvent out =
            PointerEvent(type == XCB_KEY_PRESS ? WindowEventType::kKeyDown : WindowEventType::kKeyUp, 0, 0, key.state);
        out.key = NamedKeyFor(sym);
        out.character = out.key == NamedKey::kNone ? CharacterFor(sym) : 0;
        if (out.key != NamedKey::kNone || out.character != 0) events.push_back(out);
        return;
    }
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
        const auto& focus = reinterpret_cast<const xcb_focus_in_event_t&>(event);
        // Pointer-focus notices and the ones a keyboard grab makes say nothing about where keys go.
        if (focus.event != window_ || focus.detail == XCB_NOTIFY_DETAIL_POINTER || focus.mode == XCB_NOTIFY_MODE_GRAB ||
            focus.mode == XCB_NOTIFY_MODE_UNGRAB)
            return;
        windowFocus_ = type == XCB_FOCUS_IN;
        UpdateFocus(events);
        return;
    }
    case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        exposed = Union(exposed, {expose.x, expose.y, expose.width, expose.height});
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (destroy.window == window_ || destroy.window == parent_) destroyed_ = true;
        return;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
        // Both start with the same fields: event, then window.
        const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        const bool shown = type == XCB_MAP_NOTIFY;
        if (map.window == window_)
            mapped_ = shown;
        else if (map.window == parent_)
            parentViewable_ = shown;
        return;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.type == xembedAtom_ && message.format == 32) HandleEmbedMessage(message.data.data32[1], events);
        return;
    }
    default:
        if (shmFirstEvent_ != 0 && type == shmFirstEvent_ + XCB_SHM_COMPLETION) {
            const auto& completion = reinterpret_cast<const xcb_shm_completion_event_t&>(event);
            if (completion.shmseg == segment_.id) segment_.busy = false;
        }
        return;
    }
}

// The embedder's word on focus (XEMBED): we have the keyboard while its top-level window is active and
// it gave us the focus.
void TXcbEditorWindow::HandleEmbedMessage(std::uint32_t message, std::vector<WindowEvent>& events) {
    switch (message) {
    case kXembedWindowActivate:
        embedActive_ = true;
        break;
    case kXembedWindowDeactivate:
        embedActive_ = false;
        break;
    case kXembedFocusIn:
        embedFocus_ = true;
        break;
    case kXembedFocusOut:
        embedFocus_ = false;
        break;
    default:
        return;
    }
    UpdateFocus(events);
}

void TXcbEditorWindow::UpdateFocus(std::vector<WindowEvent>& events) {
    const bool focused = windowFocus_ || (embedFocus_ && embedActive_);
    if (focused == focusReported_) return;
    focusReported_ = focused;
    WindowEvent out;
    out.type = focused ? WindowEventType::kFocusIn : WindowEventType::kFocusOut;
    events.push_back(out);
}

// The keysym of the first group, as the core protocol's rules pick it: the first two columns are the
// plain and shifted levels (a lone lower-case letter stands for both cases), columns 4 and 5 the third
// and fourth levels; Caps Lock shifts letters only; with Num Lock, the keypad's shifted level is its
// plain one.
std::uint32_t TXcbEditorWindow::KeysymFor(std::uint8_t keycode, std::uint16_t state) const {
    if (keysymsPerKeycode_ <= 0 || keycode < minKeycode_) return 0;
    const auto at = static_cast<std::size_t>(keycode - minKeycode_) * static_cast<std::size_t>(keysymsPerKeycode_);
    if (at + static_cast<std::size_t>(keysymsPerKeycode_) > keysyms_.size()) return 0;
    const auto column = [&](int index) { return index < keysymsPerKeycode_ ? keysyms_[at + index] : 0U; };
    const bool level3 = (state & level3Mask_) != 0 && column(4) != 0;
    std::uint32_t lower = level3 ? column(4) : column(0);
    std::uint32_t upper = level3 ? column(5) : column(1);
    if (upper == 0) {
        upper = lower;
        if (IsLatin1Lower(lower))
            upper = lower - 0x20;
        else if (IsLatin1Upper(lower))
            lower += 0x20;
    }
    bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
    if ((state & numLockMask_) != 0 && IsKeypad(upper)) return shift ? lower : upper;
    if ((state & XCB_MOD_MASK_LOCK) != 0 && IsLatin1Lower(lower) && IsLatin1Upper(upper)) shift = !shift;
    return shift ? upper : lower;
}

void TXcbEditorWindow::Present(const PixelView& buffer, std::span<const PixelRect> rects) {
    if (!Live() || buffer.pixels == nullptr) return;
    const PixelRect bounds{0, 0, std::min(buffer.width, width_), std::min(buffer.height, height_)};
    std::vector<PixelRect> clipped;
    clipped.reserve(rects.size());
    for (const PixelRect& rect : rects) {
        const PixelRect part = Intersect(rect, bounds);
        if (!part.Empty()) clipped.push_back(part);
    }
    if (clipped.empty()) return;
    if (segment_.memory && segment_.busy) ++counters_.sharedBusy;
    if (segment_.memory && !segment_.busy) {
        PresentShared(buffer, clipped);
    } else {
        for (const PixelRect& rect : clipped)
            PresentPlain(buffer, rect);
    }
    xcb_flush(connection_);
}

void TXcbEditorWindow::PresentShared(const PixelView& buffer, const std::vector<PixelRect>& rects) {
    auto* base = static_cast<std::uint8_t*>(segment_.memory);
    const auto rowBytes = static_cast<std::size_t>(width_) * kBytesPerPixel;
    for (const PixelRect& rect : rects) {
        for (int y = rect.y; y < rect.y + rect.height; ++y) {
            CopyRow(base + static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(rect.x) * kBytesPerPixel,
                    buffer.pixels + static_cast<std::ptrdiff_t>(y) * buffer.stride + rect.x, rect.width, swapBytes_);
        }
    }
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const PixelRect& r = rects[i];
        // Only the last one asks for a completion: the server handles them in order.
        const std::uint8_t sendEvent = i + 1 == rects.size() ? 1 : 0;
        xcb_shm_put_image(connection_, window_, gc_, static_cast<std::uint16_t>(width_),
                          static_cast<std::uint16_t>(height_), static_cast<std::uint16_t>(r.x),
                          static_cast<std::uint16_t>(r.y), static_cast<std::uint16_t>(r.width),
                          static_cast<std::uint16_t>(r.height), static_cast<std::int16_t>(r.x),
                          static_cast<std::int16_t>(r.y), kDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, sendEvent, segment_.id, 0);
        ++counters_.sharedPuts;
    }
    segment_.busy = true;
}

// Bands of whole rows (of columns, for a row longer than one request takes) below the request limit.
void TXcbEditorWindow::PresentPlain(const PixelView& buffer, const PixelRect& rect) {
    const int maxColumns = static_cast<int>(std::min<std::size_t>(maxPutBytes_ / kBytesPerPixel, kMaxSide));
    for (int x = rect.x; x < rect.x + rect.width; x += maxColumns) {
        const int columns = std::min(maxColumns, rect.x + rect.width - x);
        const auto rowBytes = static_cast<std::size_t>(columns) * kBytesPerPixel;
        const int maxRows = static_cast<int>(std::clamp<std::size_t>(maxPutBytes_ / rowBytes, 1, kMaxSide));
        for (int y = rect.y; y < rect.y + rect.height; y += maxRows) {
            const int rows = std::min(maxRows, rect.y + rect.height - y);
            band_.resize(rowBytes * static_cast<std::size_t>(rows));
            for (int row = 0; row < rows; ++row) {
                CopyRow(band_.data() + rowBytes * static_cast<std::size_t>(row),
                        buffer.pixels + static_cast<std::ptrdiff_t>(y + row) * buffer.stride + x, columns, swapBytes_);
            }
            xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(columns),
                          static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          0, kDepth, static_cast<std::uint32_t>(band_.size()), band_.data());
            ++counters_.plainPuts;
        }
    }
}

// A memfd segment the size of the window, handed to the server (which maps it itself) and closed here
// by xcb once sent. Unmapping our side later never disturbs a put the server has yet to read: the
// server reads through its own mapping, which lasts until the Detach that follows the put.
bool TXcbEditorWindow::OpenSharedSegment() {
    const std::size_t bytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * kBytesPerPixel;
    const int fd = memfd_create("quillon-editor", MFD_CLOEXEC);
    if (fd < 0) return false;
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return false;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    segment_.id = xcb_generate_id(connection_);
    segment_.memory = memory;
    segment_.bytes = bytes;
    segment_.busy = false;
    xcb_shm_attach_fd(connection_, segment_.id, fd, 1);
    return true;
}

void TXcbEditorWindow::FreeSharedSegment() {
    if (!segment_.memory) return;
    if (connection_ && !xcb_connection_has_error(connection_)) xcb_shm_detach(connection_, segment_.id);
    munmap(segment_.memory, segment_.bytes);
    segment_ = {};
}

// Waits, at most kTeardownWait, for the server to confirm the last shared put.
// A put to a window that is gone never completes; nothing reads the segment then.
void TXcbEditorWindow::WaitForSharedPut() {
    if (!segment_.busy || destroyed_) return;
    xcb_flush(connection_);
    const auto deadline = std::chrono::steady_clock::now() + kTeardownWait;
    while (segment_.busy && !xcb_connection_has_error(connection_)) {
        if (const XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
            if ((event->response_type & 0x7f) == shmFirstEvent_ + XCB_SHM_COMPLETION &&
                reinterpret_cast<const xcb_shm_completion_event_t&>(*event).shmseg == segment_.id)
                segment_.busy = false;
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()) + 1);
    }
}

void TXcbEditorWindow::SetCursor(WindowCursor cursor) {
    if (!Live() || cursor == cursor_) return;
    cursor_ = cursor;
    const std::uint32_t id = cursor == WindowCursor::kHand ? handCursor_ : arrowCursor_;
    xcb_change_window_attributes(connection_, window_, XCB_CW_CURSOR, &id);
    xcb_flush(connection_);
}

// Viewable as far as this connection knows without asking: our window mapped and the parent viewable at
// open and not unmapped since. Were an ancestor further up unmapped, the server answers BadMatch, which
// PollEvents() counts and drops.
void TXcbEditorWindow::TakeKeyboardFocus() {
    if (!Live() || !mapped_ || !parentViewable_) return;
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    tookFocus_ = true;
}

void TXcbEditorWindow::ReturnKeyboardFocus() {
    if (!Live() || (!tookFocus_ && !windowFocus_)) return;
    tookFocus_ = false;
    if (parentViewable_)
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, parent_, XCB_CURRENT_TIME);
    else
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void TXcbEditorWindow::Resize(int width, int height) {
    width = ClampSide(width);
    height = ClampSide(height);
    if (!Live() || (width == width_ && height == height_)) return;
    width_ = width;
    height_ = height;
    const std::uint32_t size[] = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    if (segment_.memory) {
        FreeSharedSegment();
        if (!OpenSharedSegment()) sharedMemory_ = false;
    }
    xcb_flush(connection_);
}

void TXcbEditorWindow::Close() {
    if (closed_) return;
    closed_ = true;
    if (!connection_) return;
    xcb_connection_t* const c = connection_;
    if (!xcb_connection_has_error(c)) {
        WaitForSharedPut();
        FreeSharedSegment();
        if (gc_) xcb_free_gc(c, gc_);
        if (window_ && !destroyed_) xcb_destroy_window(c, window_);
        if (colormap_) xcb_free_colormap(c, colormap_);
        if (arrowCursor_) xcb_free_cursor(c, arrowCursor_);
        if (handCursor_) xcb_free_cursor(c, handCursor_);
        xcb_flush(c);
        while (const XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        }
    }
    if (segment_.memory) munmap(segment_.memory, segment_.bytes);
    segment_ = {};
    xcb_disconnect(c);
    connection_ = nullptr;
}

double XftDpiFromResources(std::string_view resources) {
    constexpr std::string_view kBlanks = " \t\r";
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view name = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        name.remove_prefix(std::min(name.find_first_not_of(kBlanks), name.size()));
        name = name.substr(0, name.find_last_not_of(kBlanks) + 1);
        if (name != "Xft.dpi") continue;
        value.remove_prefix(std::min(value.find_first_not_of(kBlanks), value.size()));
        double dpi = 0;
        const auto [rest, status] = std::from_chars(value.data(), value.data() + value.size(), dpi);
        return status == std::errc() && dpi > 0 ? dpi : 0;
    }
    return 0;
}

int DisplayScaleForDpi(double dpi) {
    return dpi >= 144 ? 2 : 1;
}

bool EditorWindowsAvailable() {
    return true;
}

int PreferredDisplayScale() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    int scale = 1;
    if (!xcb_connection_has_error(c)) {
        auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        if (screens.rem) {
            // Up to 1 MiB of resources (the length is in 32-bit units).
            const auto cookie =
                xcb_get_property(c, 0, screens.data->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1U << 18);
            const XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
            if (reply && reply->format == 8) {
                const std::string_view text(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                            static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
                scale = DisplayScaleForDpi(XftDpiFromResources(text));
            }
        }
    }
    xcb_disconnect(c);
    return scale;
}

std::unique_ptr<IEditorWindow> CreateEditorWindow(NativeWindow parent, int width, int height,
                                                  EditorWindowError* error) {
    return TXcbEditorWindow::Open(parent, width, height, XcbWindowOptions{}, error);
}

} // namespace quillon::platform
