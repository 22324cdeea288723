// What the dispatcher needs of the world around it, injected so that the core
// runs against fakes in tests.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

// The IRC connection as the dispatcher uses it.
class IrcSender {
 public:
  virtual ~IrcSender() = default;
  // Queues one complete line (with its CR LF) for sending; "" or an error text.
  virtual std::string SendLine(std::string_view line) = 0;
  // This end's IP address as text, for the console echo of own lines.
  virtual std::string LocalIP() const = 0;
};

// The console pane: appends text and keeps its newest line in view.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Append(std::string_view text) = 0;
};

// The companion chat client's main window, for the focus gates and option.
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
