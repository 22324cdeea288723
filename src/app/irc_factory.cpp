#include "app/irc_factory.h"

#include "irc/qt_irc_client.h"

namespace zelvo {

namespace {

// The bot's connection to its IRC server over a Qt socket on the event loop.
class NetworkIrcClient final : public IrcClient {
 public:
  explicit NetworkIrcClient(const IrcEnvironment& environment)
      : settings_(environment.settings),
        client_(environment.settings, environment.clock, environment.console,
                IrcHooks{environment.match, environment.log,
                         [this](const std::string& caption) { caption_ = caption; }}),
        senders_(client_.Session().Roster(), client_.Session().Server(), environment.settings),
        session_(client_.Session()) {}

  IrcConnection& Connection() override { return client_; }
  IrcSender& Sender() override { return client_.Sender(); }
  const SenderDirectory* Senders() const override { return &senders_; }
  bool InChannel() const override { return session_.Roster().Joined(); }
  void OnStatusChanged(std::function<void(const ConnectionStatus&)> show) override {
    IrcSession& session = client_.Session();
    // The session reports a new caption just before the change it belongs to.
    session.SetStateChanged(
        [this, &session, show] { show(StatusOfSession(session, settings_, caption_)); });
    show(StatusOfSession(session, settings_, caption_));
  }

 private:
  const Settings& settings_;
  std::string caption_;
  QtIrcClient client_;
  RosterSenders senders_;
  const IrcSession& session_;
};

}  // namespace

std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment& environment) {
  return std::make_unique<NetworkIrcClient>(environment);
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
  status.server =
      settings.gsIRCDomain + (settings.IRCTLS ? ":+" : ":") + std::to_string(settings.giIRCPort);
  status.channel = settings.gsIRCChannel;
  status.nick = session.Nickname().empty() ? settings.gsIRCNickname : session.Nickname();
  status.caption = std::move(caption);
  return status;
}

}  // namespace zelvo
