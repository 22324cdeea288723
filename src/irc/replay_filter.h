// Tells the channel lines that a server or bouncer plays back from before the
// bot joined, so that they fire no rule (IgnoreReplayedLines). A PRIVMSG to
// the channel is replayed when it comes inside a batch of type "chathistory"
// or "znc.in/playback" (or a batch opened inside one), or when its "time" tag
// lies more than kTolerance before the moment the bot's own JOIN took it into
// the channel (the clock's UTC time then; where that JOIN carries a time tag,
// the tags are read as off by as much as the server's clock is from the
// machine's). A line without a time tag, or with one that is not an ISO 8601
// UTC time ("2026-12-09T10:00:00.123Z", the fraction optional), counts as
// sent now.
//
// Replayed lines are counted and each count goes to the log once, as
// log_msg::kReplayedLinesIgnored: a batch's when the outermost replayed batch
// ends ("BATCH -ref"); a burst of time-tagged lines outside such batches at
// the next live channel line or once kBurstQuiet has passed without a
// replayed one; whatever is still counted when the connection ends. With the
// setting off no line is replayed, no batch is followed and nothing is logged.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "irc/irc_message.h"
#include "irc/isupport.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/settings.h"

namespace zelvo {

// A "time" tag's value as a UTC time; nothing for any other text.
std::optional<std::chrono::system_clock::time_point> ParseServerTime(std::string_view text);

class ReplayFilter {
 public:
  // How much older than the join a time tag must be: the server's and the
  // machine's clocks may differ a little.
  static constexpr std::chrono::seconds kTolerance{2};
  // A burst of time-tagged replayed lines ends after this long without one.
  static constexpr std::chrono::seconds kBurstQuiet{1};
  // Replayed batches followed at once; lines of further ones are judged by
  // their time tag alone.
  static constexpr std::size_t kMaxBatches = 32;

  // `settings` (the channel, IgnoreReplayedLines), `server` (its case
  // mapping) and `clock` must outlive the filter; `log` gets the counts.
  ReplayFilter(const Settings& settings, const ISupport& server, const Clock& clock, LogWriter log);

  // The bot's own `join` took it into the channel: the clock's time now is
  // the join moment.
  void OnJoined(const IrcMessage& join);
  // One received message: follows BATCH lines; true for a replayed channel
  // line, which is counted.
  bool Judge(const IrcMessage& message);
  // Time passes: ends a burst kBurstQuiet after its last line.
  void Tick();
  // The connection ended: logs what is counted and forgets the batches and
  // the join moment.
  void Reset();

 private:
  // A replayed batch: its reference and that of the outermost replayed batch
  // it is in (itself when none), which holds the count.
  struct Batch {
    std::string ref;
    std::string root;
    std::size_t lines = 0;
  };

  Batch* Find(std::string_view ref);
  void FollowBatch(const IrcMessage& message);
  bool OlderThanJoin(const IrcMessage& message) const;
  void EndBurst();
  void Report(std::size_t lines) const;

  const Settings& settings_;
  const ISupport& server_;
  const Clock& clock_;
  LogWriter log_;
  std::optional<std::chrono::system_clock::time_point> joined_;
  std::chrono::system_clock::duration skew_{};  // the machine's clock minus the server's
  std::vector<Batch> batches_;
  std::size_t burst_lines_ = 0;
  std::chrono::steady_clock::time_point burst_last_{};
};

}  // namespace zelvo
