// The functions of libxcb and libxcb-ewmh that finding the chat client's
// window and probing a display use, loaded with the first display opened: a
// bot started without a display never maps them.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <string>

#include "files/shared_library.h"

namespace zelvo {

#define ZELVO_XCB_FUNCTIONS(X)                                                   \
  X(xcb_connect)                                                                 \
  X(xcb_connection_has_error) X(xcb_disconnect) X(xcb_flush) X(xcb_get_property) \
      X(xcb_get_property_reply) X(xcb_get_property_value) X(xcb_get_property_value_length)

// The header's inline helpers (the *_reply forms of single properties, the
// connection's wipe) are written out with these.
#define ZELVO_XCB_EWMH_FUNCTIONS(X)                                                                \
  X(xcb_ewmh_init_atoms)                                                                           \
  X(xcb_ewmh_init_atoms_replies) X(xcb_ewmh_get_active_window) X(xcb_ewmh_get_window_reply)        \
      X(xcb_ewmh_get_client_list) X(xcb_ewmh_get_windows_reply) X(xcb_ewmh_get_windows_reply_wipe) \
          X(xcb_ewmh_get_wm_name) X(xcb_ewmh_get_utf8_strings_reply)                               \
              X(xcb_ewmh_get_utf8_strings_reply_wipe) X(xcb_ewmh_request_change_active_window)

struct XcbApi {
  ZELVO_XCB_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};

struct XcbEwmhApi {
  ZELVO_XCB_EWMH_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};

// The tables; null, with the reason in `error` (when given), when the
// library cannot be loaded.
const XcbApi* LoadXcb(std::string* error = nullptr);
const XcbEwmhApi* LoadXcbEwmh(std::string* error = nullptr);

}  // namespace zelvo
