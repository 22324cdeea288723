// The one place where the bot's IRC client is made: the connection the
// application starts and closes and sends the operator's lines through, the
// sender the dispatcher answers through, and the connection's status.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"
#include "dispatch/sender_directory.h"
#include "front/bot_status.h"
#include "irc/irc_connection.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/settings.h"

namespace zelvo {

// What an IRC client may use. Everything referenced outlives the client.
struct IrcEnvironment {
  const Settings& settings;
  const Clock& clock;
  Console& console;
  // Holds one text against the rules (MatchIOCommands).
  std::function<void(std::string_view)> match;
  LogWriter log;
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
  // Calls `show` with the connection's status (with its caption) now and
  // after each change of it; a client without a connection shows none.
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

class IrcSession;

// Where `session` stands now, with `caption` (the last one it reported). The
// server is "host:port" ("host:+port" over TLS); the nickname is the one the
// session has or tries, else the configured one.
ConnectionStatus StatusOfSession(const IrcSession& session, const Settings& settings,
                                 std::string caption = "");

}  // namespace zelvo
