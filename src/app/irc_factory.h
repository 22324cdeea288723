// The one place where the bot's IRC client is made: the connection the
// application starts and closes and sends the operator's lines through, the
// sender the dispatcher answers through, and the connection's status.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dispatch/sender_directory.h"
#include "front/bot_status.h"
#include "irc/irc_connection.h"
#include "irc/irc_sender.h"
#include "irc/line_event.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/settings.h"

namespace zelvo {

// What an IRC client may use. Everything referenced outlives the client.
struct IrcEnvironment {
  const Settings& settings;
  const Clock& clock;
  Console& console;
  // Holds one received or operator's line against the rules (Dispatcher::Match).
  std::function<void(const LineEvent&)> match;
  LogWriter log;
  // Where the strict transport security policies are kept (beside the log).
  std::string sts_file;
};

// The Qt IRC client on the event loop of the calling thread.
std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment& environment);

}  // namespace zelvo
