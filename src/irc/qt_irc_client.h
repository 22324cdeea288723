// The IRC client as the application creates it: the Qt socket, the session
// on it and the timer that drains the send queue, all on the event loop of
// the thread that creates it.
#pragma once

#include <QTimer>
#include <chrono>

#include "irc/irc_session.h"
#include "irc/qt_socket.h"

namespace zelvo {

class QtIrcClient final : public IrcConnection {
 public:
  // Everything passed in must outlive the client. Needs a Qt application
  // object on this thread; the send queue is drained every `tick`.
  QtIrcClient(const Settings& settings, const Clock& clock, Console& console, IrcHooks hooks,
              std::chrono::milliseconds tick = std::chrono::milliseconds(100),
              SendQueue::Limits limits = {});
  ~QtIrcClient() override;

  // The dispatcher's way out to the channel.
  IrcSender& Sender() { return session_; }
  IrcSession& Session() { return session_; }
  void SetMatcher(std::function<void(const LineEvent&)> match) {
    session_.SetMatcher(std::move(match));
  }

  void ConnectToServer() override { session_.ConnectToServer(); }
  bool SendOperatorLine(std::string_view typed) override {
    return session_.SendOperatorLine(typed);
  }
  void Close() override { session_.Close(); }

 private:
  QtSocket socket_;
  IrcSession session_;
  QTimer send_timer_;
};

}  // namespace zelvo
