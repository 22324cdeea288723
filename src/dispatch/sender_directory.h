// What the connection knows about the people who write in the channel, as the
// rule engine asks for it: how the server compares names, the bot's own
// nickname, a sender's services account and channel status. The host is not
// asked for here: every line that can fire a rule carries it in its prefix,
// written by the server as it relays the line (after a CHGHOST, the new one),
// which no roster can know better.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "irc/case_mapping.h"
#include "irc/channel_roster.h"
#include "irc/irc_message.h"
#include "irc/isupport.h"
#include "model/io_command.h"
#include "model/settings.h"

namespace zelvo {

class SenderDirectory {
 public:
  virtual ~SenderDirectory() = default;
  // The server's CASEMAPPING for channel names and nicknames.
  virtual const CaseMapping& Mapping() const = 0;
  // The nickname the bot has on the server now.
  virtual std::string_view OwnNick() const = 0;
  // The services account of `nick`, who sent `message`: the message's
  // `account` tag when it has one, else what was tracked. nullopt when not
  // known, "" when not logged in.
  virtual std::optional<std::string> Account(std::string_view nick,
                                             const IrcMessage& message) const = 0;
  // Whether `nick` holds `least` or a higher status in the channel.
  virtual bool HasStatus(std::string_view nick, ChannelStatus least) const = 0;
};

// Before any connection has said anything: rfc1459, the configured nickname,
// an account only from the line's own tag, no status.
class ConfiguredSenders final : public SenderDirectory {
 public:
  explicit ConfiguredSenders(const Settings& settings) : settings_(settings) {}

  const CaseMapping& Mapping() const override { return mapping_; }
  std::string_view OwnNick() const override { return settings_.gsIRCNickname; }
  std::optional<std::string> Account(std::string_view nick,
                                     const IrcMessage& message) const override;
  bool HasStatus(std::string_view, ChannelStatus) const override { return false; }

 private:
  const Settings& settings_;
  CaseMapping mapping_;
};

// What a connection tracks in its channel roster and 005 tokens. The roster
// must have taken a line before the line is matched, so that the line's own
// account tag and every earlier MODE, NICK or ACCOUNT are known.
class RosterSenders final : public SenderDirectory {
 public:
  // All three must outlive this. The configured nickname stands for the
  // bot's own while the roster has none.
  RosterSenders(const ChannelRoster& roster, const ISupport& server, const Settings& settings)
      : roster_(roster), server_(server), settings_(settings) {}

  const CaseMapping& Mapping() const override { return server_.casemapping; }
  std::string_view OwnNick() const override;
  std::optional<std::string> Account(std::string_view nick,
                                     const IrcMessage& message) const override;
  bool HasStatus(std::string_view nick, ChannelStatus least) const override;

 private:
  const ChannelRoster& roster_;
  const ISupport& server_;
  const Settings& settings_;
};

// The status mode letter of a status: voice v, halfop h, op o, admin a,
// owner q; 0 for none.
char StatusModeOf(ChannelStatus status);

}  // namespace zelvo
