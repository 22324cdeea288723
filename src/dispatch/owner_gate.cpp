#include "dispatch/owner_gate.h"

#include <algorithm>

#include "dispatch/dispatcher.h"
#include "log/messages.h"

namespace zelvo {

OwnerGate::Verdict OwnerGate::Judge(const IrcMessage& message, const SenderDirectory& senders,
                                    const std::vector<std::string>& owners, TimePoint now) {
  Verdict verdict;
  if (owners.empty()) return verdict;
  const std::string account = senders.Account(message.nick, message).value_or("");
  const bool listed = std::ranges::any_of(
      owners, [&](const std::string& owner) { return senders.Mapping().Equal(account, owner); });
  if (!account.empty() && listed) {
    verdict.owner = true;
    verdict.account = account;
    return verdict;
  }
  std::erase_if(refused_,
                [now](const auto& entry) { return now - entry.second >= kRefusalInterval; });
  const std::string key = SenderKey(message, senders);
  if (!refused_.emplace(key, now).second) return verdict;
  std::string names;
  for (const std::string& owner : owners) names += (names.empty() ? "" : " ") + owner;
  verdict.refusal = OwnerRefusedText(message.prefix, key, account, names);
  return verdict;
}

bool IsPrivateMessage(const IrcMessage& message, const SenderDirectory& senders) {
  return message.command == "PRIVMSG" && message.params.size() == 2 &&
         senders.Mapping().Equal(message.params[0], senders.OwnNick()) &&
         !senders.Mapping().Equal(message.nick, senders.OwnNick()) &&
         !message.params[1].starts_with('\x01');
}

}  // namespace zelvo
