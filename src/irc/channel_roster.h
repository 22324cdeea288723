// The members of the bot's one channel with their channel status and, where
// known, their user name, host and services account, kept up to date from
// the server's lines.
//
// Members come from NAMES (353, every status symbol with multi-prefix, full
// nick!user@host masks with userhost-in-names), JOIN, PART, QUIT, KICK and
// NICK; status from the names' symbols and MODE changes of the statuses in
// PREFIX. User name and host come from the masks in NAMES, from the prefix of
// every line a member sends and from CHGHOST (chghost). Accounts come from
// the `account` tag (when account-tag is on, a member's line without it
// means logged out), extended-join, account-notify (ACCOUNT) and WHOX
// replies (354) to the query WhoxQuery(). Nicknames and the channel name are
// compared by the server's case mapping (members are kept by their folded
// nickname, so each line costs the same however many there are). The bot's own JOIN of the
// channel starts a fresh list; its PART or KICK empties it. At most
// kMaxMembers are kept: further nicknames are not followed until some leave.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "irc/irc_message.h"
#include "irc/isupport.h"

namespace zelvo {

class ChannelRoster {
 public:
  // The token that marks the bot's own WHOX replies.
  static constexpr std::string_view kWhoxToken = "152";
  // The most members kept.
  static constexpr std::size_t kMaxMembers = 10000;

  struct Member {
    std::string nick;
    std::string modes;  // status modes held, highest first (as in PREFIX)
    std::string user;   // "" while not known
    std::string host;   // "" while not known
    // nullopt: not known; "": not logged in; otherwise the account.
    std::optional<std::string> account;
  };

  // `server` must outlive the roster; it is read on every message.
  ChannelRoster(std::string channel, const ISupport& server)
      : channel_(std::move(channel)), server_(server) {}

  void SetOwnNick(std::string nick) { own_nick_ = std::move(nick); }
  // The channel to follow (before a connection; forgets everybody).
  void SetChannel(std::string channel) {
    channel_ = std::move(channel);
    Clear();
  }
  const std::string& OwnNick() const { return own_nick_; }
  // Whether a member's line without an account tag means "not logged in";
  // told by the account-tag row of the capability table.
  void SetAccountTag(bool on) { account_tag_ = on; }
  // Every member's account becomes unknown (account-notify went away: the
  // ones known may go stale).
  void ForgetAccounts();

  // Follows one received message.
  void OnMessage(const IrcMessage& message);
  // The bot's connection ended: nobody is known any more.
  void Clear();

  bool Joined() const { return joined_; }
  bool IsChannel(std::string_view name) const;
  const Member* Find(std::string_view nick) const;
  std::size_t Size() const { return members_.size(); }
  // Whether a member was left out for kMaxMembers since the list was last emptied.
  bool Full() const { return full_; }
  // Whether the member holds `mode` or a higher status. A mode that the
  // server lacks (halfop on many) is taken as the next higher one it has, in
  // the order owner q, admin a, op o, halfop h, voice v.
  bool HasStatus(std::string_view nick, char mode) const;

  // "WHO <channel> %tna,<token>": asks for every member's account.
  std::string WhoxQuery() const;

 private:
  Member* FindMutable(std::string_view nick);
  // The member, added when new; nullptr when kMaxMembers are kept already.
  Member* Add(std::string_view nick);
  void Rename(std::string_view nick, std::string_view new_nick);
  // Keys the members by the server's case mapping, should it have changed.
  void Rekey() const;
  void Remove(std::string_view nick);
  void SetModes(Member& member, std::string_view symbols);
  void ChangeMode(std::string_view nick, char mode, bool set);
  void OnMode(const IrcMessage& message);
  void OnNames(std::string_view names);

  std::string channel_;
  const ISupport& server_;
  std::string own_nick_;
  bool account_tag_ = false;
  bool joined_ = false;
  bool full_ = false;
  // Keyed by the nickname folded by `keyed_by_` (mutable: re-keyed on lookup
  // once the server has announced another case mapping).
  mutable CaseMapping keyed_by_;
  mutable std::unordered_map<std::string, Member> members_;
};

// The status mode of a status name: "voice" v, "halfop" h, "op" o, "admin"
// a, "owner" q (letter case ignored); 0 for any other name.
char StatusMode(std::string_view name);

}  // namespace zelvo
