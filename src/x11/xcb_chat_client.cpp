#include "x11/xcb_chat_client.h"

#include <cstdlib>

#include "x11/chat_client_window.h"
#include "x11/xcb_library.h"

namespace zelvo {

namespace {
// Titles are read into a buffer of 255 characters, as the gates always did.
constexpr std::uint32_t kTitleLongs = 64;
constexpr std::size_t kTitleBuffer = 254;

// Loaded by Connect; no window object exists before.
const XcbApi& Xcb() {
  return *LoadXcb();
}
const XcbEwmhApi& Ewmh() {
  return *LoadXcbEwmh();
}
}  // namespace

struct XcbChatClientWindow::State {
  xcb_ewmh_connection_t ewmh{};
  int screen = 0;
  bool atoms_ready = false;

  ~State() {
    if (atoms_ready) {
      std::free(ewmh.screens);
      std::free(ewmh._NET_WM_CM_Sn);
    }
    if (ewmh.connection) Xcb().xcb_disconnect(ewmh.connection);
  }
};

std::unique_ptr<XcbChatClientWindow> XcbChatClientWindow::Connect(const std::string& display_name) {
  if (!LoadXcb() || !LoadXcbEwmh()) return nullptr;
  auto state = std::make_unique<State>();
  xcb_connection_t* connection = Xcb().xcb_connect(display_name.c_str(), &state->screen);
  state->ewmh.connection = connection;
  if (!connection || Xcb().xcb_connection_has_error(connection)) return nullptr;
  xcb_intern_atom_cookie_t* cookies = Ewmh().xcb_ewmh_init_atoms(connection, &state->ewmh);
  if (!cookies || !Ewmh().xcb_ewmh_init_atoms_replies(&state->ewmh, cookies, nullptr))
    return nullptr;
  state->atoms_ready = true;
  return std::unique_ptr<XcbChatClientWindow>(new XcbChatClientWindow(std::move(state)));
}

XcbChatClientWindow::XcbChatClientWindow(std::unique_ptr<State> state) : state_(std::move(state)) {}

XcbChatClientWindow::~XcbChatClientWindow() = default;

std::string XcbChatClientWindow::Title(std::uint32_t window) {
  xcb_ewmh_connection_t* ewmh = &state_->ewmh;
  std::string title;
  xcb_ewmh_get_utf8_strings_reply_t name{};
  if (Ewmh().xcb_ewmh_get_utf8_strings_reply(ewmh, Ewmh().xcb_ewmh_get_wm_name(ewmh, window), &name,
                                             nullptr)) {
    title.assign(name.strings, name.strings_len);
    Ewmh().xcb_ewmh_get_utf8_strings_reply_wipe(&name);
  } else {
    xcb_connection_t* c = ewmh->connection;
    xcb_get_property_reply_t* reply = Xcb().xcb_get_property_reply(
        c,
        Xcb().xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0,
                               kTitleLongs),
        nullptr);
    if (reply) {
      const int length = Xcb().xcb_get_property_value_length(reply);
      if (reply->format == 8 && length > 0)
        title.assign(static_cast<const char*>(Xcb().xcb_get_property_value(reply)),
                     static_cast<std::size_t>(length));
      std::free(reply);
    }
  }
  if (title.size() > kTitleBuffer) title.resize(kTitleBuffer);
  return title;
}

bool XcbChatClientWindow::IsChatClientActive() {
  xcb_ewmh_connection_t* ewmh = &state_->ewmh;
  xcb_window_t active = XCB_NONE;
  if (!Ewmh().xcb_ewmh_get_window_reply(
          ewmh, Ewmh().xcb_ewmh_get_active_window(ewmh, state_->screen), &active, nullptr))
    return false;
  return active != XCB_NONE && IsChatClientTitle(Title(active));
}

std::optional<std::uint32_t> XcbChatClientWindow::FindChatClient() {
  xcb_ewmh_connection_t* ewmh = &state_->ewmh;
  xcb_ewmh_get_windows_reply_t clients{};
  if (!Ewmh().xcb_ewmh_get_windows_reply(
          ewmh, Ewmh().xcb_ewmh_get_client_list(ewmh, state_->screen), &clients, nullptr))
    return std::nullopt;
  std::optional<std::uint32_t> found;
  for (std::uint32_t i = 0; i < clients.windows_len && !found; ++i)
    if (IsChatClientTitle(Title(clients.windows[i]))) found = clients.windows[i];
  Ewmh().xcb_ewmh_get_windows_reply_wipe(&clients);
  return found;
}

void XcbChatClientWindow::BringChatClientForward() {
  const std::optional<std::uint32_t> window = FindChatClient();
  if (!window) return;
  Ewmh().xcb_ewmh_request_change_active_window(&state_->ewmh, state_->screen, *window,
                                               XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                               XCB_NONE);
  Xcb().xcb_flush(state_->ewmh.connection);
}

}  // namespace zelvo
