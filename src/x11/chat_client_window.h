// Finding the companion chat client's main window: the top-level window whose
// title begins "Vesko:". On X11 through the EWMH properties of the window
// manager; without an X display there is no such window.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "dispatch/chat_client.h"

namespace zelvo {

// True when a window title names the chat client's main window.
bool IsChatClientTitle(std::string_view title);

// Connects to the X display `display_name` ("" or unreachable: a window
// that never exists).
std::unique_ptr<ChatClientWindow> OpenChatClientWindow(const std::string& display_name);

}  // namespace zelvo
