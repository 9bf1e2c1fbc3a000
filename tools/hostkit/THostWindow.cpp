#include "hostkit/THostWindow.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace quillon {

struct THostWindow::TConnection {
    xcb_connection_t* xcb = nullptr;
    ~TConnection() {
        if (xcb) xcb_disconnect(xcb);
    }
};

namespace {

xcb_atom_t Intern(xcb_connection_t* xcb, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        xcb, xcb_intern_atom(xcb, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

std::unique_ptr<THostWindow> THostWindow::Open(int width, int height, const std::string& title, std::string& error) {
    auto window = std::unique_ptr<THostWindow>(new THostWindow());
    window->connection_ = std::make_unique<TConnection>();
    int screenNumber = 0;
    xcb_connection_t* xcb = xcb_connect(nullptr, &screenNumber);
    window->connection_->xcb = xcb;
    if (xcb_connection_has_error(xcb)) {
        error = "cannot open the X display (is DISPLAY set?)";
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(xcb));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;

    const xcb_window_t id = xcb_generate_id(xcb);
    window->window_ = id;
    const std::uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(xcb, XCB_COPY_FROM_PARENT, id, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    const xcb_atom_t protocols = Intern(xcb, "WM_PROTOCOLS");
    window->deleteAtom_ = Intern(xcb, "WM_DELETE_WINDOW");
    xcb_change_property(xcb, XCB_PROP_MODE_REPLACE, id, protocols, XCB_ATOM_ATOM, 32, 1, &window->deleteAtom_);
    xcb_map_window(xcb, id);
    xcb_flush(xcb);
    return window;
}

THostWindow::~THostWindow() {
    if (connection_ && connection_->xcb && !xcb_connection_has_error(connection_->xcb) && !closed_) {
        xcb_destroy_window(connection_->xcb, static_cast<xcb_window_t>(window_));
        xcb_flush(connection_->xcb);
    }
}

void THostWindow::Resize(int width, int height) {
    const std::uint32_t size[] = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    xcb_configure_window(connection_->xcb, static_cast<xcb_window_t>(window_),
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    xcb_flush(connection_->xcb);
}

bool THostWindow::Closed() {
    xcb_connection_t* xcb = connection_->xcb;
    if (xcb_connection_has_error(xcb)) closed_ = true;
    while (!closed_) {
        xcb_generic_event_t* event = xcb_poll_for_event(xcb);
        if (!event) break;
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->data.data32[0] == deleteAtom_) closed_ = true;
        } else if (type == XCB_DESTROY_NOTIFY) {
            closed_ = true;
        }
        std::free(event);
    }
    return closed_;
}

} // namespace quillon
