// The host's side of the tests that embed an editor in an X server (Xvfb): a connection of its own, a
// top-level parent window placed away from the screen's corner, reading a window back, and input injected
// with XTest in the parent's coordinates.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace quillon::test {

// The host's window sits away from the screen's corner, so that window and root coordinates differ.
constexpr int kParentX = 100;
constexpr int kParentY = 50;

template <typename T> struct XcbFree {
    void operator()(T* memory) const { std::free(memory); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, XcbFree<T>>;

// The host's side: a connection of its own and a top-level window the editor's window goes into.
class XHost {
public:
    XHost() : connection_(xcb_connect(nullptr, nullptr)) {
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        const XcbPtr<xcb_get_keyboard_mapping_reply_t> keyboard(xcb_get_keyboard_mapping_reply(
            connection_,
            xcb_get_keyboard_mapping(connection_, xcb_get_setup(connection_)->min_keycode,
                                     xcb_get_setup(connection_)->max_keycode - xcb_get_setup(connection_)->min_keycode +
                                         1),
            nullptr));
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
        keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));
        keysymsPerKeycode_ = keyboard->keysyms_per_keycode;
    }
    ~XHost() { xcb_disconnect(connection_); }

    xcb_connection_t* Connection() const { return connection_; }

    xcb_window_t MakeParent(int width, int height) {
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t background = screen_->black_pixel;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, kParentX, kParentY,
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL, &background);
        xcb_map_window(connection_, window);
        Sync();
        return window;
    }

    // A round trip: everything sent before is done when it returns.
    void Sync() const { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

    std::vector<std::uint32_t> ReadBack(xcb_window_t window, int width, int height) const {
        const XcbPtr<xcb_get_image_reply_t> image(xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), ~0U),
            nullptr));
        if (!image) return {};
        const auto* words = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
        std::vector<std::uint32_t> pixels(words, words + static_cast<std::size_t>(width) * height);
        for (std::uint32_t& pixel : pixels)
            pixel &= 0xffffff;
        return pixels;
    }

    xcb_keycode_t KeycodeFor(xcb_keysym_t sym) const {
        for (std::size_t i = 0; i < keysyms_.size(); ++i) {
            if (keysyms_[i] == sym)
                return static_cast<xcb_keycode_t>(xcb_get_setup(connection_)->min_keycode + i / keysymsPerKeycode_);
        }
        return 0;
    }

    void MoveTo(int x, int y) const {
        xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen_->root,
                            static_cast<std::int16_t>(kParentX + x), static_cast<std::int16_t>(kParentY + y), 0);
    }
    void Button(bool press, int button) const {
        xcb_test_fake_input(connection_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                            static_cast<std::uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    void Key(bool press, xcb_keysym_t sym) const {
        xcb_test_fake_input(connection_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, KeycodeFor(sym), XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
    }
    void Type(xcb_keysym_t sym, xcb_keysym_t modifier = 0) const {
        if (modifier) Key(true, modifier);
        Key(true, sym);
        Key(false, sym);
        if (modifier) Key(false, modifier);
        xcb_flush(connection_);
    }

    xcb_atom_t Atom(const char* name) const {
        const XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply->atom;
    }

    void SendEmbedMessage(xcb_window_t window, std::uint32_t message) const {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom("_XEMBED");
        event.data.data32[1] = message;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

    xcb_screen_t* Screen() const { return screen_; }

private:
    xcb_connection_t* connection_;
    xcb_screen_t* screen_ = nullptr;
    std::vector<xcb_keysym_t> keysyms_;
    int keysymsPerKeycode_ = 1;
};

} // namespace quillon::test
