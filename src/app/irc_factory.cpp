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
                IrcHooks{environment.match, environment.log, environment.caption}),
        senders_(client_.Session().Roster(), client_.Session().Server(), environment.settings),
        session_(client_.Session()) {}

  IrcConnection& Connection() override { return client_; }
  IrcSender& Sender() override { return client_.Sender(); }
  const SenderDirectory* Senders() const override { return &senders_; }
  bool InChannel() const override { return session_.Roster().Joined(); }
  void OnStatusChanged(std::function<void(const ConnectionStatus&)> show) override {
    IrcSession& session = client_.Session();
    session.SetStateChanged(
        [&session, &settings = settings_, show] { show(StatusOfSession(session, settings)); });
    show(StatusOfSession(session, settings_));
  }

 private:
  const Settings& settings_;
  QtIrcClient client_;
  RosterSenders senders_;
  const IrcSession& session_;
};

}  // namespace

std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment& environment) {
  return std::make_unique<NetworkIrcClient>(environment);
}

}  // namespace zelvo
