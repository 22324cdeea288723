// What the window and the application need of the IRC client.
#pragma once

#include <string_view>

namespace zelvo {

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

// The connection of a bot that has none yet, or of tests.
class NoIrcConnection final : public IrcConnection {
 public:
  void ConnectToServer() override {}
  bool SendOperatorLine(std::string_view) override { return false; }
  void Close() override {}
};

}  // namespace zelvo
