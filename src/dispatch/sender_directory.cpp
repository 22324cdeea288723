#include "dispatch/sender_directory.h"

namespace zelvo {

char StatusModeOf(ChannelStatus status) {
  switch (status) {
    case ChannelStatus::kVoice:
      return 'v';
    case ChannelStatus::kHalfop:
      return 'h';
    case ChannelStatus::kOp:
      return 'o';
    case ChannelStatus::kAdmin:
      return 'a';
    case ChannelStatus::kOwner:
      return 'q';
    case ChannelStatus::kNone:
      break;
  }
  return 0;
}

std::optional<std::string> ConfiguredSenders::Account(std::string_view,
                                                      const IrcMessage& message) const {
  return message.Tag("account");
}

std::string_view RosterSenders::OwnNick() const {
  return roster_.OwnNick().empty() ? std::string_view(settings_.gsIRCNickname) : roster_.OwnNick();
}

std::optional<std::string> RosterSenders::Account(std::string_view nick,
                                                  const IrcMessage& message) const {
  if (std::optional<std::string> tag = message.Tag("account")) return tag;
  if (const ChannelRoster::Member* member = roster_.Find(nick)) return member->account;
  return std::nullopt;
}

bool RosterSenders::HasStatus(std::string_view nick, ChannelStatus least) const {
  if (least == ChannelStatus::kNone) return true;
  return roster_.HasStatus(nick, StatusModeOf(least));
}

}  // namespace zelvo
