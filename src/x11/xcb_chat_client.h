// The chat client's window on X11: _NET_ACTIVE_WINDOW for the active window,
// _NET_WM_NAME (or WM_NAME) for titles, _NET_CLIENT_LIST to find windows, and
// a _NET_ACTIVE_WINDOW request to bring one forward.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dispatch/chat_client.h"

namespace zelvo {

class XcbChatClientWindow final : public ChatClientWindow {
 public:
  // Null when the display cannot be opened or has no EWMH atoms.
  static std::unique_ptr<XcbChatClientWindow> Connect(const std::string& display_name);
  ~XcbChatClientWindow() override;

  bool IsChatClientActive() override;
  void BringChatClientForward() override;

  // The window's title, "" when it has none.
  std::string Title(std::uint32_t window);
  // The first managed window whose title names the chat client.
  std::optional<std::uint32_t> FindChatClient();

 private:
  struct State;
  explicit XcbChatClientWindow(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zelvo
