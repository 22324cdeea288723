// The IRC connection as the rule engine answers through it.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

class IrcSender {
 public:
  virtual ~IrcSender() = default;
  // Queues one line for sending, given without its line end (the connection
  // ends it with CR LF); "" or an error text.
  virtual std::string SendLine(std::string_view line) = 0;
  // This end's IP address as text, for the console echo of own lines.
  virtual std::string LocalIP() const = 0;
};

}  // namespace zelvo
