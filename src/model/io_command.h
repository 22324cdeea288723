// The command model: a rule (IOCommand) with its allowed users (User), and the
// ordered list of all rules (IOCommands).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/date_time.h"
#include "model/glob.h"
#include "model/keyed_collection.h"

namespace zelvo {

// The least channel status a sender must hold, in rising order.
enum class ChannelStatus : std::uint8_t { kNone, kVoice, kHalfop, kOp, kAdmin, kOwner };

// "voice", "halfop", "op", "admin" or "owner"; nothing for any other text.
inline std::optional<ChannelStatus> ChannelStatusFromName(std::string_view name) {
  if (name == "voice") return ChannelStatus::kVoice;
  if (name == "halfop") return ChannelStatus::kHalfop;
  if (name == "op") return ChannelStatus::kOp;
  if (name == "admin") return ChannelStatus::kAdmin;
  if (name == "owner") return ChannelStatus::kOwner;
  return std::nullopt;
}

// One allowed sender of a rule: glob patterns for the IRC user name and
// nickname, each compiled when it is set, and the optional conditions Host
// (pattern for the prefix's host), Account (pattern for the services
// account) and Status (least channel status). An empty Host or Account and
// ChannelStatus::kNone set no condition.
class User {
 public:
  const std::string& Username() const { return username_; }
  void SetUsername(std::string vData) {
    username_pattern_ = GlobPattern(vData);
    username_ = std::move(vData);
  }
  const std::string& Nickname() const { return nickname_; }
  void SetNickname(std::string vData) {
    nickname_pattern_ = GlobPattern(vData);
    nickname_ = std::move(vData);
  }

  const std::string& Host() const { return host_; }
  void SetHost(std::string vData) { host_ = std::move(vData); }
  const std::string& Account() const { return account_; }
  void SetAccount(std::string vData) { account_ = std::move(vData); }
  ChannelStatus Status() const { return status_; }
  void SetStatus(ChannelStatus vData) { status_ = vData; }

  // The compiled patterns; letter case counts.
  const GlobPattern& UsernamePattern() const { return username_pattern_; }
  const GlobPattern& NicknamePattern() const { return nickname_pattern_; }

 private:
  std::string username_;
  std::string nickname_;
  std::string host_;
  std::string account_;
  ChannelStatus status_ = ChannelStatus::kNone;
  GlobPattern username_pattern_{""};
  GlobPattern nickname_pattern_{""};
};

// One rule: name, trigger pattern, timing, flag bits, run-time state, and the
// ordered collection of its allowed users.
class IOCommand : public KeyedCollection<User> {
 public:
  // `created` is the local time of creation; LastUsed starts one calendar
  // year before it. A rule that has never run passes the time gate whatever
  // LastUsed holds (see LastUsedMonotonic).
  explicit IOCommand(OleDate created);

  const std::string& IOName() const { return io_name_; }
  void SetIOName(std::string vData) { io_name_ = std::move(vData); }
  const std::string& IRCTrigger() const { return irc_trigger_; }
  void SetIRCTrigger(std::string vData) {
    trigger_pattern_ = GlobPattern(LowerLatin1(vData));
    irc_trigger_ = std::move(vData);
  }
  // The trigger compiled lower-cased, for a test against a lower-cased line.
  const GlobPattern& TriggerPattern() const { return trigger_pattern_; }
  std::int32_t AutoReturn() const { return auto_return_; }
  void SetAutoReturn(std::int32_t vData) { auto_return_ = vData; }
  std::int32_t ExecuteLimit() const { return execute_limit_; }
  void SetExecuteLimit(std::int32_t vData) { execute_limit_ = vData; }
  std::int32_t ExtraFlags() const { return extra_flags_; }
  void SetExtraFlags(std::int32_t vData) { extra_flags_ = vData; }
  OleDate LastUsed() const { return last_used_; }
  void SetLastUsed(OleDate vData) { last_used_ = vData; }
  std::int32_t AutoReturnOutputs() const { return auto_return_outputs_; }
  void SetAutoReturnOutputs(std::int32_t vData) { auto_return_outputs_ = vData; }
  bool AutoReturnComplete() const { return auto_return_complete_; }
  void SetAutoReturnComplete(bool vData) { auto_return_complete_ = vData; }

  // Monotonic time of the last run, empty until the rule first runs. Elapsed
  // time is measured on it alone, so setting the wall clock cannot lock a
  // rule out.
  const std::optional<std::chrono::steady_clock::time_point>& LastUsedMonotonic() const {
    return last_used_monotonic_;
  }
  void SetLastUsedMonotonic(std::chrono::steady_clock::time_point vData) {
    last_used_monotonic_ = vData;
  }

  bool HasFlag(std::int32_t bit) const { return (extra_flags_ & bit) != 0; }
  // The Flag texts as written, in order; ExtraFlags holds what they mean.
  const std::vector<std::string>& FlagTexts() const { return flag_texts_; }
  void SetFlagTexts(std::vector<std::string> vData) { flag_texts_ = std::move(vData); }

 private:
  std::string io_name_;
  std::string irc_trigger_;
  GlobPattern trigger_pattern_{""};
  std::int32_t auto_return_ = 0;
  std::int32_t execute_limit_ = 0;
  std::int32_t extra_flags_ = 0;
  OleDate last_used_;
  std::int32_t auto_return_outputs_ = 0;
  bool auto_return_complete_ = true;
  std::optional<std::chrono::steady_clock::time_point> last_used_monotonic_;
  std::vector<std::string> flag_texts_;
};

// All rules in configuration order.
using IOCommands = KeyedCollection<IOCommand>;

}  // namespace zelvo
