// The one place where the bot's IRC client is made: the connection the
// window starts and closes, and the sender the dispatcher answers through.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dispatch/sender_directory.h"
#include "front/bot_status.h"
#include "irc/irc_connection.h"
#include "irc/irc_sender.h"
#include "irc/line_event.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/settings.h"

namespace zelvo {

// What an IRC client may use. Everything referenced outlives the client.
struct IrcEnvironment {
  const Settings& settings;
  const Clock& clock;
  Console& console;
  // Holds one received or operator's line against the rules (Dispatcher::Match).
  std::function<void(const LineEvent&)> match;
  LogWriter log;
  // Shows the connection state (the window's caption, the terminal's line).
  std::function<void(const std::string&)> caption;
};

class IrcClient {
 public:
  virtual ~IrcClient() = default;
  virtual IrcConnection& Connection() = 0;
  virtual IrcSender& Sender() = 0;
  // What the connection knows of the channel's members for the access rules
  // (case mapping, own nickname, accounts, status); null when nothing.
  virtual const SenderDirectory* Senders() const { return nullptr; }
  // Whether the bot is in its channel now.
  virtual bool InChannel() const { return false; }
  // Calls `show` with the connection's status now and after each change of
  // it; a client without a connection shows none.
  virtual void OnStatusChanged(std::function<void(const ConnectionStatus&)> show) { (void)show; }
};

// A sender without a connection: every line is refused.
class NotConnectedSender final : public IrcSender {
 public:
  std::string SendLine(std::string_view) override {
    return std::string(console_text::kNotConnected);
  }
  std::string LocalIP() const override { return ""; }
};

std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment& environment);

}  // namespace zelvo
