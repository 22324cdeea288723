#include "app/irc_factory.h"

namespace zelvo {

namespace {

// The client of a bot without a network connection.
class OfflineIrcClient final : public IrcClient {
 public:
  IrcConnection& Connection() override { return connection_; }
  IrcSender& Sender() override { return sender_; }

 private:
  NoIrcConnection connection_;
  NotConnectedSender sender_;
};

}  // namespace

std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment&) {
  return std::make_unique<OfflineIrcClient>();
}

}  // namespace zelvo
