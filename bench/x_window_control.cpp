#include "x_window_control.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace kalder::bench {

struct XWindowControl::Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_window_t window = 0;
    xcb_atom_t wmState = 0;
    xcb_window_t cover = 0; // the covering window, while there is one
    std::uint16_t screenWidth = 0, screenHeight = 0;
    xcb_timestamp_t time = 1;
    ~Connection() {
        if (connection != nullptr)
            xcb_disconnect(connection);
    }
};

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, std::string_view name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return atom;
}

} // namespace

XWindowControl::XWindowControl(std::unique_ptr<Connection> connection)
    : m_x(std::move(connection)) {}

XWindowControl::~XWindowControl() {
    uncover();
}

std::unique_ptr<XWindowControl> XWindowControl::find(pid_t pid) {
    auto x = std::make_unique<Connection>();
    int screenNumber = 0;
    x->connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(x->connection))
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x->connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return nullptr;
    x->root = screens.data->root;
    x->screenWidth = screens.data->width_in_pixels;
    x->screenHeight = screens.data->height_in_pixels;
    x->wmState = internAtom(x->connection, "WM_STATE");
    const xcb_atom_t wmPid = internAtom(x->connection, "_NET_WM_PID");
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(x->connection, xcb_query_tree(x->connection, x->root), nullptr);
    if (tree == nullptr)
        return nullptr;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    long bestArea = 0;
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        const xcb_window_t w = children[i];
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            x->connection, xcb_get_property(x->connection, 0, w, wmPid, XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        const bool ours = property != nullptr && xcb_get_property_value_length(property) == 4 &&
                          *static_cast<const std::uint32_t*>(xcb_get_property_value(property)) ==
                              static_cast<std::uint32_t>(pid);
        std::free(property);
        if (!ours)
            continue;
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            x->connection, xcb_get_window_attributes(x->connection, w), nullptr);
        const bool viewable =
            attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(x->connection, xcb_get_geometry(x->connection, w), nullptr);
        const long area = geometry != nullptr ? long{geometry->width} * geometry->height : 0;
        std::free(geometry);
        if (viewable && area > bestArea) {
            bestArea = area;
            x->window = w;
        }
    }
    std::free(tree);
    if (x->window == 0)
        return nullptr;
    return std::unique_ptr<XWindowControl>(new XWindowControl(std::move(x)));
}

void XWindowControl::doubleClick(int px, int py) {
    // No window manager: the window's position is on the root window.
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
        m_x->connection, xcb_get_geometry(m_x->connection, m_x->window), nullptr);
    const int left = geometry != nullptr ? geometry->x : 0;
    const int top = geometry != nullptr ? geometry->y : 0;
    std::free(geometry);
    // Two presses 50 ms apart on the window's own clock: the toolkit takes them for a double
    // click. Synthetic events reach the window as the pointer's would.
    for (int click = 0; click < 2; ++click) {
        for (const std::uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
            xcb_button_press_event_t event;
            std::memset(&event, 0, sizeof event);
            event.response_type = type;
            event.detail = 1;
            event.time = m_x->time += 50;
            event.root = m_x->root;
            event.event = m_x->window;
            event.child = XCB_NONE;
            event.root_x = static_cast<std::int16_t>(left + px);
            event.root_y = static_cast<std::int16_t>(top + py);
            event.event_x = static_cast<std::int16_t>(px);
            event.event_y = static_cast<std::int16_t>(py);
            event.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
            event.same_screen = 1;
            xcb_send_event(m_x->connection, 0, m_x->window,
                           type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS
                                                    : XCB_EVENT_MASK_BUTTON_RELEASE,
                           reinterpret_cast<const char*>(&event));
        }
    }
    xcb_flush(m_x->connection);
}

void XWindowControl::minimize() {
    const std::uint32_t iconic[2] = {3, XCB_NONE}; // IconicState, no icon window
    xcb_change_property(m_x->connection, XCB_PROP_MODE_REPLACE, m_x->window, m_x->wmState,
                        m_x->wmState, 32, 2, iconic);
    xcb_unmap_window(m_x->connection, m_x->window);
    xcb_flush(m_x->connection);
}

void XWindowControl::restore() {
    const std::uint32_t normal[2] = {1, XCB_NONE}; // NormalState
    xcb_map_window(m_x->connection, m_x->window);
    xcb_change_property(m_x->connection, XCB_PROP_MODE_REPLACE, m_x->window, m_x->wmState,
                        m_x->wmState, 32, 2, normal);
    xcb_flush(m_x->connection);
}

void XWindowControl::cover() {
    if (m_x->cover != 0)
        return;
    m_x->cover = xcb_generate_id(m_x->connection);
    // Override-redirect: no window manager would place it elsewhere.
    const std::uint32_t values[] = {1};
    xcb_create_window(m_x->connection, XCB_COPY_FROM_PARENT, m_x->cover, m_x->root, 0, 0,
                      m_x->screenWidth, m_x->screenHeight, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(m_x->connection, m_x->cover);
    xcb_flush(m_x->connection);
}

void XWindowControl::uncover() {
    if (m_x->cover == 0)
        return;
    xcb_destroy_window(m_x->connection, m_x->cover);
    m_x->cover = 0;
    xcb_flush(m_x->connection);
}

std::vector<std::uint32_t> XWindowControl::grab(int x, int y, int width, int height) {
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        m_x->connection,
        xcb_get_image(m_x->connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_x->window,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    std::vector<std::uint32_t> pixels;
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // At depth 24 and 32 the server's Z pixmap has 32 bits a pixel and no row padding.
    if (image != nullptr && (image->depth == 24 || image->depth == 32) &&
        static_cast<std::size_t>(xcb_get_image_data_length(image)) == count * 4) {
        pixels.resize(count);
        std::memcpy(pixels.data(), xcb_get_image_data(image), count * 4);
    }
    std::free(image);
    return pixels;
}

} // namespace kalder::bench
