#include "irc/channel_roster.h"

#include <algorithm>
#include <cctype>

namespace zelvo {

namespace {

constexpr std::string_view kStatusOrder = "qaohv";  // highest first

}  // namespace

char StatusMode(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "voice") return 'v';
  if (lower == "halfop") return 'h';
  if (lower == "op") return 'o';
  if (lower == "admin") return 'a';
  if (lower == "owner") return 'q';
  return 0;
}

bool ChannelRoster::IsChannel(std::string_view name) const {
  return server_.casemapping.Equal(name, channel_);
}

void ChannelRoster::Rekey() const {
  const CaseMapping& mapping = server_.casemapping;
  if (mapping.kind() == keyed_by_.kind()) return;
  keyed_by_ = mapping;
  std::unordered_map<std::string, Member> rekeyed;
  rekeyed.reserve(members_.size());
  for (auto& [key, member] : members_) rekeyed.insert_or_assign(mapping.Fold(member.nick), member);
  members_ = std::move(rekeyed);
}

const ChannelRoster::Member* ChannelRoster::Find(std::string_view nick) const {
  Rekey();
  const auto it = members_.find(keyed_by_.Fold(nick));
  return it == members_.end() ? nullptr : &it->second;
}

ChannelRoster::Member* ChannelRoster::FindMutable(std::string_view nick) {
  return const_cast<Member*>(Find(nick));
}

ChannelRoster::Member* ChannelRoster::Add(std::string_view nick) {
  if (Member* m = FindMutable(nick)) return m;
  if (members_.size() >= kMaxMembers) {
    full_ = true;
    return nullptr;
  }
  const auto [it, added] =
      members_.emplace(keyed_by_.Fold(nick), Member{std::string(nick), "", "", "", std::nullopt});
  return &it->second;
}

void ChannelRoster::Rename(std::string_view nick, std::string_view new_nick) {
  Rekey();
  auto node = members_.extract(keyed_by_.Fold(nick));
  if (node.empty()) return;
  node.key() = keyed_by_.Fold(new_nick);
  node.mapped().nick = std::string(new_nick);
  members_.erase(node.key());
  members_.insert(std::move(node));
}

void ChannelRoster::Remove(std::string_view nick) {
  Rekey();
  members_.erase(keyed_by_.Fold(nick));
}

void ChannelRoster::Clear() {
  joined_ = false;
  full_ = false;
  members_.clear();
}

void ChannelRoster::ForgetAccounts() {
  for (auto& [key, member] : members_) member.account.reset();
}

void ChannelRoster::SetModes(Member& member, std::string_view symbols) {
  member.modes.clear();
  for (char mode : server_.prefix_modes) {
    const std::size_t at = server_.prefix_modes.find(mode);
    if (at < server_.prefix_symbols.size() &&
        symbols.find(server_.prefix_symbols[at]) != std::string_view::npos) {
      member.modes += mode;
    }
  }
}

void ChannelRoster::ChangeMode(std::string_view nick, char mode, bool set) {
  Member* member = FindMutable(nick);
  if (member == nullptr) return;
  std::string modes;
  for (char m : server_.prefix_modes) {
    const bool has = m == mode ? set : member->modes.find(m) != std::string::npos;
    if (has) modes += m;
  }
  member->modes = modes;
}

bool ChannelRoster::HasStatus(std::string_view nick, char mode) const {
  const Member* member = Find(nick);
  if (member == nullptr) return false;
  const std::string& prefix = server_.prefix_modes;
  // The required mode, or the next higher one the server has.
  std::size_t order = kStatusOrder.find(mode);
  std::size_t required = prefix.find(mode);
  while (required == std::string::npos && order != std::string_view::npos && order > 0) {
    required = prefix.find(kStatusOrder[--order]);
  }
  if (required == std::string::npos) return false;
  for (char held : member->modes) {
    const std::size_t rank = prefix.find(held);
    if (rank != std::string::npos && rank <= required) return true;
  }
  return false;
}

std::string ChannelRoster::WhoxQuery() const {
  return "WHO " + channel_ + " %tna," + std::string(kWhoxToken);
}

void ChannelRoster::OnMode(const IrcMessage& message) {
  std::size_t arg = 2;
  bool set = true;
  for (char c : message.Param(1)) {
    if (c == '+' || c == '-') {
      set = c == '+';
      continue;
    }
    if (!server_.ModeTakesParam(c, set)) continue;
    const std::string& target = message.Param(arg++);
    if (server_.prefix_modes.find(c) != std::string::npos) ChangeMode(target, c, set);
  }
}

void ChannelRoster::OnNames(std::string_view names) {
  while (!names.empty()) {
    const std::size_t end = names.find(' ');
    std::string_view entry = names.substr(0, end);
    names.remove_prefix(end == std::string_view::npos ? names.size() : end + 1);
    std::size_t symbols = 0;
    while (symbols < entry.size() && server_.ModeForSymbol(entry[symbols]) != 0) ++symbols;
    const std::size_t bang = entry.find('!');
    const std::string_view nick = entry.substr(symbols, bang - symbols);
    if (nick.empty()) continue;
    Member* m = Add(nick);
    if (m == nullptr) continue;
    SetModes(*m, entry.substr(0, symbols));
    // userhost-in-names: nick!user@host
    const std::size_t at = entry.find('@', bang);
    if (bang != std::string_view::npos && at != std::string_view::npos) {
      m->user = std::string(entry.substr(bang + 1, at - bang - 1));
      m->host = std::string(entry.substr(at + 1));
    }
  }
}

void ChannelRoster::OnMessage(const IrcMessage& message) {
  const CaseMapping& mapping = server_.casemapping;
  const std::string& command = message.command;
  const bool from_self = !own_nick_.empty() && mapping.Equal(message.nick, own_nick_);

  // A member's own line: its prefix and tags are the freshest word on it.
  if (Member* m = message.nick.empty() ? nullptr : FindMutable(message.nick)) {
    if (!message.host.empty()) {
      m->user = message.user;
      m->host = message.host;
    }
    if (account_tag_ && !message.user.empty()) {
      m->account = message.Tag("account").value_or("");
    } else if (const auto tag = message.Tag("account")) {
      m->account = *tag;
    }
  }

  if (command == "JOIN" && IsChannel(message.Param(0))) {
    if (from_self) {
      Clear();
      joined_ = true;
    }
    Member* m = Add(message.nick);
    if (m != nullptr) {
      m->user = message.user;
      m->host = message.host;
    }
    if (m != nullptr && message.params.size() >= 3) {  // extended-join: account, real name
      m->account = message.Param(1) == "*" ? "" : message.Param(1);
    }
  } else if (command == "PART" && IsChannel(message.Param(0))) {
    if (from_self) {
      Clear();
    } else {
      Remove(message.nick);
    }
  } else if (command == "KICK" && IsChannel(message.Param(0))) {
    if (!own_nick_.empty() && mapping.Equal(message.Param(1), own_nick_)) {
      Clear();
    } else {
      Remove(message.Param(1));
    }
  } else if (command == "QUIT") {
    Remove(message.nick);
  } else if (command == "NICK") {
    if (from_self) own_nick_ = message.Param(0);
    Rename(message.nick, message.Param(0));
  } else if (command == "ACCOUNT") {
    if (Member* m = FindMutable(message.nick)) {
      m->account = message.Param(0) == "*" ? "" : message.Param(0);
    }
  } else if (command == "CHGHOST" && message.params.size() >= 2) {
    if (Member* m = FindMutable(message.nick)) {
      m->user = message.Param(0);
      m->host = message.Param(1);
    }
  } else if (command == "MODE" && IsChannel(message.Param(0))) {
    OnMode(message);
  } else if (command == "353" && IsChannel(message.Param(2))) {
    OnNames(message.Param(3));
  } else if (command == "354" && message.Param(1) == kWhoxToken) {
    if (Member* m = FindMutable(message.Param(2))) {
      m->account = message.Param(3) == "0" ? "" : message.Param(3);
    }
  }
}

}  // namespace zelvo
