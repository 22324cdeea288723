// Who may give owner commands, and which received lines are private
// messages to the bot.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "dispatch/sender_directory.h"
#include "irc/irc_message.h"

namespace zelvo {

// Who may give owner commands: the sender of a private message logged in to
// an account of IRCOwners (compared by the server's case mapping), the
// account known as for a rule's Account condition, never from the nickname.
class OwnerGate {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::hours kRefusalInterval{1};

  struct Verdict {
    bool owner = false;
    std::string account;  // owner: the account logged in to
    // Not an owner: the refusal's log text, once per sender (SenderKey) and
    // kRefusalInterval; "" otherwise.
    std::string refusal;
  };

  // `owners` empty: nobody is an owner and nothing is refused.
  Verdict Judge(const IrcMessage& message, const SenderDirectory& senders,
                const std::vector<std::string>& owners, TimePoint now);

 private:
  std::map<std::string, TimePoint> refused_;  // sender -> when the refusal was logged
};

// A PRIVMSG to the bot's own nickname, not from it, whose text is not a
// CTCP request.
bool IsPrivateMessage(const IrcMessage& message, const SenderDirectory& senders);

}  // namespace zelvo
