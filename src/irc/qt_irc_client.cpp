#include "irc/qt_irc_client.h"

#include "front/bot_status.h"

namespace zelvo {

QtIrcClient::QtIrcClient(const Settings& settings, const Clock& clock, Console& console,
                         IrcHooks hooks, std::chrono::milliseconds tick, SendQueue::Limits limits)
    : settings_(settings),
      session_(settings, socket_, clock, console, WithCaption(std::move(hooks)), limits),
      senders_(session_.Roster(), session_.Server(), settings) {
  socket_.SetHandler(&session_);
  tick_timer_.setInterval(tick);
  QObject::connect(&tick_timer_, &QTimer::timeout, [this] { session_.tmrSendQueue_Timer(); });
  tick_timer_.start();
}

QtIrcClient::~QtIrcClient() {
  tick_timer_.stop();
  socket_.SetHandler(nullptr);
}

IrcHooks QtIrcClient::WithCaption(IrcHooks hooks) {
  hooks.caption = [this, shown = std::move(hooks.caption)](const std::string& caption) {
    caption_ = caption;
    if (shown) shown(caption);
  };
  return hooks;
}

void QtIrcClient::OnStatusChanged(std::function<void(const ConnectionStatus&)> show) {
  // The session reports a new caption just before the change it belongs to.
  session_.SetStateChanged([this, show] { show(StatusOfSession(session_, settings_, caption_)); });
  show(StatusOfSession(session_, settings_, caption_));
}

ConnectionStatus StatusOfSession(const IrcSession& session, const Settings& settings,
                                 std::string caption) {
  using State = ConnectionStatus::State;
  using Phase = IrcSession::Phase;
  ConnectionStatus status;
  switch (session.CurrentPhase()) {
    case Phase::kIdle:
    case Phase::kStopped:
      status.state = State::kDown;
      break;
    case Phase::kConnecting:
      status.state = State::kConnecting;
      break;
    case Phase::kRegistering:
      status.state = State::kRegistering;
      break;
    case Phase::kRegistered:
      status.state = session.Roster().Joined() ? State::kJoined : State::kNotInChannel;
      break;
    case Phase::kWaiting:
      status.state = State::kReconnecting;
      status.reconnect_at = session.ReconnectAt();
      break;
  }
  status.server = session.ServerInUse();
  status.channel = settings.gsIRCChannel;
  status.nick = session.Nickname().empty() ? settings.gsIRCNickname : session.Nickname();
  status.problem = session.Problem();
  status.caption = std::move(caption);
  return status;
}

}  // namespace zelvo
