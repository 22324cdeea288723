// The bot's IRC client as the application makes it: the Qt socket, the
// session on it, what the session knows of the channel's members for the
// access rules, and the session's tick timer, which sends what the flood
// limit allows and runs the reconnects and every timeout (capability
// negotiation, SASL, registration, nickname regain, rejoin, dead link). All
// of it lives on the event loop of the thread that creates it.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>

#include "dispatch/sender_directory.h"
#include "irc/irc_connection.h"
#include "irc/irc_session.h"
#include "irc/qt_socket.h"

namespace zelvo {

class QtIrcClient final : public IrcClient {
 public:
  // Everything passed in must outlive the client. Needs a Qt application
  // object on this thread; the session's tick runs every `tick`.
  QtIrcClient(const Settings& settings, const Clock& clock, Console& console, IrcHooks hooks,
              std::chrono::milliseconds tick = std::chrono::milliseconds(100),
              SendQueue::Limits limits = {});
  ~QtIrcClient() override;

  IrcSession& Session() { return session_; }
  void SetMatcher(std::function<void(const LineEvent&)> match) {
    session_.SetMatcher(std::move(match));
  }

  // IrcClient
  IrcConnection& Connection() override { return session_; }
  IrcSender& Sender() override { return session_; }
  const SenderDirectory* Senders() const override { return &senders_; }
  bool InChannel() const override { return session_.Roster().Joined(); }
  // Calls `show` with the status and the caption the session reported last.
  void OnStatusChanged(std::function<void(const ConnectionStatus&)> show) override;

 private:
  // `hooks` with a caption hook that also keeps the caption for the status.
  IrcHooks WithCaption(IrcHooks hooks);

  const Settings& settings_;
  std::string caption_;
  QtSocket socket_;
  IrcSession session_;
  RosterSenders senders_;
  QTimer tick_timer_;
};

// Where `session` stands now, with `caption` (the last one it reported). The
// server is the one in use, "host:port" ("host:+port" over TLS); the nickname is the one the
// session has or tries, else the configured one.
ConnectionStatus StatusOfSession(const IrcSession& session, const Settings& settings,
                                 std::string caption = "");

}  // namespace zelvo
