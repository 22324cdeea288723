#include "x11/chat_client_window.h"

#ifdef ZELVO_HAVE_XCB
#include "x11/xcb_chat_client.h"
#endif

namespace zelvo {

bool IsChatClientTitle(std::string_view title) {
  return title.substr(0, 6) == "Vesko:";
}

std::unique_ptr<ChatClientWindow> OpenChatClientWindow(const std::string& display_name) {
#ifdef ZELVO_HAVE_XCB
  if (!display_name.empty()) {
    if (auto x11 = XcbChatClientWindow::Connect(display_name)) return x11;
  }
#else
  (void)display_name;
#endif
  return std::make_unique<NoChatClientWindow>();
}

}  // namespace zelvo
