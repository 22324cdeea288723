#include "irc/replay_filter.h"

#include <algorithm>
#include <utility>

namespace zelvo {

namespace {

bool IsReplayBatchType(std::string_view type) {
  return type == "chathistory" || type == "znc.in/playback";
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> ParseServerTime(std::string_view text) {
  using namespace std::chrono;
  // "YYYY-MM-DDTHH:MM:SS", then an optional fraction, then "Z".
  static constexpr std::string_view kShape = "0000-00-00T00:00:00";
  if (text.size() < kShape.size() + 1) return std::nullopt;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == '0' ? !IsDigit(text[i]) : text[i] != kShape[i]) return std::nullopt;
  }
  const auto number = [text](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  const year_month_day date{year(number(0, 4)), month(static_cast<unsigned>(number(5, 2))),
                            day(static_cast<unsigned>(number(8, 2)))};
  const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  std::size_t at = kShape.size();
  std::int64_t nanos = 0;
  if (text[at] == '.') {
    const std::size_t first = ++at;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
      if (at - first < 9) nanos = nanos * 10 + (text[at] - '0');
    }
    if (at == first) return std::nullopt;
    for (std::size_t digits = at - first; digits < 9; ++digits) nanos *= 10;
  }
  if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
  return sys_days(date) + hours(hour) + minutes(minute) + seconds(second) +
         duration_cast<system_clock::duration>(nanoseconds(nanos));
}

namespace {

// The time a line was first sent, as its server tells it.
std::optional<std::chrono::system_clock::time_point> TimeTag(const IrcMessage& message) {
  const std::optional<std::string> tag = message.Tag("time");
  return tag ? ParseServerTime(*tag) : std::nullopt;
}

}  // namespace

ReplayFilter::ReplayFilter(const Settings& settings, const ISupport& server, const Clock& clock,
                           LogWriter log)
    : settings_(settings), server_(server), clock_(clock), log_(std::move(log)) {}

void ReplayFilter::OnJoined(const IrcMessage& join) {
  joined_ = clock_.UtcNow();
  const auto stamped = TimeTag(join);
  skew_ = stamped ? *joined_ - *stamped : std::chrono::system_clock::duration::zero();
}

ReplayFilter::Batch* ReplayFilter::Find(std::string_view ref) {
  const auto it = std::find_if(batches_.begin(), batches_.end(),
                               [ref](const Batch& b) { return b.ref == ref; });
  return it == batches_.end() ? nullptr : &*it;
}

bool ReplayFilter::Judge(const IrcMessage& message) {
  if (!settings_.IgnoreReplayedLines) return false;
  if (message.command == "BATCH") {
    FollowBatch(message);
    return false;
  }
  if (message.command != "PRIVMSG" ||
      !server_.casemapping.Equal(message.Param(0), settings_.gsIRCChannel)) {
    return false;
  }
  const std::optional<std::string> batch = message.Tag("batch");
  if (const Batch* in = batch ? Find(*batch) : nullptr) {
    // An inner batch ends before, or with, its outermost one.
    if (Batch* root = Find(in->root)) ++root->lines;
    return true;
  }
  if (!OlderThanJoin(message)) {
    EndBurst();
    return false;
  }
  ++burst_lines_;
  burst_last_ = clock_.MonotonicNow();
  return true;
}

void ReplayFilter::FollowBatch(const IrcMessage& message) {
  const std::string& reference = message.Param(0);
  if (reference.size() < 2) return;
  const std::string ref = reference.substr(1);
  if (reference.front() == '-') {
    const Batch* ended = Find(ref);
    if (ended == nullptr) return;
    if (ended->root != ref) {
      std::erase_if(batches_, [&ref](const Batch& b) { return b.ref == ref; });
      return;
    }
    Report(ended->lines);
    // Its inner batches end with it.
    std::erase_if(batches_, [&ref](const Batch& b) { return b.root == ref; });
    return;
  }
  if (reference.front() != '+' || Find(ref) != nullptr || batches_.size() >= kMaxBatches) return;
  const std::optional<std::string> outer_ref = message.Tag("batch");
  const Batch* outer = outer_ref ? Find(*outer_ref) : nullptr;
  if (outer != nullptr) {
    batches_.push_back({ref, outer->root});
  } else if (IsReplayBatchType(message.Param(1))) {
    batches_.push_back({ref, ref});
  }
}

bool ReplayFilter::OlderThanJoin(const IrcMessage& message) const {
  const auto sent = TimeTag(message);
  return joined_ && sent && *sent + skew_ < *joined_ - kTolerance;
}

void ReplayFilter::EndBurst() {
  Report(std::exchange(burst_lines_, 0));
}

void ReplayFilter::Tick() {
  if (burst_lines_ > 0 && clock_.MonotonicNow() - burst_last_ >= kBurstQuiet) EndBurst();
}

void ReplayFilter::Reset() {
  EndBurst();
  for (const Batch& batch : batches_) {
    if (batch.root == batch.ref) Report(batch.lines);
  }
  batches_.clear();
  joined_.reset();
}

void ReplayFilter::Report(std::size_t lines) const {
  if (lines == 0) return;
  WriteMessage(log_, log_msg::kReplayedLinesIgnored,
               ReplayedLinesIgnoredText(lines, settings_.gsIRCChannel));
}

}  // namespace zelvo
