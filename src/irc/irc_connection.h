// What the window and the application need of the IRC client: the connection
// they start and close, and the client that holds it together with the way
// out to the channel and what it knows of the channel.
#pragma once

#include <functional>
#include <string_view>

#include "irc/irc_sender.h"

namespace zelvo {

struct ConnectionStatus;
class SenderDirectory;

class IrcConnection {
 public:
  virtual ~IrcConnection() = default;
  // Starts connecting to the configured server (once, at window load).
  virtual void ConnectToServer() = 0;
  // The operator pressed Enter on `typed`: sends it to the channel, echoes it
  // to the console and matches the echo against the rules. Returns false, and
  // does none of that, while the connection is not up.
  virtual bool SendOperatorLine(std::string_view typed) = 0;
  // Closes the connection (at unload).
  virtual void Close() = 0;
};

class IrcClient {
 public:
  virtual ~IrcClient() = default;
  virtual IrcConnection& Connection() = 0;
  // The dispatcher's way out to the channel.
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

}  // namespace zelvo
