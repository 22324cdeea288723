// The companion chat client's main window, for the rules' focus gates and
// focus option.
#pragma once

namespace zelvo {

class ChatClientWindow {
 public:
  virtual ~ChatClientWindow() = default;
  // True when the chat client's main window is the active window.
  virtual bool IsChatClientActive() = 0;
  // Brings the chat client's main window to the front, when there is one.
  virtual void BringChatClientForward() = 0;
};

// A chat client window that never exists (no display).
class NoChatClientWindow final : public ChatClientWindow {
 public:
  bool IsChatClientActive() override { return false; }
  void BringChatClientForward() override {}
};

}  // namespace zelvo
