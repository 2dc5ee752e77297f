#pragma once

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

// A connection to the X server that is told of every window mapped on the screen, or nullptr
// after saying why (probe names the program). Checked, so the server listens for map events before
// the program under test starts.
inline xcb_connection_t* watchMaps(const char* probe, xcb_window_t* root)
{
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "%s: no X display\n", probe);
        return nullptr;
    }
    *root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    if (xcb_generic_error_t* error = xcb_request_check(
            x, xcb_change_window_attributes_checked(x, *root, XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        std::fprintf(stderr, "%s: cannot watch the root window\n", probe);
        return nullptr;
    }
    return x;
}
