// What the IRC session hands the rules for each line: one received from the
// server, or one the operator typed and the bot sent to its channel. An event
// refers to data that lives only during the call it is passed to.
#pragma once

#include <string_view>
#include <variant>

#include "irc/irc_message.h"

namespace zelvo {

// A line received from the server, parsed, tags and line end included; as
// UTF-8 (a line that is not valid UTF-8 is read as ISO-8859-1).
struct ServerLine {
  const IrcMessage& message;
};

// A line the operator typed and the bot sent to the channel: its text
// (without line breaks) and the nickname the bot had when sending it.
struct OperatorLine {
  std::string_view nick;
  std::string_view text;
};

using LineEvent = std::variant<ServerLine, OperatorLine>;

}  // namespace zelvo
